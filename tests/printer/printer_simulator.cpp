#include "printer_simulator.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <termios.h>
#include <unistd.h>

namespace {

std::string firstWord(const std::string& command)
{
    const size_t begin = command.find_first_not_of(' ');
    if (begin == std::string::npos)
        return {};
    return command.substr(begin, command.find(' ', begin) - begin);
}

}  // namespace

PrinterSimulator::PrinterSimulator() : PrinterSimulator(Options{}) {}

PrinterSimulator::PrinterSimulator(Options options)
    : m_options(std::move(options))
{
    m_at[2] = m_options.startZ;
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_error = std::string("openpty: ") + std::strerror(errno);
        m_master = m_slave = -1;
        return;
    }
    m_slavePath = name;
    // Raw on the slave side, before any client opens it: no echo, no CR/LF
    // translation, bytes pass unchanged both ways.
    termios tio{};
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_slave, TCSANOW, &tio);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    if (pipe2(m_wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        m_error = std::string("pipe: ") + std::strerror(errno);
        close(m_master);
        close(m_slave);
        m_master = m_slave = -1;
        return;
    }
    m_thread = std::thread([this] { serve(); });
}

PrinterSimulator::~PrinterSimulator()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_stop = true;
        }
        wake();
        m_thread.join();
    }
    for (int fd : {m_master, m_slave, m_wake[0], m_wake[1]})
        if (fd >= 0)
            close(fd);
}

void PrinterSimulator::wake()
{
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wake[1], &c, 1);
}

void PrinterSimulator::setFaults(unsigned faults)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_faults = faults;
}

void PrinterSimulator::setHangUpAfter(size_t commands)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_hangUpAfter = commands;
}

bool PrinterSimulator::hungUp() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_hungUp;
}

void PrinterSimulator::hangUpNow()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        hangUpLocked();
    }
    wake();
}

void PrinterSimulator::setReply(const std::string& word, const std::string& reply)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_replies[word] = reply;
}

void PrinterSimulator::setCommandListener(std::function<void(const std::string&)> listener)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_listener = std::move(listener);
}

std::vector<std::string> PrinterSimulator::commands() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_commands;
}

std::string PrinterSimulator::received() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_received;
}

bool PrinterSimulator::waitForCommands(size_t n, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_commands.size() >= n; });
}

bool PrinterSimulator::waitForBytes(size_t n, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_received.size() >= n; });
}

std::string PrinterSimulator::waitForStep(int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_lock);
    const bool held = m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !m_held.empty(); });
    return held ? m_held.front().first : std::string();
}

size_t PrinterSimulator::heldCount() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_held.size();
}

void PrinterSimulator::release(size_t n)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const unsigned faults = m_faults;
        m_faults &= ~Held;  // a released reply keeps its other faults
        while (n-- > 0 && !m_held.empty()) {
            queueReply(m_held.front().second, Clock::now());
            m_held.pop_front();
        }
        m_faults = faults;
    }
    wake();
}

void PrinterSimulator::send(const std::string& bytes)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const unsigned faults = m_faults;
        m_faults &= (Chunked | Delayed);
        queueReply(bytes, Clock::now());
        m_faults = faults;
    }
    wake();
}

std::string PrinterSimulator::lightGridReply(const LightGrid& grid)
{
    std::ostringstream out;
    out << "M701\nLight engine data\nBegin\n";
    out << grid.target << '\n' << grid.width << '\n' << grid.height << '\n'
        << grid.xs.size() << '\n' << grid.ys.size() << '\n';
    for (const std::vector<float>* list : {&grid.xs, &grid.ys, &grid.values})
        for (float v : *list)
            out << v << '\n';
    return out.str();
}

std::string PrinterSimulator::replyTo(const std::string& command) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return replyToLocked(command);
}

std::string PrinterSimulator::replyToLocked(const std::string& command) const
{
    if (m_faults & ErrorReply)
        return "error: command broken\n";
    const std::string word = firstWord(command);
    const auto scripted = m_replies.find(word);
    if (scripted != m_replies.end())
        return scripted->second;
    if (word == "M900")
        return m_options.version + "\nok\n";
    if (word == "M701")
        return lightGridReply(m_options.grid) + "ok\n";
    if (word == "M231")
        return "M231 " + m_options.homeAdjust + "\nexecok\n";
    return m_options.commandReply;
}

double PrinterSimulator::moveDuration(const std::string& command)
{
    // "G1 Z5 F600": a letter and a number per word.
    std::istringstream in(command);
    std::string word;
    int g = -1;
    bool named[3] = {false, false, false};
    double to[3] = {0, 0, 0};
    double feed = -1;
    while (in >> word) {
        const char letter = word[0];
        char* end = nullptr;
        const double value = std::strtod(word.c_str() + 1, &end);
        if (end == word.c_str() + 1)
            continue;
        if (letter == 'G' && g < 0)
            g = int(value);
        else if (letter == 'X' || letter == 'Y' || letter == 'Z')
            named[letter - 'X'] = true, to[letter - 'X'] = value;
        else if (letter == 'F')
            feed = value;
    }
    if (g == 92) {
        for (int a = 0; a < 3; ++a)
            if (named[a])
                m_at[a] = to[a];
        return 0;
    }
    if (g != 0 && g != 1 && g != 28)
        return 0;
    if (g == 28 && !named[0] && !named[1] && !named[2])
        named[0] = named[1] = named[2] = true;
    double squared = 0;
    for (int a = 0; a < 3; ++a) {
        if (!named[a])
            continue;
        const double target = g == 28 ? 0.0 : to[a];
        squared += (target - m_at[a]) * (target - m_at[a]);
        m_at[a] = target;
    }
    if (g != 28 && feed > 0)
        m_feed = feed;
    const double speed = g == 28 ? m_options.homingFeed : m_feed > 0 ? m_feed : 600.0;
    return std::sqrt(squared) / speed * 60000.0;
}

