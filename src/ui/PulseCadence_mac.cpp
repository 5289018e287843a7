#include "ui/PulseCadence.h"

namespace brimlet {

// A menu bar redraws its own item cheaply: the full, smooth pulse.
PulseCadence platformPulseCadence() {
    return PulseCadence::smooth();
}

}  // namespace brimlet
