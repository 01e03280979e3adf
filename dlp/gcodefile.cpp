#include "dlp/gcodefile.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

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
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxLoadBytes)
        return false;
    in.seekg(0, std::ios::beg);
    std::string content(static_cast<size_t>(size), '\0');
    in.read(&content[0], size);
    if (in.gcount() != size)
        return false;
    text.swap(content);
    return true;
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

// Above every move, speed or wait the recipe ranges let a job hold (lifts and
// speeds reach 1e6 mm and mm/min there, waits 1e6 ms), far below garbage.
constexpr double kLargestJobNumber = 1e7;
const char kHeaderEnd[] = ";(********** Header End **********)";
const char kCompleted[] = ";(<Completed>)";
const char kDelay[] = ";(<Delay> ";

std::string Quoted(const std::string& line) { return "(\"" + line.substr(0, 60) + "\")"; }

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

// Why a command line ("G1 Z0.1 F600", "M219") cannot go to a printer.
std::string CommandProblem(const std::string& command)
{
    std::vector<std::string> words;
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
    if (words.empty())
        return std::string();
    const bool move = words[0] == "G0" || words[0] == "G1";
    for (const std::string& word : words) {
        double v = 0;
        if (!std::isalpha(static_cast<unsigned char>(word[0])) || !ReadNumber(word.substr(1), v))
            return "has a word that is no letter and number";
        if (std::fabs(v) > kLargestJobNumber)
            return "has a value no printer takes";
        const char letter = char(std::toupper(static_cast<unsigned char>(word[0])));
        if (letter == 'F' && v < 0)
            return "has a negative speed";
        if (move && letter == 'Z' && v < 0)
            return "moves below the plate";
    }
    return std::string();
}

} // namespace

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
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string where = "line " + std::to_string(lineNumber) + " " + Quoted(line);
        // A carriage return inside a line would reach the printer as a second command.
        if (line.find('\r') != std::string::npos)
            return where + " holds a carriage return inside it";
        const size_t delay = line.find(kDelay);
        if (delay != std::string::npos) {
            const size_t value = delay + sizeof(kDelay) - 1;
            const size_t close = line.find(" )", value);
            double ms = -1;
            if (close == std::string::npos || !ReadNumber(line.substr(value, close - value), ms) || ms < 0
                || ms > kLargestJobNumber)
                return where + " has a wait no printer takes";
            continue;
        }
        // Lines that start with a comment or a marker are no command.
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || !std::isalpha(static_cast<unsigned char>(line[first])))
            continue;
        const size_t comment = line.find(';');
        const std::string problem = CommandProblem(comment == std::string::npos ? line : line.substr(0, comment));
        if (!problem.empty())
            return where + " " + problem;
    }
    return std::string();
}

} // namespace DLP
