#include "ui/TrayStatusItem.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QWidgetAction>

namespace brimlet {

namespace {

// Menus read '&' as a mnemonic marker; our texts mean the character itself.
QString actionText(const QString& text) {
    auto escaped = text;
    return escaped.replace(u'&', QStringLiteral("&&"));
}

QKeySequence keySequence(QChar key) {
    return QKeySequence(
        QKeyCombination(Qt::ControlModifier, static_cast<Qt::Key>(key.toUpper().unicode())));
}

}  // namespace

QColor textColour(TextRole role, const QPalette& palette) {
    switch (role) {
        case TextRole::Secondary:
            return palette.color(QPalette::Active, QPalette::PlaceholderText);
        case TextRole::Tertiary:
            return palette.color(QPalette::Disabled, QPalette::WindowText);
        case TextRole::Plain:
        case TextRole::Primary:
            break;
    }
    return palette.color(QPalette::Active, QPalette::WindowText);
}

QFont styledRowFont(QFont base, double points) {
    base.setPointSizeF(points);
    base.setWeight(QFont::Normal);
#if QT_VERSION >= QT_VERSION_CHECK(6, 7, 0)
    base.setFeature("tnum", 1);
#endif
    return base;
}

TrayStatusItem::TrayStatusItem(double length) : length_(length) {
    icon_.setContextMenu(&menu_);
    connect(&menu_, &QMenu::aboutToShow, this, &TrayStatusItem::rebuildMenu);
}

TrayStatusItem::~TrayStatusItem() = default;

// The icon shows with its first image: a tray icon without one is refused with a warning.
void TrayStatusItem::setImage(const QImage& image) {
    if (image == image_) {
        return;
    }
    image_ = image;
    icon_.setIcon(QIcon(QPixmap::fromImage(image_)));
    icon_.show();
}

Placement TrayStatusItem::placement() const {
    const QRectF window = icon_.geometry();
    const auto* const screen =
        window.isEmpty() ? nullptr : QGuiApplication::screenAt(window.center().toPoint());
    return {length_, icon_.isVisible(), window, screen ? QRectF(screen->geometry()) : QRectF()};
}

void TrayStatusItem::rebuildMenu() {
    menu_.clear();
    for (const auto& item : currentMenu()) {
        addRow(item);
    }
}

void TrayStatusItem::addRow(const MenuItem& item) {
    if (item.separator) {
        menu_.addSeparator();
    } else if (item.fontSize > 0 && !item.choosable()) {
        addLabelRow(item);
    } else {
        addActionRow(item);
    }
}

void TrayStatusItem::addLabelRow(const MenuItem& item) {
    auto* const label = new QLabel(item.text);
    label->setTextFormat(Qt::PlainText);
    label->setFont(styledRowFont(menu_.font(), item.fontSize));
    auto palette = label->palette();
    palette.setColor(QPalette::WindowText, textColour(item.colour, menu_.palette()));
    label->setPalette(palette);
    const auto margin = menu_.style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, &menu_);
    label->setContentsMargins(margin, 0, margin, 0);

    auto* const action = new QWidgetAction(&menu_);
    action->setDefaultWidget(label);
    action->setText(actionText(item.text));
    action->setEnabled(false);
    menu_.addAction(action);
}

void TrayStatusItem::addActionRow(const MenuItem& item) {
    auto* const action = menu_.addAction(actionText(item.text));
    if (item.fontSize > 0) {
        action->setFont(styledRowFont(menu_.font(), item.fontSize));
    }
    action->setEnabled(item.enabled);
    if (item.checked) {
        action->setCheckable(true);
        action->setChecked(*item.checked);
    }
    if (!item.keyEquivalent.isNull()) {
        action->setShortcut(keySequence(item.keyEquivalent));
    }
    if (item.choosable()) {
        connect(action, &QAction::triggered, this,
                [this, chosen = item.action] { runAction(chosen); });
    }
}

}  // namespace brimlet
