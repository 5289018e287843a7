#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <functional>

namespace brimlet {

// Says once, when the gauge is still nowhere to be seen a while after the start, that no tray was
// found and how to get one: a line on standard error and a desktop notification where the
// session has a notification service. A tray host that comes up with the session has the grace
// to appear first; nothing else changes, and the gauge shows as soon as a host appears.
class NoTrayNotice : public QObject {
    Q_OBJECT

  public:
    static constexpr int graceMs = 10'000;

    // `shown` tells whether a tray shows the gauge now; the notification goes out on `connection`.
    NoTrayNotice(QDBusConnection connection, std::function<bool()> shown, QObject* parent);

    [[nodiscard]] static QString line();

  private:
    void checkOnce();

    QDBusConnection connection_;
    std::function<bool()> shown_;
    QTimer timer_;
};

}  // namespace brimlet
