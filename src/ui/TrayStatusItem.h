#pragma once

#include <QFont>
#include <QMenu>
#include <QObject>
#include <QPalette>
#include <QSystemTrayIcon>

#include "ui/StatusItem.h"

namespace brimlet {

// The status item of macOS: Qt's tray icon, whose menu is rebuilt from the records each time it
// is about to show. Styled information rows are labels in their size, with tabular digits where
// Qt can ask for them, and their colour role from the palette's text colours (a menu action has
// no colour of its own). Key equivalents use Control, which Qt maps to Command on macOS. Plain
// Qt, so it is built and tested on every platform.
class TrayStatusItem final : public QObject, public StatusItem {
    Q_OBJECT

  public:
    explicit TrayStatusItem(double length);
    ~TrayStatusItem() override;

    void setImage(const QImage& image) override;
    [[nodiscard]] Placement placement() const override;

    // The menu the icon opens; its rows are rebuilt on its aboutToShow.
    [[nodiscard]] QMenu& menu() { return menu_; }

  private:
    void rebuildMenu();
    void addRow(const MenuItem& item);
    void addLabelRow(const MenuItem& item);
    void addActionRow(const MenuItem& item);

    double length_;
    QImage image_;
    QMenu menu_;
    QSystemTrayIcon icon_;  // after the menu: it must go first, as it shows the menu
};

// The text colour of a styled row's role, from `palette`.
[[nodiscard]] QColor textColour(TextRole role, const QPalette& palette);

// The font of a styled row: `base` at `points`, with tabular (equal-width) digits where supported.
[[nodiscard]] QFont styledRowFont(QFont base, double points);

}  // namespace brimlet
