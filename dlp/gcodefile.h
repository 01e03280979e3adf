#pragma once

#include <string>
#include <vector>

namespace DLP {

// A G-code job as text, with its lines split on demand.
class GCodeFile
{
public:
    GCodeFile() = default;
    explicit GCodeFile(const std::string& jobText) : text(jobText) {}

    bool Save(std::string path);
    bool Load(std::string path);
    std::vector<std::string> getLines();
    void GenerateLines();
    void clearfile();

    static void split(std::string& text, std::string& delimiters, std::vector<std::string>* out);

    // Larger files are refused by Load rather than read into memory.
    static constexpr long long kMaxLoadBytes = 512LL * 1024 * 1024;

    std::string text;
    std::vector<std::string> lines;
};

// Why a job read from a file must not be played; empty when it may. A job
// holds the header's end marker and, after it, the footer's ";(<Completed>)":
// a file missing either lost its start or was cut short. Every command word is
// a letter and a finite number within what a printer can take (a damaged or
// hand-edited file could send "G1 Z1e30" or "F-600"), every wait a number of
// milliseconds, and no line hides a second command behind a carriage return.
std::string JobFileProblem(const std::string& text);

} // namespace DLP
