#include "ui/RecordsMenu.h"

#include <QLabel>
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

RecordsMenu::RecordsMenu(Source source, Sink sink, Look look)
    : source_(std::move(source)), sink_(std::move(sink)), look_(look) {
    connect(this, &QMenu::aboutToShow, this, &RecordsMenu::rebuild);
}

void RecordsMenu::rebuild() {
    clear();
    for (const auto& item : source_()) {
        addRow(item);
    }
}

void RecordsMenu::addRow(const MenuItem& item) {
    if (item.separator) {
        addSeparator();
    } else if (look_ == Look::Styled && item.fontSize > 0 && !item.choosable()) {
        addLabelRow(item);
    } else {
        addActionRow(item);
    }
}

void RecordsMenu::addLabelRow(const MenuItem& item) {
    auto* const label = new QLabel(item.text);
    label->setTextFormat(Qt::PlainText);
    label->setFont(styledRowFont(font(), item.fontSize));
    auto labelPalette = label->palette();
    labelPalette.setColor(QPalette::WindowText, textColour(item.colour, palette()));
    label->setPalette(labelPalette);
    const auto margin = style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, this);
    label->setContentsMargins(margin, 0, margin, 0);

    auto* const action = new QWidgetAction(this);
    action->setDefaultWidget(label);
    action->setText(actionText(item.text));
    action->setEnabled(false);
    addAction(action);
}

void RecordsMenu::addActionRow(const MenuItem& item) {
    auto* const action = addAction(actionText(item.text));
    if (look_ == Look::Styled && item.fontSize > 0) {
        action->setFont(styledRowFont(font(), item.fontSize));
    }
    action->setEnabled(item.enabled);
    if (item.checked) {
        action->setCheckable(true);
        action->setChecked(*item.checked);
    }
    if (look_ == Look::Styled && !item.keyEquivalent.isNull()) {
        action->setShortcut(keySequence(item.keyEquivalent));
    }
    if (item.choosable()) {
        // Queued: the action runs once the menu is done with the click, never inside it. An action
        // may open a dialog with an event loop of its own, and a tray face that changes meanwhile
        // takes this menu with it; a menu gone by then drops the choice.
        connect(
            action, &QAction::triggered, this, [this, chosen = item.action] { sink_(chosen); },
            Qt::QueuedConnection);
    }
}

}  // namespace brimlet
