#include <gtest/gtest.h>

#include "support/QtPrinters.h"
#include "ui/SampleMenu.h"
#include "ui/sni/MenuLayout.h"

namespace brimlet {
namespace {

using test::sampleMenu;

QVariant shortcut(const QString& key) {
    return QVariant::fromValue(DBusMenuShortcut{{QStringLiteral("Control"), key}});
}

struct RowCase {
    const char* name;
    MenuItem item;
    QVariantMap expected;
};

TEST(MenuLayout, EachKindOfRowBecomesItsDbusmenuProperties) {
    registerDBusTypes();
    const QVariantMap separator{{QStringLiteral("type"), QStringLiteral("separator")}};
    const RowCase cases[] = {
        {"information row",
         {.text = QStringLiteral("대기 중"), .fontSize = 12, .enabled = false},
         {{QStringLiteral("label"), QStringLiteral("대기 중")},
          {QStringLiteral("enabled"), false}}},
        {"separator (its text ignored)",
         {.separator = true, .text = QStringLiteral("x")},
         separator},
        {"action with key equivalent",
         {.text = QStringLiteral("지금 새로고침"),
          .action = MenuAction::Refresh,
          .keyEquivalent = u'r'},
         {{QStringLiteral("label"), QStringLiteral("지금 새로고침")},
          {QStringLiteral("shortcut"), shortcut(QStringLiteral("r"))}}},
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
        EXPECT_EQ(menuNodeProperties({row.item}, 1), row.expected);
    }
}

TEST(MenuLayout, AnswersTheAskedNodeToTheAskedDepth) {
    const auto items = sampleMenu();
    const auto rows = items.size();
    // Hosts show the rows as the root's submenu only when the root says so.
    EXPECT_EQ(menuNodeProperties(items, 0),
              QVariantMap({{QStringLiteral("children-display"), QStringLiteral("submenu")}}));
    const struct {
        const char* name;
        int parentId;
        int recursionDepth;
        qsizetype expectedChildren;  // -1: the request names nothing
    } cases[] = {
        {"whole menu", 0, -1, rows},
        {"one level is the whole menu", 0, 1, rows},
        {"root alone", 0, 0, 0},
        {"last row", int(rows), -1, 0},
        {"past the last row", int(rows) + 1, -1, -1},
        {"negative id", -1, -1, -1},
    };
    for (const auto& request : cases) {
        SCOPED_TRACE(request.name);
        const auto layout = menuLayout(items, request.parentId, request.recursionDepth);
        ASSERT_EQ(layout.has_value(), request.expectedChildren >= 0);
        if (layout) {
            EXPECT_EQ(layout->id, request.parentId);
            ASSERT_EQ(layout->children.size(), request.expectedChildren);
        }
        for (qsizetype row = 0; layout && row < layout->children.size(); ++row) {
            EXPECT_EQ(layout->children.at(row).id, row + 1);
        }
    }
    const auto labelsOnly = menuLayout(items, test::refreshRow + 1, -1, {QStringLiteral("label")});
    ASSERT_TRUE(labelsOnly);
    EXPECT_EQ(labelsOnly->properties.keys(), QStringList{QStringLiteral("label")});
}

// The compound types must have the protocols' exact signatures, or hosts reject them.
TEST(DBusTypes, MarshalWithTheProtocolsSignatures) {
    registerDBusTypes();
    const auto signatureOf = [](const auto& value) {
        QDBusArgument argument;
        argument << value;
        return argument.currentSignature();
    };
    const struct {
        const char* name;
        QString signature;
        QString expected;
    } cases[] = {
        {"icon bitmaps", signatureOf(IconPixmapList{{1, 1, QByteArray(4, 0)}}), "a(iiay)"},
        {"tool tip", signatureOf(ToolTip{}), "(sa(iiay)ss)"},
        {"layout", signatureOf(*menuLayout(sampleMenu(), 0, -1)), "(ia{sv}av)"},
        {"group properties", signatureOf(DBusMenuItemList{{1, {}}}), "a(ia{sv})"},
        {"events", signatureOf(DBusMenuEventList{{1, "clicked", QDBusVariant(0), 0}}), "a(isvu)"},
        {"shortcut", signatureOf(DBusMenuShortcut{{"Control", "r"}}), "aas"},
    };
    for (const auto& type : cases) {
        SCOPED_TRACE(type.name);
        EXPECT_EQ(type.signature, type.expected);
    }
}

}  // namespace
}  // namespace brimlet
