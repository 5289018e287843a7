#include "ui/StatusItem.h"
#include "ui/TrayStatusItem.h"

namespace brimlet {

// On macOS Qt's tray icon is a real NSStatusItem whose menu opens on a click.
std::unique_ptr<StatusItem> createStatusItem(double length) {
    return std::make_unique<TrayStatusItem>(length, wideTrayPicture,
                                            TrayStatusItem::LeftClick::HostOpensMenu,
                                            RecordsMenu::Look::Styled);
}

}  // namespace brimlet
