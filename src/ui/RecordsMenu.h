#pragma once

#include <QFont>
#include <QMenu>
#include <QPalette>
#include <functional>

#include "ui/MenuItem.h"

namespace brimlet {

// The menu records as a Qt menu, rebuilt from `source` each time it is about to show; choosing an
// enabled row with an action hands that action to `sink` from the event loop. One piece for every
// Qt-drawn face of the menu: the tray icon's context menu and the popup of a StatusNotifierItem
// click.
class RecordsMenu final : public QMenu {
    Q_OBJECT

  public:
    using Source = std::function<MenuItems()>;
    using Sink = std::function<void(MenuAction)>;
    enum class Look {
        // The status bar's own menu (macOS): styled information rows are labels in their size,
        // with tabular digits where Qt can ask for them, and their colour role from the palette's
        // text colours (a menu action has no colour of its own); key equivalents use Control,
        // which Qt maps to Command.
        Styled,
        // A tray popup beside the host's own menu of the same rows (Linux): every row an ordinary
        // item in the menu's font and margins, information rows greyed, no shortcuts, as the
        // host draws them.
        Plain,
    };

    RecordsMenu(Source source, Sink sink, Look look);

  private:
    void rebuild();
    void addRow(const MenuItem& item);
    void addLabelRow(const MenuItem& item);
    void addActionRow(const MenuItem& item);

    Source source_;
    Sink sink_;
    Look look_;
};

// The text colour of a styled row's role, from `palette`.
[[nodiscard]] QColor textColour(TextRole role, const QPalette& palette);

// The font of a styled row: `base` at `points`, with tabular (equal-width) digits where supported.
[[nodiscard]] QFont styledRowFont(QFont base, double points);

}  // namespace brimlet
