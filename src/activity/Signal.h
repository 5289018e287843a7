#pragma once

namespace brimlet {

// Output tokens per second of Opus and of Fable models over the activity window.
struct Signal {
    double opusRate = 0;
    double fableRate = 0;
};

}  // namespace brimlet
