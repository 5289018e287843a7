#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <optional>

namespace brimlet {

enum class MenuAction { None, Refresh, ToggleLogin, Quit };
enum class TextRole { Plain, Primary, Secondary, Tertiary };  // colour role of a styled row

// One row of the status item's menu, as plain data that every platform's item can show. Every
// member has an initializer, so designated initializers may leave any of them out.
struct MenuItem {
    bool separator = false;
    QString text{};
    double fontSize = 0;  // points; 0 = the menu's own font (plain action rows)
    TextRole colour = TextRole::Plain;
    bool enabled = true;  // information rows are not enabled
    MenuAction action = MenuAction::None;
    QChar keyEquivalent{};          // u'r', u'q' or null; with the platform's primary modifier
    std::optional<bool> checked{};  // present for a check-mark row: its state
    // The row's id for hosts that keep what they learnt of an id (its kind, its check box):
    // one logical row keeps its id for the life of the process, and no id ever names a row of
    // another kind. Rows that come and go are left out of the records (hosts see them hidden),
    // never renumbered.
    int id = 0;

    friend bool operator==(const MenuItem&, const MenuItem&) = default;

    // Whether choosing this row has an effect: separators and information rows have none.
    [[nodiscard]] bool choosable() const {
        return !separator && enabled && action != MenuAction::None;
    }
};
using MenuItems = QList<MenuItem>;

}  // namespace brimlet
