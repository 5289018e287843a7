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

struct LayoutCase {
    const char* name;
    int parentId;
    int recursionDepth;
    QStringList names;
    std::optional<int> expectedId;  // none: the request names nothing
    qsizetype expectedChildren;
    QStringList expectedKeys;  // of the answered node
};

TEST(MenuLayout, AnswersTheAskedNodeDepthAndProperties) {
    const auto items = sampleMenu();
    const auto rows = items.size();
    const auto label = QStringLiteral("label");
    // Hosts show the rows as the root's submenu only when the root says so.
    EXPECT_EQ(menuNodeProperties(items, 0),
              QVariantMap({{QStringLiteral("children-display"), QStringLiteral("submenu")}}));
    const LayoutCase cases[] = {
        {"whole menu", 0, -1, {}, 0, rows, {QStringLiteral("children-display")}},
        {"one level is the whole menu", 0, 1, {}, 0, rows, {QStringLiteral("children-display")}},
        {"root without children", 0, 0, {}, 0, 0, {QStringLiteral("children-display")}},
        {"only the names asked for", 0, -1, {label}, 0, rows, {}},
        {"one row",
         test::refreshRow + 1,
         -1,
         {},
         test::refreshRow + 1,
         0,
         {label, QStringLiteral("shortcut")}},
        {"last row", int(rows), -1, {label}, int(rows), 0, {label}},
        {"past the last row", int(rows) + 1, -1, {}, std::nullopt, 0, {}},
        {"negative id", -1, -1, {}, std::nullopt, 0, {}},
    };
    for (const auto& request : cases) {
        SCOPED_TRACE(request.name);
        const auto layout =
            menuLayout(items, request.parentId, request.recursionDepth, request.names);
        ASSERT_EQ(layout.has_value(), request.expectedId.has_value());
        if (!layout) {
            continue;
        }
        EXPECT_EQ(layout->id, *request.expectedId);
        EXPECT_EQ(layout->children.size(), request.expectedChildren);
        EXPECT_EQ(layout->properties.keys(), request.expectedKeys);
        for (qsizetype row = 0; row < layout->children.size(); ++row) {
            const auto& child = layout->children.at(row);
            EXPECT_EQ(child.id, row + 1);
            EXPECT_EQ(child.properties, menuNodeProperties(items, child.id, request.names));
            EXPECT_TRUE(child.children.isEmpty());
        }
    }
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
