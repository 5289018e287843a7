#pragma once

#include <QString>
#include <optional>

namespace brimlet {

// When hosts are told that the item's tool tip changed. Hosts show a changed tool tip at once, even
// over the item's open menu, and the rows it repeats change with every activity tick; so a change
// is told at most once every 10 seconds and never while the menu is open. Until it is told, hosts
// read the text they were last told of. Times are a steady clock's milliseconds, from the caller.
class ToolTipPace {
  public:
    static constexpr qint64 everyMs = 10'000;
    // A host that never says the menu closed holds the tool tip back no longer than this.
    static constexpr qint64 menuOpenAtMostMs = 60'000;

    explicit ToolTipPace(QString text) : told_(text), latest_(std::move(text)) {}

    // The rows now; told by a later settle().
    void offer(QString text) { latest_ = std::move(text); }
    void menuOpened(qint64 nowMs) { openedAt_ = nowMs; }
    void menuClosed() { openedAt_.reset(); }

    struct Step {
        bool tell = false;                   // text() changed: tell the hosts now
        std::optional<qint64> retryAfterMs;  // a change waits: settle again then
    };
    [[nodiscard]] Step settle(qint64 nowMs);

    // The text hosts were last told of.
    [[nodiscard]] const QString& text() const { return told_; }

  private:
    QString told_;
    QString latest_;
    std::optional<qint64> toldAt_;
    std::optional<qint64> openedAt_;
};

}  // namespace brimlet
