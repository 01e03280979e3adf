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
// Above every move or speed the recipe ranges let a job hold (lifts and speeds
// reach 1e6 mm and mm/min there), far below garbage such as 1e30.
constexpr double kLargestJobNumber = 1e7;
}

std::string JobFileProblem(const std::string& text)
{
    if (text.find(";(<Completed>)") == std::string::npos)
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
        const size_t comment = line.find(';');
        if (comment != std::string::npos)
            line.resize(comment);
        // Words: a letter and a number ("G1", "Z-0.5", "F600").
        size_t at = 0;
        while (at < line.size()) {
            const char c = line[at];
            if (!std::isalpha(static_cast<unsigned char>(c))) {
                ++at;
                continue;
            }
            const char* begin = line.c_str() + at + 1;
            // A number starts at once: "Pinfo" in a material name is no "P inf".
            if (!std::isdigit(static_cast<unsigned char>(*begin)) && *begin != '-' && *begin != '+' && *begin != '.') {
                ++at;
                continue;
            }
            char* after = nullptr;
            const double v = std::strtod(begin, &after);
            if (after == begin) {
                ++at;
                continue;
            }
            if (!std::isfinite(v) || std::fabs(v) > kLargestJobNumber)
                return "line " + std::to_string(lineNumber) + " (\"" + line.substr(0, 60) + "\") has a value no printer takes";
            at = size_t(after - line.c_str());
        }
    }
    return std::string();
}

} // namespace DLP
