// The tray item and its menu as any program on the session bus may call them: each input is a run
// of calls, with any method name, any argument types and lists of any length, sent over a private
// bus to a real StatusNotifierItem served by this very process. Every call must be answered, within
// 100 ms of this process's time once sent, however large its arguments (processor time, so that
// other work on the machine does not count; a call over it is sent again and must be over it
// twice), and no call may leave the process holding much more memory than before it.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <QProcess>
#include <QTimeZone>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "ui/StatusMenu.h"
#include "ui/sni/DBusTypes.h"
#include "ui/sni/StatusNotifierItem.h"

namespace {

constexpr qint64 longestCallMs = 100;
constexpr long mostGrowthBytes = 64L << 20;
constexpr int mostCallsPerInput = 16;

// A method and the kinds of argument it takes (see argument()): half the calls have those,
// with random values, the others any arguments at all.
struct Target {
    const char* path;
    const char* interface;
    const char* method;
    const char* kinds;
};

const Target targets[] = {
    {"/MenuBar", "com.canonical.dbusmenu", "GetLayout", "003"},
    {"/MenuBar", "com.canonical.dbusmenu", "GetGroupProperties", "43"},
    {"/MenuBar", "com.canonical.dbusmenu", "GetProperty", "02"},
    {"/MenuBar", "com.canonical.dbusmenu", "Event", "0261"},
    {"/MenuBar", "com.canonical.dbusmenu", "EventGroup", "5"},
    {"/MenuBar", "com.canonical.dbusmenu", "AboutToShow", "0"},
    {"/MenuBar", "com.canonical.dbusmenu", "AboutToShowGroup", "4"},
    {"/MenuBar", "org.freedesktop.DBus.Properties", "Get", "22"},
    {"/MenuBar", "org.freedesktop.DBus.Properties", "GetAll", "2"},
    {"/MenuBar", "org.freedesktop.DBus.Introspectable", "Introspect", ""},
    {"/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate", "00"},
    {"/StatusNotifierItem", "org.kde.StatusNotifierItem", "SecondaryActivate", "00"},
    {"/StatusNotifierItem", "org.kde.StatusNotifierItem", "ContextMenu", "00"},
    {"/StatusNotifierItem", "org.kde.StatusNotifierItem", "Scroll", "02"},
    {"/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get", "22"},
    {"/StatusNotifierItem", "org.freedesktop.DBus.Properties", "GetAll", "2"},
    {"/StatusNotifierItem", "org.freedesktop.DBus.Introspectable", "Introspect", ""},
};

const char* const words[] = {"label",
                             "enabled",
                             "visible",
                             "type",
                             "toggle-type",
                             "toggle-state",
                             "shortcut",
                             "children-display",
                             "clicked",
                             "hovered",
                             "opened",
                             "closed",
                             "com.canonical.dbusmenu",
                             "org.kde.StatusNotifierItem",
                             "Version",
                             "IconPixmap",
                             "ToolTip",
                             "vertical",
                             ""};

struct Session {
    QProcess daemon;
    QDBusConnection server{QString()};
    QDBusConnection client{QString()};
    std::unique_ptr<brimlet::StatusNotifierItem> item;
};
Session* session = nullptr;

qint64 processorMs() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000;
}

long residentBytes() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return resident * ::sysconf(_SC_PAGESIZE);
}

void fail(const char* what, const QString& detail) {
    std::fprintf(stderr, "%s: %s\n", what, qPrintable(detail));
    std::abort();
}

// Any length up to 16 times the bound of 1024 entries, short and long ones alike often.
qsizetype listLength(FuzzedDataProvider& in) {
    return in.ConsumeIntegralInRange<qsizetype>(0,
                                                qsizetype{1} << in.ConsumeIntegralInRange(0, 14));
}

// Ids near the menu's few rows, sometimes any.
int id(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? in.ConsumeIntegralInRange(-1, 16) : in.ConsumeIntegral<int>();
}

QString word(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? QString::fromLatin1(in.PickValueInArray(words))
                            : QString::fromStdString(in.ConsumeRandomLengthString(32));
}

QVariant argument(FuzzedDataProvider& in, int kind) {
    switch (kind) {
        case 0:
            return id(in);
        case 1:
            return in.ConsumeIntegral<uint>();
        case 2:
            return word(in);
        case 3:
            return QStringList(listLength(in), word(in));
        case 4:
            return QVariant::fromValue(QList<int>(listLength(in), id(in)));
        case 5:
            return QVariant::fromValue(brimlet::DBusMenuEventList(
                listLength(in), {id(in), word(in), QDBusVariant(id(in)), 0}));
        case 6:
            return QVariant::fromValue(QDBusVariant(word(in)));
        case 7:
            return in.ConsumeBool();
        default:
            return in.ConsumeFloatingPoint<double>();
    }
}

