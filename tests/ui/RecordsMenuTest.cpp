#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QWidgetAction>

#include "support/QtPrinters.h"
#include "ui/RecordsMenu.h"
#include "ui/SampleMenu.h"

namespace brimlet {
namespace {

QLabel* labelOf(QAction* action) {
    auto* const widgetAction = qobject_cast<QWidgetAction*>(action);
    return widgetAction ? qobject_cast<QLabel*>(widgetAction->defaultWidget()) : nullptr;
}

// The one Qt menu behind the tray icon's context menu and the popup of a StatusNotifierItem
// click, opened as far as a test can: its aboutToShow.
class RecordsMenuTest : public testing::Test {
  protected:
    QList<QAction*> open() {
        Q_EMIT menu.aboutToShow();
        return menu.actions();
    }

    MenuItems records = test::sampleMenu(true);
    QList<MenuAction> chosen;
    RecordsMenu::Source source = [this] { return records; };
    RecordsMenu::Sink sink = [this](MenuAction a) { chosen.append(a); };
    RecordsMenu menu{source, sink, RecordsMenu::Look::Styled};
};

// Styled (a menu bar's menu): information rows are styled labels that cannot be chosen, action
// rows plain actions with their shortcuts. Plain (a Linux tray's popup, beside the host's own menu
// of the same rows): every row an ordinary item in the menu's font, information rows greyed, no
// shortcuts. Texts show literally: no rich text in labels, and '&' (an access-key mark) doubled.
TEST_F(RecordsMenuTest, ShowsEachRowAsItsKindWithItsTextAsWritten) {
    const auto literal = QStringLiteral("A & <b>B</b>");
    records[test::sessionRow].text = literal;
    records[test::refreshRow].text = literal;
    const struct {
        int row;
        bool isInformation;
        QKeySequence shortcut;
    } cases[] = {
        {test::sessionRow, true, {}},
        {test::versionRow, true, {}},
        {test::refreshRow, false, QKeySequence(Qt::CTRL | Qt::Key_R)},
        {test::loginRow, false, {}},
        {test::quitRow, false, QKeySequence(Qt::CTRL | Qt::Key_Q)},
    };
    for (const auto look : {RecordsMenu::Look::Styled, RecordsMenu::Look::Plain}) {
        const bool styled = look == RecordsMenu::Look::Styled;
        SCOPED_TRACE(styled ? "styled" : "plain");
        RecordsMenu shown(source, sink, look);
        Q_EMIT shown.aboutToShow();
        const auto actions = shown.actions();
        ASSERT_EQ(actions.size(), records.size());
        EXPECT_TRUE(actions.at(test::firstSeparatorRow)->isSeparator());
        for (const auto& expected : cases) {
            const auto& record = records.at(expected.row);
            const auto* const action = actions.at(expected.row);
            const auto* const label = labelOf(actions.at(expected.row));
            EXPECT_EQ(action->isEnabled(), !expected.isInformation) << expected.row;
            EXPECT_EQ(action->isChecked(), expected.row == test::loginRow) << expected.row;
            EXPECT_EQ(action->shortcut(), styled ? expected.shortcut : QKeySequence());
            ASSERT_EQ(label != nullptr, styled && expected.isInformation) << expected.row;
            if (label) {
                EXPECT_EQ(label->text(), record.text);
                EXPECT_EQ(label->textFormat(), Qt::PlainText);
                EXPECT_EQ(label->font().pointSizeF(), record.fontSize);
                EXPECT_EQ(label->palette().color(QPalette::WindowText),
                          textColour(record.colour, menu.palette()));
            } else {
                EXPECT_EQ(action->text(), QString(record.text).replace(u'&', QStringLiteral("&&")));
                EXPECT_EQ(action->font().resolveMask(), 0U) << expected.row;
            }
        }
    }
    EXPECT_NE(textColour(TextRole::Secondary, menu.palette()),
              textColour(TextRole::Primary, menu.palette()));
}

TEST_F(RecordsMenuTest, EachOpeningReplacesTheRowsAndTriggersRunTheirActionsAfterTheClick) {
    (void)open();
    records.removeLast();  // the next opening shows one row less
    const auto actions = open();
    ASSERT_EQ(actions.size(), records.size());
    actions.at(test::refreshRow)->trigger();
    actions.at(test::loginRow)->trigger();
    actions.at(test::sessionRow)->trigger();
    EXPECT_TRUE(chosen.isEmpty()) << "an action ran inside the menu's click";
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(chosen, (QList<MenuAction>{MenuAction::Refresh, MenuAction::ToggleLogin}));
}

}  // namespace
}  // namespace brimlet
