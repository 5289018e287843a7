#include <gtest/gtest.h>

#include <QLabel>
#include <QWidgetAction>

#include "support/QtPrinters.h"
#include "ui/SampleMenu.h"
#include "ui/TrayStatusItem.h"

namespace brimlet {
namespace {

// Opens the menu as far as the item can tell: its aboutToShow.
QList<QAction*> openMenu(TrayStatusItem& item) {
    Q_EMIT item.menu().aboutToShow();
    return item.menu().actions();
}

QLabel* labelOf(QAction* action) {
    auto* const widgetAction = qobject_cast<QWidgetAction*>(action);
    return widgetAction ? qobject_cast<QLabel*>(widgetAction->defaultWidget()) : nullptr;
}

// Information rows are styled labels that cannot be chosen; action rows are plain actions.
TEST(TrayStatusItem, ShowsEachRowAsItsKind) {
    TrayStatusItem item(41);
    const auto menu = test::sampleMenu(true);
    item.menuNeedsUpdate = [&] { return menu; };
    const auto actions = openMenu(item);
    ASSERT_EQ(actions.size(), menu.size());
    EXPECT_TRUE(actions.at(test::firstSeparatorRow)->isSeparator());
    const struct {
        int row;
        bool isLabel;
        bool checked;
        QKeySequence shortcut;
    } cases[] = {
        {test::sessionRow, true, false, {}},
        {test::resetRow, true, false, {}},
        {test::activityRow, true, false, {}},
        {test::versionRow, true, false, {}},
        {test::refreshRow, false, false, QKeySequence(Qt::CTRL | Qt::Key_R)},
        {test::loginRow, false, true, {}},
        {test::quitRow, false, false, QKeySequence(Qt::CTRL | Qt::Key_Q)},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.row);
        const auto& record = menu.at(expected.row);
        const auto* const action = actions.at(expected.row);
        const auto* const label = labelOf(actions.at(expected.row));
        EXPECT_EQ(action->isEnabled(), !expected.isLabel);
        EXPECT_EQ(action->isChecked(), expected.checked);
        EXPECT_EQ(action->shortcut(), expected.shortcut);
        ASSERT_EQ(label != nullptr, expected.isLabel);
        if (label) {
            EXPECT_EQ(label->text(), record.text);
            EXPECT_EQ(label->font().pointSizeF(), record.fontSize);
            EXPECT_EQ(label->palette().color(QPalette::Disabled, QPalette::WindowText),
                      textColour(record.colour, item.menu().palette()));
        } else {
            EXPECT_EQ(action->text(), record.text);
        }
    }
}

TEST(TrayStatusItem, EachOpeningReplacesTheRowsAndTriggersRunTheirActions) {
    TrayStatusItem item(41);
    QList<MenuAction> chosen;
    item.onAction = [&](MenuAction action) { chosen.append(action); };
    auto menu = test::sampleMenu();
    item.menuNeedsUpdate = [&] { return menu; };
    (void)openMenu(item);
    menu.removeLast();  // the next opening shows one row less
    const auto actions = openMenu(item);
    ASSERT_EQ(actions.size(), menu.size());

    actions.at(test::refreshRow)->trigger();
    actions.at(test::loginRow)->trigger();
    actions.at(test::sessionRow)->trigger();
    EXPECT_EQ(chosen, (QList<MenuAction>{MenuAction::Refresh, MenuAction::ToggleLogin}));
}

TEST(TrayStatusItem, TextsAreShownLiterally) {
    TrayStatusItem item(41);
    const auto text = QStringLiteral("A & <b>B</b>");
    item.menuNeedsUpdate = [&] {
        return MenuItems{{.text = text, .fontSize = 11, .enabled = false},
                         {.text = text, .action = MenuAction::Refresh}};
    };
    const auto actions = openMenu(item);
    ASSERT_EQ(actions.size(), 2);
    const auto* const label = labelOf(actions.at(0));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), text);
    // In a menu '&' marks the access key; doubled, it shows itself.
    EXPECT_EQ(actions.at(1)->text(), QStringLiteral("A && <b>B</b>"));
}

TEST(TrayStatusItem, ColourRolesComeFromThePalettesTextColours) {
    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Active, QPalette::PlaceholderText, Qt::darkGray);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, Qt::lightGray);
    const struct {
        TextRole role;
        QColor expected;
    } cases[] = {
        {TextRole::Plain, Qt::black},
        {TextRole::Primary, Qt::black},
        {TextRole::Secondary, Qt::darkGray},
        {TextRole::Tertiary, Qt::lightGray},
    };
    for (const auto& role : cases) {
        SCOPED_TRACE(static_cast<int>(role.role));
        EXPECT_EQ(textColour(role.role, palette), role.expected);
    }
}

TEST(TrayStatusItem, ShowsWithItsFirstImage) {
    TrayStatusItem item(41);
    EXPECT_EQ(item.placement().length, 41);
    EXPECT_FALSE(item.placement().visible);
    QImage image(82, 44, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::red);
    item.setImage(image);
    EXPECT_TRUE(item.placement().visible);
}

}  // namespace
}  // namespace brimlet
