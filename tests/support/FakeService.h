#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>

namespace brimlet::test {

// One call a FakeService answered.
struct ServiceCall {
    QString sender;  // the caller's unique bus name
    QVariantList arguments;
};

// Plays a desktop's service on a bus connection: owns its name and object, and answers calls of
// one method with `reply`, recording each; other calls are unknown to it. Stopping gives the name
// up, as a panel that restarts does; start() takes it again.
class FakeService : public QDBusVirtualObject {
  public:
    FakeService(const QDBusConnection& connection, QString name, QString path, QString method,
                QVariantList reply = {})
        : connection_(connection),
          name_(std::move(name)),
          path_(std::move(path)),
          method_(std::move(method)),
          reply_(std::move(reply)) {}
    ~FakeService() override { stop(); }

    // False when the bus refused the name or the object.
    bool start() {
        return connection_.registerVirtualObject(path_, this) && connection_.registerService(name_);
    }
    void stop() {
        connection_.unregisterService(name_);
        connection_.unregisterObject(path_);
    }

    // Every call answered since construction, across stops and starts.
    [[nodiscard]] const QList<ServiceCall>& calls() const { return calls_; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != method_) {
            return false;
        }
        calls_.append({message.service(), message.arguments()});
        return connection.send(message.createReply(reply_));
    }
    [[nodiscard]] QString introspect(const QString& /*path*/) const override { return {}; }

  private:
    QDBusConnection connection_;
    QString name_;
    QString path_;
    QString method_;
    QVariantList reply_;
    QList<ServiceCall> calls_;
};

// The desktop's org.kde.StatusNotifierWatcher: its calls are item registrations, the argument a
// bus name or an object path of the caller.
class FakeStatusWatcher : public FakeService {
  public:
    explicit FakeStatusWatcher(const QDBusConnection& connection)
        : FakeService(connection, QStringLiteral("org.kde.StatusNotifierWatcher"),
                      QStringLiteral("/StatusNotifierWatcher"),
                      QStringLiteral("RegisterStatusNotifierItem")) {}
};

}  // namespace brimlet::test
