#include "dlp/gcodefile.h"

#include "dlp/valueranges.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DLP {

bool GCodeFile::Save(std::string path)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.is_open())
        return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    // A full disk shows only once the buffer is flushed.
    out.close();
    return !out.fail();
}

bool GCodeFile::Load(std::string path)
{
    // Opened without blocking: a FIFO or a terminal under the job's name must
    // not hold the print loop; only a plain file is a job.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    std::string content;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 && info.st_size <= kMaxLoadBytes;
    if (ok) {
        content.resize(static_cast<size_t>(info.st_size));
        size_t done = 0;
        while (ok && done < content.size()) {
            const ssize_t n = ::read(fd, &content[done], content.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0; // a file shortened while it is read is no whole job
            done += ok ? size_t(n) : 0;
        }
    }
    ::close(fd);
    if (ok)
        text.swap(content);
    return ok;
}

std::vector<std::string> GCodeFile::getLines()
{
    if (lines.empty())
        GenerateLines();
    return lines;
}

void GCodeFile::GenerateLines()
{
    std::string lineFeed = "\n";
    split(text, lineFeed, &lines);
}

void GCodeFile::clearfile()
{
    lines.clear();
    text.clear();
}

void GCodeFile::split(std::string& text, std::string& delimiters, std::vector<std::string>* out)
{
    if (out == nullptr || delimiters.empty())
        return;
    std::string::size_type pos = 0;
    while (pos < text.size()) {
        const std::string::size_type hit = text.find_first_of(delimiters, pos);
        if (hit == std::string::npos)
            break;
        out->push_back(text.substr(pos, hit - pos));
        pos = hit + 1;
    }
}

} // namespace DLP

namespace DLP {

namespace {

// Above every move or speed the ranges let a job hold (lifts reach 1e6 mm on
// top of the build height, speeds 1e6 mm/min), far below garbage.
constexpr double kLargestJobNumber = Ranges::liftMm.max + Ranges::heightMm.max;
const char kHeaderEnd[] = ";(********** Header End **********)";
const char kCompleted[] = ";(<Completed>)";
const char kDelay[] = ";(<Delay> ";
const char kSlice[] = ";(<Slice> ";
// A controller's line buffer holds about this much (96 bytes in common
// firmware); a longer command would be cut, "G1 Z000...5" to "G1 Z0".
constexpr size_t kLongestSentLine = 96;

// A line as a message can show it: a NUL would end the message there, and
// other control bytes garble a terminal.
std::string Quoted(const std::string& line)
{
    static const char hex[] = "0123456789abcdef";
    std::string shown;
    for (const char c : line.substr(0, 60)) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7f)
            shown += std::string("\\x") + hex[b >> 4] + hex[b & 15];
        else
            shown += c;
    }
    return "(\"" + shown + "\")";
}

// Nothing but blanks and a carriage return: the player skips such a line.
bool BlankLine(const std::string& line) { return line.find_first_not_of(" \t\r") == std::string::npos; }

// A decimal number and nothing else ("5", "-0.25", "1e+06"): strtod alone
// would also take "nan", "inf" and hex.
bool ReadNumber(const std::string& word, double& value)
{
    if (word.empty() || word.find_first_not_of("0123456789+-.eE") != std::string::npos)
        return false;
    char* end = nullptr;
    value = std::strtod(word.c_str(), &end);
    return end == word.c_str() + word.size() && std::isfinite(value);
}

// What a marker line holds between "> " and its closing ")", without the
// blanks round it; false when it does not close.
bool MarkerText(const std::string& line, const char* marker, std::string& text)
{
    const size_t at = line.find(marker);
    if (at == std::string::npos)
        return false;
    const size_t begin = at + std::strlen(marker);
    const size_t close = line.find(')', begin);
    if (close == std::string::npos)
        return false;
    text = line.substr(begin, close - begin);
    const size_t first = text.find_first_not_of(" \t");
    text = first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(" \t") - first + 1);
    return true;
}

// The commands a job of this program holds, the words each takes and their
// ranges where a setting bounds them: a hand-edited job could switch the
// controller to inches ("G20"), change its steps per millimetre ("M92") or
// turn its end stops off ("M211 S0"), all within the numbers' bounds.
struct JobCommand
{
    char kind;
    int number;
    const char* letters;
    const ValueRange* range; // every word's, or null
    bool zeroOnly;           // homing and setting positions: always at 0
};

