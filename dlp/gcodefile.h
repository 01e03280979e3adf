#pragma once

#include <string>
#include <utility>
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
    // A job of a hundred thousand layers is some tens of megabytes; each
    // line held costs the player tens of bytes more.
    static constexpr long long kMaxLoadBytes = 64LL * 1024 * 1024;

    std::string text;
    std::vector<std::string> lines;
};

// Why a job read from a file must not be played; empty when it may. A job
// holds the header's end marker and, after it, the footer's ";(<Completed>)":
// a file missing either lost its start or was cut short. Every line the
// player sends is read as the controller reads it, a command at every 'G' or
// 'M': each a capital letter and a whole number, then capital letters with
// finite numbers within what the ranges let a job hold (a damaged or
// hand-edited file could send "G1 Z1e30", "F-600", "G92 Z100" or hide
// "G1 Z-50" in a comment), and only the commands and words this program's
// jobs hold, each setting's value within its range; no line hides a second
// command behind a carriage return, or a command before a comment the player
// keeps; no command is longer than a controller's line; every wait is a
// number of milliseconds within range, every layer marker names a layer,
// and the light is off at the end.
std::string JobFileProblem(const std::string& text);

// How the player takes a line of a job: a wait, a layer to show, a marker or
// comment it keeps to itself (any line holding ";(", and blank lines), or a
// command it sends as it stands. The check reads every line the same way.
enum class JobLine { Wait, Layer, Kept, Sent };
JobLine JobLineKind(const std::string& line);

// One command of a sent line as the controller reads it: "G1 Z5 F600" is
// kind 'G', number 1 and the words Z 5 and F 600.
struct SentCommand
{
    char kind;
    double number;
    std::vector<std::pair<char, double>> words;
};
// The commands of a line the player sends, split and read as the check
// reads them; a command with a word that is no capital letter and number is
// left out.
std::vector<SentCommand> SentCommands(const std::string& line);

// The wait of a ";(<Delay> ms )" line, as the check and the player both read
// it; false when it holds no number of milliseconds within range.
bool ReadJobWait(const std::string& line, double& ms);

} // namespace DLP
