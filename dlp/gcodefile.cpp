#include "dlp/gcodefile.h"

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