const JobCommand* JobCommandOf(char kind, double number)
{
    static const JobCommand commands[] = {
        {'G', 1, "XYZF", nullptr, false},            // moves: bounded above, Z and F checked above
        {'G', 21, "", nullptr, false},               // millimetres
        {'G', 28, "YZ", nullptr, true},              // home
        {'G', 92, "XYZ", nullptr, true},             // set position
        {'M', 17, "", nullptr, false},               // motors on
        {'M', 219, "", nullptr, false},              // light on
        {'M', 220, "", nullptr, false},              // light off
        {'M', 222, "XY", &Ranges::flag, false},      // mirror flags
        {'M', 225, "B", &Ranges::lightPwm, false},   // LED current
        {'M', 230, "XYZ", &Ranges::homeAdjustUm, false}, // home adjustment
    };
    for (const JobCommand& c : commands)
        if (c.kind == kind && c.number == number)
            return &c;
    return nullptr;
}

// The words of one command (its comment cut off), each a capital letter and
// a number; why not, when a word is no such thing or beyond every range.
std::string ReadCommandWords(const std::string& piece, std::vector<std::string>& words, std::vector<double>& values)
{
    const std::string command = piece.substr(0, piece.find(';'));
    words.clear();
    size_t at = 0;
    while (at < command.size()) {
        const size_t begin = command.find_first_not_of(" \t", at);
        if (begin == std::string::npos)
            break;
        size_t end = command.find_first_of(" \t", begin);
        if (end == std::string::npos)
            end = command.size();
        words.push_back(command.substr(begin, end - begin));
        at = end;
    }
    values.assign(words.size(), 0.0);
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        // The controller takes capitals only: "g1 z-50" is no move it checks.
        if (!std::isupper(static_cast<unsigned char>(word[0])) || !ReadNumber(word.substr(1), values[i]))
            return "has a word that is no capital letter and number";
        if (std::fabs(values[i]) > kLargestJobNumber)
            return "has a value no printer takes";
    }
    return std::string();
}

// Why one command ("G1 Z0.1 F600", "M219", "; note") cannot go to a
// printer. What follows a ';' is a comment; a 'G' or 'M' in it began a
// command of its own.
std::string CommandProblem(const std::string& piece, bool* light)
{
    std::vector<std::string> words;
    std::vector<double> values;
    const std::string unreadable = ReadCommandWords(piece, words, values);
    if (!unreadable.empty())
        return unreadable;
    if (words.empty())
        return std::string();
    const char kind = words[0][0];
    const double number = values[0];
    if ((kind != 'G' && kind != 'M') || number < 0 || number != std::floor(number))
        return "is no command (G or M and a whole number)";
    if (kind == 'G' && number == 91)
        return "switches to relative moves";
    // Only a move goes somewhere: other commands' Z words are settings (the
    // home adjustment "M230 Z-240" is in micrometres either way).
    const bool move = kind == 'G' && number <= 3; // lines and arcs
    for (size_t i = 1; i < words.size(); ++i) {
        const char letter = words[i][0];
        if (letter == 'F' && values[i] < 0)
            return "has a negative speed";
        if (move && letter == 'Z' && values[i] < 0)
            return "moves below the plate";
        // Setting a height the plate is not at moves every later move by it.
        if (letter == 'Z' && kind == 'G' && number == 92 && values[i] != 0)
            return "sets the plate's height";
    }
    const JobCommand* known = JobCommandOf(kind, number);
    if (!known)
        return "is a command no job of this program holds";
    for (size_t i = 1; i < words.size(); ++i) {
        if (!std::strchr(known->letters, words[i][0]))
            return "has a word its command does not take";
        if (known->zeroOnly && values[i] != 0)
            return "homes or sets an axis at a position other than 0";
        if (known->range && !known->range->contains(values[i]))
            return "has a value outside its setting's range (" + known->range->text() + ")";
    }
    if (light && kind == 'M' && (number == 219 || number == 220))
        *light = number == 219;
    return std::string();
}

// The commands of a line the player sends as it is: the controller starts a
// command at every 'G' or 'M' that follows other text, a comment's included,
// so each such piece is a command of its own.
std::vector<std::string> SentLinePieces(const std::string& line)
{
    std::vector<std::string> pieces;
    size_t begin = 0;
    bool text = false;
    for (size_t i = 0; i <= line.size(); ++i) {
        const bool split = i == line.size() || ((line[i] == 'G' || line[i] == 'M') && text);
        if (split) {
            pieces.push_back(line.substr(begin, i - begin));
            begin = i;
        }
        if (i < line.size() && line[i] != ' ')
            text = true;
    }
    return pieces;
}

