#pragma once

#include <QtGlobal>
#include <optional>

namespace brimlet {

// Decides which face the Linux status item shows: our StatusNotifierItem, or Qt's tray icon in an
// XEmbed tray (i3bar, trayer, stalonetray, polybar, tint2) when no StatusNotifierWatcher is on the
// bus and the display is X11. Never both. A watcher that goes may be a panel restarting, so the
// stand-in waits a few seconds for one to come back. Times are milliseconds of a monotonic clock.
//
// Qt's tray icon speaks StatusNotifierItem itself when a watcher is up at the moment it is first
// made (and remembers that for the process), so the stand-in is only ever chosen while no watcher
// is present: it then really is XEmbed.
class TrayFaceChooser {
  public:
    enum class Face { StatusNotifier, XEmbed };
    static constexpr qint64 graceMs = 3000;

    // `xembedPossible`: the display is X11; `watcherPresent`: as found at start.
    TrayFaceChooser(bool xembedPossible, bool watcherPresent);

    // The watcher's presence and whether it holds our registration, as of `nowMs`.
    void observe(bool watcherPresent, bool registered, qint64 nowMs);

    [[nodiscard]] Face face(qint64 nowMs) const;
    // When face() changes without a new observation; none when it will not.
    [[nodiscard]] std::optional<qint64> nextChange(qint64 nowMs) const;

  private:
    bool xembedPossible_;
    bool watcherPresent_;
    bool registered_ = false;
    std::optional<qint64> watcherLeftAt_;  // none while present or when it never was
};

}  // namespace brimlet
