#include <gtest/gtest.h>

#include "support/QtPrinters.h"
#include "ui/SampleMenu.h"
#include "ui/sni/MenuLayout.h"

namespace brimlet {
namespace {

TEST(MenuLayout, EachKindOfRowBecomesItsDbusmenuProperties) {
    const struct {
        const char* name;
        MenuItem item;
        QVariantMap expected;
    } cases[] = {
        {"information row",
         {.text = "대기 중", .fontSize = 12, .enabled = false},
         {{"label", "대기 중"}, {"enabled", false}}},
        {"separator (its text ignored)", {.separator = true, .text = "x"}, {{"type", "separator"}}},
        {"action with key equivalent (no shortcut in a tray)",
         {.text = "지금 새로고침", .action = MenuAction::Refresh, .keyEquivalent = u'r'},
         {{"label", "지금 새로고침"}}},
        {"checked row",
         {.text = "로그인", .action = MenuAction::ToggleLogin, .checked = true},
         {{"label", "로그인"}, {"toggle-type", "checkmark"}, {"toggle-state", 1}}},
        {"unchecked row",
         {.text = "로그인", .action = MenuAction::ToggleLogin, .checked = false},
         {{"label", "로그인"}, {"toggle-type", "checkmark"}, {"toggle-state", 0}}},
        {"underscores are not access keys",
         {.text = "잔량을 못 읽음 — rate_limit_error", .enabled = false},
         {{"label", "잔량을 못 읽음 — rate__limit__error"}, {"enabled", false}}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        MenuItem item = row.item;
        item.id = 7;
        QVariantMap shown = row.expected;
        shown.insert("visible", true);
        EXPECT_EQ(menuNodeProperties({item}, 7), shown);
        EXPECT_EQ(menuNodeProperties({item}, 1), QVariantMap({{"visible", false}}));
        EXPECT_EQ(menuNodeProperties({item}, menuRowId::last + 1), std::nullopt);
    }
}

// Hosts show the rows as the root's submenu only when the root says so. Its children are every
// row id in order, hidden while the row is not shown, so the layout keeps one shape whatever the
// menu shows: GNOME's extension misplaced a row added beside one taken away.
TEST(MenuLayout, TheRootHoldsEveryRowIdAsASubmenuToTheAskedDepth) {
    const auto items = test::sampleMenu();
    for (const auto& menu : {items, buildStatusMenu(MenuState{}, QTimeZone::utc())}) {
        const auto whole = menuLayout(menu, 0, -1);
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->properties, QVariantMap({{"children-display", "submenu"}}));
        ASSERT_EQ(whole->children.size(), menuRowId::last);
        for (qsizetype i = 0; i < whole->children.size(); ++i) {
            const auto& child = whole->children.at(i);
            EXPECT_EQ(child.id, i + 1);
            EXPECT_EQ(child.properties.value("visible"), menuRow(menu, child.id).has_value());
        }
    }
    EXPECT_TRUE(menuLayout(items, 0, 0)->children.isEmpty());
    EXPECT_EQ(menuLayout(items, items.first().id, -1, {"label"})->properties.keys(),
              QStringList{"label"});
}

}  // namespace
}  // namespace brimlet
