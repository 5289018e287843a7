#pragma once

namespace brimlet {

// Output tokens per second of Opus and of Fable models over the activity window. A plain value,
// not a Qt signal: the monitor publishes a new one after each tick that changed it.
struct Signal {
    double opusRate = 0;
    double fableRate = 0;

    friend bool operator==(const Signal&, const Signal&) = default;
};

// A model counts as at work while its rate is above half a token per second: its dot pulses and
// the menu names it. Exactly 0.5 is idle.
inline constexpr double activeRateThreshold = 0.5;

[[nodiscard]] constexpr bool isActiveRate(double rate) {
    return rate > activeRateThreshold;
}

}  // namespace brimlet