void PrinterSimulator::queueReply(std::string reply, Clock::time_point due)
{
    if (m_faults & Mute)
        return;
    if (m_faults & Held) {
        m_held.emplace_back(std::string(), std::move(reply));
        return;
    }
    if (m_faults & NulInReply)
        reply.insert(reply.size() / 2, 1, '\0');
    if (m_faults & Delayed)
        due += std::chrono::milliseconds(m_options.delayMs);
    std::vector<std::string> pieces;
    if (m_faults & Chunked) {
        const size_t size = static_cast<size_t>(std::max(1, m_options.chunkSize));
        for (size_t i = 0; i < reply.size(); i += size)
            pieces.push_back(reply.substr(i, size));
    } else {
        pieces.push_back(std::move(reply));
    }
    // A printer sends one reply after the other: a reply to a command written
    // while the last one is still coming follows its last piece.
    if (!m_out.empty())
        due = std::max(due, m_out.back().due);
    for (std::string& piece : pieces) {
        // Kept in order of due time; equal times keep their arrival order.
        auto at = std::find_if(m_out.begin(), m_out.end(), [&](const Out& o) { return o.due > due; });
        m_out.insert(at, Out{due, std::move(piece)});
        due += std::chrono::milliseconds(m_options.chunkGapMs);
    }
}

void PrinterSimulator::hangUpLocked()
{
    if (m_master >= 0)
        close(m_master);
    m_master = -1;
    m_hungUp = true;
    m_out.clear();
}

void PrinterSimulator::endCommand()
{
    if (m_pending.empty())
        return;
    std::string command;
    command.swap(m_pending);
    m_commands.push_back(command);
    m_changed.notify_all();
    if ((m_faults & HungUp) || (m_hangUpAfter > 0 && m_commands.size() >= m_hangUpAfter)) {
        hangUpLocked();
        return;
    }
    if (m_faults & EndlessReply) {
        m_faults &= ~EndlessReply;
        std::string reply = replyToLocked(command);
        const size_t ok = reply.rfind("ok\n");
        if (ok != std::string::npos && ok + 3 == reply.size())
            reply.erase(ok);
        queueReply(reply, Clock::now());
        m_endless = true;
        return;
    }
    auto due = Clock::now();
    if (m_options.moveScale > 0) {
        // One move after the other: this one starts when the last has run.
        const auto runs = std::chrono::microseconds(
            static_cast<long long>(moveDuration(command) * m_options.moveScale * 1000.0));
        if (runs.count() > 0) {
            m_movesEnd = std::max(m_movesEnd, due) + runs;
            due = m_movesEnd;
        }
    }
    if (m_faults & Step)
        m_held.emplace_back(command, replyToLocked(command));
    else
        queueReply(replyToLocked(command), due);
}

void PrinterSimulator::onBytes(const char* data, size_t n)
{
    m_received.append(data, n);
    m_changed.notify_all();
    for (size_t i = 0; i < n && !m_hungUp; ++i) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            endCommand();
            continue;
        }
        if ((c == 'G' || c == 'M') && m_pending.find_first_not_of(' ') != std::string::npos)
            endCommand();
        m_pending.push_back(c);
    }
    m_lastByte = Clock::now();
}

void PrinterSimulator::serve()
{
    const auto idleGap = std::chrono::milliseconds(m_options.idleGapMs);
    char buffer[4096];
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_stop) {
        // An endless reply: more digits whenever the queue ran dry.
        if (m_endless && m_out.empty() && m_master >= 0)
            m_out.push_back(Out{Clock::now(), std::string(4096, '7') + "\n"});
        // Send what is due, as far as the terminal takes it.
        auto now = Clock::now();
        bool blocked = false;
        while (!m_out.empty() && m_master >= 0 && m_out.front().due <= now) {
            std::string& bytes = m_out.front().bytes;
            const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
            if (n < 0) {
                blocked = true;
                break;
            }
            bytes.erase(0, static_cast<size_t>(n));
            if (!bytes.empty()) {
                blocked = true;
                break;
            }
            m_out.pop_front();
        }
        int timeoutMs = -1;
        auto until = [&](Clock::time_point t) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t - now).count() + 1;
            const int clamped = static_cast<int>(std::max<long long>(0, ms));
            timeoutMs = timeoutMs < 0 ? clamped : std::min(timeoutMs, clamped);
        };
        if (!m_pending.empty())
            until(m_lastByte + idleGap);
        if (!m_out.empty() && !blocked && m_master >= 0)
            until(m_out.front().due);
        if (m_endless && m_out.empty() && m_master >= 0)
            timeoutMs = 0;  // more of the endless reply at once

        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {m_master, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0}};
        const int count = m_master >= 0 ? 2 : 1;
        // A partly written reply waits for POLLOUT; keep the period short in
        // case the client never drains it.
        if (blocked)
            timeoutMs = 10;
        lock.unlock();
        ::poll(fds, count, timeoutMs);
        while (::read(m_wake[0], buffer, sizeof buffer) > 0) {
        }
        lock.lock();
        const size_t known = m_commands.size();
        if (count == 2 && m_master >= 0 && (fds[1].revents & POLLIN)) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                onBytes(buffer, static_cast<size_t>(n));
        }
        if (!m_pending.empty() && Clock::now() - m_lastByte >= idleGap)
            endCommand();
        if (m_listener && m_commands.size() > known) {
            const std::vector<std::string> fresh(m_commands.begin() + static_cast<long>(known), m_commands.end());
            auto listener = m_listener;
            lock.unlock();
            for (const std::string& command : fresh)
                listener(command);
            lock.lock();
        }
    }
}
