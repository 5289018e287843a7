#include "ui/sni/StatusNotifierItemAdaptor.h"

#include "ui/sni/StatusNotifierItem.h"

namespace brimlet {

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(StatusNotifierItem& item)
    : QObject(&item), item_(item) {
    connect(&item_, &StatusNotifierItem::iconChanged, this, &StatusNotifierItemAdaptor::NewIcon);
    connect(&item_, &StatusNotifierItem::summaryChanged, this,
            &StatusNotifierItemAdaptor::NewToolTip);
}

QString StatusNotifierItemAdaptor::id() const {
    return item_.id();
}

QString StatusNotifierItemAdaptor::title() const {
    return item_.title();
}

QString StatusNotifierItemAdaptor::category() const {
    return item_.category();
}

QString StatusNotifierItemAdaptor::status() const {
    return item_.status();
}

QDBusObjectPath StatusNotifierItemAdaptor::menu() const {
    return item_.menuPath();
}

IconPixmapList StatusNotifierItemAdaptor::iconPixmap() const {
    return item_.iconPixmaps();
}

ToolTip StatusNotifierItemAdaptor::toolTip() const {
    return {{}, {}, item_.title(), item_.summary()};
}

QString StatusNotifierItemAdaptor::accessibleDesc() const {
    return item_.summary();
}

void StatusNotifierItemAdaptor::Activate(int x, int y) {
    item_.popUpMenu(QPoint(x, y));
}

void StatusNotifierItemAdaptor::SecondaryActivate(int /*x*/, int /*y*/) {}

void StatusNotifierItemAdaptor::ContextMenu(int /*x*/, int /*y*/) {}

void StatusNotifierItemAdaptor::Scroll(int /*delta*/, const QString& /*orientation*/) {}

}  // namespace brimlet
