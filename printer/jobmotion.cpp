#include "jobmotion.h"

#include "dlp/gcodefile.h"

#include <cmath>

namespace {

int axisOf(char letter)
{
    switch (letter) {
    case 'X': return 0;
    case 'Y': return 1;
    case 'Z': return 2;
    default: return -1;
    }
}

}  // namespace

void JobMotion::reset()
{
    m_at = {};
    m_feed = 0;
}

double JobMotion::take(const std::string& line)
{
    double ms = 0;
    for (const DLP::SentCommand& command : DLP::SentCommands(line)) {
        if (command.kind != 'G')
            continue;
        const int g = int(command.number);
        if (double(g) != command.number)
            continue;
        std::array<std::optional<double>, 3> target;
        bool anyAxis = false;
        for (const auto& [letter, value] : command.words) {
            const int axis = axisOf(letter);
            if (axis >= 0) {
                target[size_t(axis)] = value;
                anyAxis = true;
            } else if (letter == 'F' && (g == 0 || g == 1) && value > 0) {
                m_feed = value;  // holds for this move and the ones after it
            }
        }
        if (g == 92) {
            // Sets where the axes stand (all of them at 0 when none is named).
            for (size_t axis = 0; axis < 3; ++axis)
                if (target[axis] || !anyAxis)
                    m_at[axis] = target[axis].value_or(0.0);
            continue;
        }
        if (g == 28) {
            // Homes the named axes (all of them when none is named) to 0.
            for (size_t axis = 0; axis < 3; ++axis)
                if (target[axis] || !anyAxis)
                    target[axis] = 0.0;
        } else if (g != 0 && g != 1) {
            continue;
        }
        double squared = 0;
        for (size_t axis = 0; axis < 3; ++axis) {
            if (!target[axis])
                continue;
            const double travel = m_at[axis] ? std::fabs(*target[axis] - *m_at[axis]) : kUnknownTravelMm;
            squared += travel * travel;
            m_at[axis] = target[axis];
        }
        const double feed = g == 28 || !(m_feed > 0) ? kAssumedFeedMmPerMin : m_feed;
        ms += std::sqrt(squared) / feed * 60000.0;
    }
    return ms;
}
