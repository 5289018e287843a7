#include "ui/PulseCadence.h"

namespace brimlet {

// Every new picture makes the tray host read the item's bitmaps again over the session bus and
// redraw them, which cost the desktop about 0.7 % of a core per picture a second. Four steps a
// second and three opacities (dim, half, bright) keep that to about two pictures a second at the
// fastest pulse, whose cycle (1.5 s) is long enough for hosts that read the picture only about
// every quarter second (GNOME's extension) to show every opacity of it.
PulseCadence platformPulseCadence() {
    return {std::chrono::milliseconds(250), 3.0, 1.5, 3};
}

}  // namespace brimlet
