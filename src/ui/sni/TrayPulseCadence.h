#pragma once

#include <QStringView>

#include "ui/PulseCadence.h"

namespace brimlet {

// The tray's cadence for the desktop named by `currentDesktop` (XDG_CURRENT_DESKTOP: names
// separated by colons).
[[nodiscard]] PulseCadence trayPulseCadence(QStringView currentDesktop);

}  // namespace brimlet
