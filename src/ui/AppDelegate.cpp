#include "ui/AppDelegate.h"

namespace brimlet {

void AppDelegate::applicationDidFinishLaunching() {}

}  // namespace brimlet
