#include <QList>
#include <QString>

#include "ui/sni/TrayPulseCadence.h"

namespace brimlet {

// Every new picture makes the tray host read the item's bitmaps again over the session bus and
// redraw them: measured in real hosts, 0.3 % (XFCE) to 0.5 % (Plasma) of a core for each picture a
// second. Four steps a second and three opacities (dim, half, bright) over a cycle of 4.5 s at low
// rates down to 3 s from 60 tok/s make at most four pictures a cycle, 1.3 a second at the fastest;
// each opacity lasts a step or more, so a host that reads the picture only every quarter second
// (GNOME's) still shows it. GNOME Shell repaints its whole stage for each new picture, about 0.9 %
// of a core a picture a second where it renders in software, so there a lit dot only turns bright
// and dim: two pictures a cycle, at most 0.67 a second.
PulseCadence trayPulseCadence(QStringView currentDesktop) {
    const bool gnomeShell = currentDesktop.split(u':').contains(u"GNOME");
    return {std::chrono::milliseconds(250), 4.5, 3.0, gnomeShell ? 2 : 3};
}

PulseCadence platformPulseCadence() {
    return trayPulseCadence(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
}

}  // namespace brimlet
