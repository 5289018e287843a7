#include "ui/PulseCadence.h"

namespace brimlet {

// Every new picture makes the tray host read the item's bitmaps again over the session bus and
// redraw them: measured in real hosts, 0.3 % (XFCE) to 0.5 % (Plasma) of a core for each picture a
// second, about 0.9 % in GNOME, whose extension redraws the whole panel. Four steps a second and
// three opacities (dim, half, bright) over a cycle of 4.5 s at low rates down to 3 s from 60 tok/s
// make at most four pictures a cycle, 1.3 a second at the fastest; each opacity lasts a step or
// more, so a host that reads the picture only every quarter second (GNOME's) still shows it.
PulseCadence platformPulseCadence() {
    return {std::chrono::milliseconds(250), 4.5, 3.0, 3};
}

}  // namespace brimlet
