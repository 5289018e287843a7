#include "app/QuitOnSignals.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <csignal>

namespace brimlet {
namespace {

constexpr int stopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Written by the handler, read by the event loop; -1 while no handler is installed.
int wakeWriter = -1;
int wakeReader = -1;

extern "C" void wakeEventLoop(int /*signal*/) {
    const int savedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a wake-up; nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t written = ::write(wakeWriter, &byte, 1);
    errno = savedErrno;
}

void maskStopSignals(int how) {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : stopSignals) {
        sigaddset(&set, signal);
    }
    ::pthread_sigmask(how, &set, nullptr);
}

}  // namespace

void QuitOnSignals::holdStopSignals() {
    maskStopSignals(SIG_BLOCK);
}

QuitOnSignals::QuitOnSignals() {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        // The default actions stay: the process still ends, just not through the loop.
        maskStopSignals(SIG_UNBLOCK);
        return;
    }
    wakeReader = ends[0];
    wakeWriter = ends[1];
    ::fcntl(wakeWriter, F_SETFL, O_NONBLOCK);
    notifier_ = std::make_unique<QSocketNotifier>(wakeReader, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [] {
        char drained[16];
        [[maybe_unused]] const ssize_t got = ::read(wakeReader, drained, sizeof drained);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = wakeEventLoop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : stopSignals) {
        ::sigaction(signal, &action, nullptr);
    }
    maskStopSignals(SIG_UNBLOCK);  // a signal held back arrives now, and is heard by the loop
}

QuitOnSignals::~QuitOnSignals() {
    if (!notifier_) {
        return;
    }
    for (const int signal : stopSignals) {
        ::signal(signal, SIG_DFL);
    }
    notifier_.reset();
    ::close(wakeReader);
    ::close(wakeWriter);
    wakeReader = wakeWriter = -1;
}

}  // namespace brimlet
