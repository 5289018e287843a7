#pragma once

#include <algorithm>
#include <chrono>

namespace brimlet {

// How the lit dots pulse: how often the animation steps, how long one bright-dark cycle takes at
// a rate, and how many opacities a lit dot takes on its way. The cycle shortens linearly from
// `slowestPeriod` as the rate grows, down to `fastestPeriod` at 60 tokens per second and above.
struct PulseCadence {
    std::chrono::milliseconds step;
    double slowestPeriod;  // seconds, as the rate nears 0
    double fastestPeriod;  // seconds, from 60 tokens per second on
    int opacities;         // distinct opacities of a lit dot from dim to bright; 0: any

    // Twelve steps a second, a cycle of 0.9 s down to 0.25 s, any opacity: as smooth as a menu
    // bar shows it.
    static constexpr PulseCadence smooth() { return {std::chrono::milliseconds(83), 0.9, 0.25, 0}; }

    [[nodiscard]] constexpr double period(double rate) const {
        const double share = rate > 0 ? std::min(rate / 60, 1.0) : 0.0;
        return slowestPeriod - (slowestPeriod - fastestPeriod) * share;
    }
};

// The cadence of this platform's status item, defined in the library of that platform's item: on
// Linux every new picture costs the tray host a re-read over the session bus and a redraw, so it
// pulses with fewer, slower steps than a menu bar does.
[[nodiscard]] PulseCadence platformPulseCadence();

}  // namespace brimlet
