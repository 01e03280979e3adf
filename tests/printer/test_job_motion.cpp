#include "jobmotion.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

// How long each line of a job keeps the axes moving: absolute positions in
// millimetres, feeds in millimetres per minute.
TEST(JobMotionTest, DurationOfEachLine)
{
    using Lines = std::vector<std::pair<std::string, double>>;  // line, milliseconds
    const double unknown = JobMotion::kUnknownTravelMm / JobMotion::kAssumedFeedMmPerMin * 60000.0;
    const struct { const char* name; Lines lines; } runs[] = {
        {"the job's own header and end",
         {{"G28 Y0", unknown}, {"G92 Y0", 0}, {"G92 X0", 0}, {"G1 X-288 F1728", 10000}, {"G28 Z0", unknown},
          {"G92 Z0", 0}, {"M219", 0}, {"G92 Y0", 0}, {"G1 Y-5 F60", 5000}, {"G1 Y-10 F600", 500},
          {"G1 Z2 F30", 4000}, {"G1 Z5 F600", 300}, {"M220", 0}, {"G1 Z200 F600", 19500}}},
        {"the feed holds for the moves after it", {{"G92 Z0", 0}, {"G1 Z1 F600", 100}, {"G1 Z3", 200}}},
        {"no feed yet: the assumed one", {{"G92 Z0", 0}, {"G1 Z5", 5.0 / 300 * 60000}}},
        {"homing from a known place", {{"G92 Z0", 0}, {"G1 Z30 F600", 3000}, {"G28 Z0", 30.0 / 300 * 60000}}},
        {"a start not named yet", {{"G1 Z5 F600", 20000}, {"G1 Z6", 100}}},
        {"both axes at once", {{"G92 Y0 Z0", 0}, {"G1 Y3 Z4 F60", 5000}}},
        {"G92 alone sets every axis to 0", {{"G92", 0}, {"G1 X6 F60", 6000}}},
        {"G0 moves as G1 does", {{"G92 Z0", 0}, {"G0 Z2 F120", 1000}}},
        {"a command behind another on one line", {{"G92 Z0", 0}, {"M219 G1 Z1 F60", 1000}}},
        {"a move in a comment is a command the controller runs", {{"G92 Z0", 0}, {"G1 Z1 F60 ;back G1 Z0", 2000}}},
        {"no move: nothing to wait for", {{"M17", 0}, {"M225 B100", 0}, {"M230 X0 Y0 Z-240", 0}, {"; note", 0}}},
        {"a word no number", {{"G92 Z0", 0}, {"G1 Zx F60", 0}, {"G1 Z1 F60", 1000}}},
        {"a move to where it stands", {{"G92 Z0", 0}, {"G1 Z0 F600", 0}}},
        {"the CR of a CR LF job", {{"G92 Z0\r", 0}, {"G1 Z1 F600\r", 100}}},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.name);
        JobMotion motion;
        for (const auto& [line, ms] : run.lines)
            EXPECT_NEAR(motion.take(line), ms, 1e-6) << line;
    }
    // A new job forgets where the last one left the axes.
    JobMotion motion;
    motion.take("G92 Z0");
    motion.take("G1 Z10 F600");
    motion.reset();
    EXPECT_NEAR(motion.take("G1 Z10 F600"), 20000, 1e-6);
}
