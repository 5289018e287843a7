#include <gtest/gtest.h>

#include "support/QtPrinters.h"
#include "ui/SampleMenu.h"
#include "ui/sni/MenuLayout.h"

namespace brimlet {
namespace {

using test::sampleMenu;

struct RowCase {
    const char* name;
    MenuItem item;
    QVariantMap expected;
};

TEST(MenuLayout, EachKindOfRowBecomesItsDbusmenuProperties) {
    const QVariantMap separator{{QStringLiteral("type"), QStringLiteral("separator")}};
    const RowCase cases[] = {
        {"information row",
         {.text = QStringLiteral("대기 중"), .fontSize = 12, .enabled = false},
         {{QStringLiteral("label"), QStringLiteral("대기 중")},
          {QStringLiteral("enabled"), false}}},
        {"separator (its text ignored)",
         {.separator = true, .text = QStringLiteral("x")},
         separator},
        {"action with key equivalent (no shortcut in a tray)",
         {.text = QStringLiteral("지금 새로고침"),
          .action = MenuAction::Refresh,
          .keyEquivalent = u'r'},
         {{QStringLiteral("label"), QStringLiteral("지금 새로고침")}}},
        {"checked row",
         {.text = QStringLiteral("로그인"), .action = MenuAction::ToggleLogin, .checked = true},
         {{QStringLiteral("label"), QStringLiteral("로그인")},
          {QStringLiteral("toggle-type"), QStringLiteral("checkmark")},
          {QStringLiteral("toggle-state"), 1}}},
        {"unchecked row",
         {.text = QStringLiteral("로그인"), .action = MenuAction::ToggleLogin, .checked = false},
         {{QStringLiteral("label"), QStringLiteral("로그인")},
          {QStringLiteral("toggle-type"), QStringLiteral("checkmark")},
          {QStringLiteral("toggle-state"), 0}}},
        {"underscores are not access keys",
         {.text = QStringLiteral("잔량을 못 읽음 — rate_limit_error"), .enabled = false},
         {{QStringLiteral("label"), QStringLiteral("잔량을 못 읽음 — rate__limit__error")},
          {QStringLiteral("enabled"), false}}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        MenuItem item = row.item;
        item.id = 7;
        EXPECT_EQ(menuNodeProperties({item}, 7), row.expected);
        EXPECT_EQ(menuNodeProperties({item}, 1), std::nullopt);
    }
}

// Hosts show the rows as the root's submenu only when the root says so; rows are its children,
// each the node its id names (ids and unknown ids over the bus are seen end to end).
TEST(MenuLayout, TheRootHoldsTheRowsAsASubmenuToTheAskedDepth) {
    const auto items = sampleMenu();
    const auto whole = menuLayout(items, 0, -1);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->properties,
              QVariantMap({{QStringLiteral("children-display"), QStringLiteral("submenu")}}));
    ASSERT_EQ(whole->children.size(), items.size());
    EXPECT_EQ(whole->children.last().id, items.last().id);
    EXPECT_TRUE(menuLayout(items, 0, 0)->children.isEmpty());
    EXPECT_EQ(menuLayout(items, items.first().id, -1, {QStringLiteral("label")})->properties.keys(),
              QStringList{QStringLiteral("label")});
}

}  // namespace
}  // namespace brimlet
