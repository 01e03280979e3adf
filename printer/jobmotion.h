#pragma once

#include <array>
#include <optional>
#include <string>

// How long each command of a job keeps the printer's axes moving. Follows
// the axes' absolute positions (mm) and the feed (mm/min) as the job's
// commands set them: G0 and G1 move, G28 homes to 0, G92 sets a position.
// A controller answers a move once it has run; the print loop must not take
// a missing answer for a lost command before then.
class JobMotion
{
public:
    // A move from a place the job has not named yet (the plate may still
    // stand at the top where the last job left it): the job's longest travel,
    // its final lift to Z200.
    static constexpr double kUnknownTravelMm = 200.0;
    // The speed where the job gives none (homing runs at the controller's
    // own speed; a move before any F): a slow controller's.
    static constexpr double kAssumedFeedMmPerMin = 300.0;

    // A new job: nothing known.
    void reset();
    // The milliseconds the command(s) of a sent line keep the axes moving;
    // the positions and the feed move on with them.
    double take(const std::string& line);

private:
    std::array<std::optional<double>, 3> m_at;  // X, Y, Z
    double m_feed = 0;                          // mm/min; 0: not given yet
};