// Why a line the player sends as it is cannot go to a printer.
std::string SentLineProblem(const std::string& line, bool* light = nullptr)
{
    for (const std::string& piece : SentLinePieces(line)) {
        const std::string problem = CommandProblem(piece, light);
        if (!problem.empty())
            return problem;
    }
    return std::string();
}

} // namespace

JobLine JobLineKind(const std::string& line)
{
    if (line.find(kDelay) != std::string::npos)
        return JobLine::Wait;
    if (line.find(kSlice) != std::string::npos)
        return JobLine::Layer;
    // A blank line (a CR LF job's "\r" among them) would reach the printer
    // as no command, which no "ok" answers.
    return line.find(";(") != std::string::npos || BlankLine(line) ? JobLine::Kept : JobLine::Sent;
}

std::vector<SentCommand> SentCommands(const std::string& line)
{
    std::vector<SentCommand> commands;
    // The CR of a CR LF job ends the line, as the check takes it.
    const bool cr = !line.empty() && line.back() == '\r';
    for (const std::string& piece : SentLinePieces(cr ? line.substr(0, line.size() - 1) : line)) {
        std::vector<std::string> words;
        std::vector<double> values;
        if (!ReadCommandWords(piece, words, values).empty() || words.empty())
            continue;
        SentCommand command{words[0][0], values[0], {}};
        for (size_t i = 1; i < words.size(); ++i)
            command.words.emplace_back(words[i][0], values[i]);
        commands.push_back(std::move(command));
    }
    return commands;
}

bool ReadJobWait(const std::string& line, double& ms)
{
    std::string text;
    return MarkerText(line, kDelay, text) && ReadNumber(text, ms) && ms >= 0 && ms <= Ranges::timeMs.max;
}

std::string JobFileProblem(const std::string& text)
{
    const size_t headerEnd = text.find(kHeaderEnd);
    if (headerEnd == std::string::npos)
        return "it has no header: its start is missing";
    const size_t completed = text.rfind(kCompleted);
    if (completed == std::string::npos || completed < headerEnd)
        return "it does not end with the job's footer; it was cut short";
    size_t start = 0;
    int lineNumber = 0;
    bool lightOn = false;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        // The footer ends the job: a command after it belongs to a job cut
        // short behind another one (or behind a footer marker copied into
        // it), and a last line without a line end would not be sent at all.
        if (start > completed && !BlankLine(line) && line[line.find_first_not_of(" \t")] != ';')
            return "it does not end with the job's footer; it was cut short";
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        auto refused = [&](const std::string& why) {
            return "line " + std::to_string(lineNumber) + " " + Quoted(line) + " " + why;
        };
        // A carriage return inside a line would reach the printer as a second command.
        if (line.find('\r') != std::string::npos)
            return refused("holds a carriage return inside it");
        std::string problem;
        const JobLine kind = JobLineKind(line);
        // The player keeps a line with ";(" to itself: a command before the
        // comment would never reach the printer ("M220 ;(light off)").
        const size_t comment = line.find(";(");
        if (kind != JobLine::Sent && comment != std::string::npos && comment > 0) {
            const std::string before = line.substr(0, comment);
            if (!BlankLine(before) && SentLineProblem(before).empty())
                return refused("holds a command before its comment; the printer would not get it");
        }
        switch (kind) {
        case JobLine::Wait: {
            double ms = 0;
            if (!ReadJobWait(line, ms))
                problem = "has a wait no printer takes";
            break;
        }
        case JobLine::Layer: {
            std::string layer;
            const bool blank = MarkerText(line, kSlice, layer) && layer.find("Blank") != std::string::npos;
            if (!blank && (layer.empty() || layer.size() > 9 || layer.find_first_not_of("0123456789") != std::string::npos))
                problem = "names no layer";
            break;
        }
        case JobLine::Kept:
            break;
        case JobLine::Sent: // goes to the printer as it stands
            problem = line.size() > kLongestSentLine
                          ? "is longer than a controller's line (" + std::to_string(kLongestSentLine) + " characters)"
                          : SentLineProblem(line, &lightOn);
            break;
        }
        if (!problem.empty())
            return refused(problem);
    }
    if (lightOn)
        return "it leaves the light on at its end";
    return std::string();
}

} // namespace DLP