struct Answer {
    QDBusPendingCall pending;
    qint64 processorMs;  // from the moment the call had left the calling end
};

// Sends the call and turns the event loop, which serves both ends, until it is answered. The
// answer reaches QtDBus's own thread; only the watcher tells this one. Packing the call's
// arguments is the caller's work, not the item's, and is left out of the time.
Answer answered(const QDBusMessage& message) {
    const QDBusPendingCall pending = session->client.asyncCall(message, 5000);
    const qint64 sent = processorMs();
    const QDBusPendingCallWatcher watcher(pending);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    loop.exec();
    return {pending, processorMs() - sent};
}

}  // namespace

// Fontconfig keeps some of what it loads for a popped-up menu where the leak check cannot see it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char name[] = "dbus_menu_fuzz";
    static char* qtArgv[] = {name, nullptr};
    new QApplication(qtArgc, qtArgv);  // for the life of the process
    brimlet::registerDBusTypes();
    session = new Session;
    // The bus ends with this process, however it ends.
    session->daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    session->daemon.start(QStringLiteral("dbus-daemon"),
                          {QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--print-address")});
    if (!session->daemon.waitForReadyRead(10000)) {
        fail("dbus-daemon", QStringLiteral("did not start"));
    }
    const QString address = QString::fromUtf8(session->daemon.readLine()).trimmed();
    session->server = QDBusConnection::connectToBus(address, QStringLiteral("item"));
    session->client = QDBusConnection::connectToBus(address, QStringLiteral("client"));
    session->item = std::make_unique<brimlet::StatusNotifierItem>(41, session->server);
    session->item->menuNeedsUpdate = [] {
        return brimlet::buildStatusMenu({.version = QStringLiteral("1.0")}, QTimeZone::utc());
    };
    // The first call of each kind builds QtDBus's caches, and the first menu popped up loads the
    // fonts: neither is what an input is about.
    for (const Target& target : targets) {
        (void)answered(QDBusMessage::createMethodCall(
            session->server.baseService(), QString::fromLatin1(target.path),
            QString::fromLatin1(target.interface), QString::fromLatin1(target.method)));
    }
    (void)answered(QDBusMessage::createMethodCall(
                       session->server.baseService(), QStringLiteral("/StatusNotifierItem"),
                       QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Activate"))
                   << 0 << 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    for (int call = 0; call < mostCallsPerInput && in.remaining_bytes() > 0; ++call) {
        const Target& target = in.PickValueInArray(targets);
        auto message = QDBusMessage::createMethodCall(
            session->server.baseService(), QString::fromLatin1(target.path),
            QString::fromLatin1(target.interface), QString::fromLatin1(target.method));
        QVariantList arguments;
        if (in.ConsumeBool()) {
            for (const char* kind = target.kinds; *kind != 0; ++kind) {
                arguments.append(argument(in, *kind - '0'));
            }
        } else {
            for (int count = in.ConsumeIntegralInRange(0, 4); count > 0; --count) {
                arguments.append(argument(in, in.ConsumeIntegralInRange(0, 8)));
            }
        }
        message.setArguments(arguments);
        const long before = residentBytes();
        const auto [pending, took] = answered(message);
        const QString what = QString::fromLatin1(target.method) + QStringLiteral(" with ") +
                             QString::number(arguments.size()) + QStringLiteral(" arguments");
        if (took > longestCallMs) {
            // The process's time also holds whatever else ran meanwhile (an earlier call's
            // popup settling, the sanitizers' housekeeping), now and then over 100 ms on its own:
            // work the arguments cause is slow again when the same call is sent once more.
            const qint64 again = answered(message).processorMs;
            if (again > longestCallMs) {
                fail("too slow", what + u' ' + QString::number(took) + QStringLiteral(" ms, ") +
                                     QString::number(again) + QStringLiteral(" ms again"));
            }
        }
        if (pending.isError() && pending.error().type() == QDBusError::NoReply) {
            fail("no answer", what);
        }
        if (residentBytes() - before > mostGrowthBytes) {
            fail("memory", what);
        }
    }
    // Clicks are carried out after their replies: let them run, and the menu's announcements.
    QCoreApplication::processEvents();
    return 0;
}
