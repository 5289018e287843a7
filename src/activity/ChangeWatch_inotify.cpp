#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <unordered_map>

#include "activity/ChangeWatch.h"

namespace brimlet {
namespace {

// Everything that can change a listing, a file's size or its modification time, or the folder.
constexpr std::uint32_t kWatchedEvents = IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE |
                                         IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                         IN_MOVE_SELF | IN_ONLYDIR;
constexpr std::uint32_t kListingEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t kEndingEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

}  // namespace

// Linux: one inotify instance, read without blocking once per tick.
struct ChangeWatch::Watches {
    int descriptor = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::unordered_map<int, std::string> folders;  // by watch descriptor

    // `name` is the entry's name that follows the event in the buffer, when it has one.
    void take(const inotify_event& event, const char* name, Notices& notices) {
        if ((event.mask & IN_Q_OVERFLOW) != 0) {
            notices.lost = true;
            return;
        }
        const auto folder = folders.find(event.wd);
        if (folder == folders.end()) {
            return;  // a watch already ended
        }
        if ((event.mask & kEndingEvents) != 0) {
            notices.endedFolders.push_back(folder->second);
            if ((event.mask & IN_IGNORED) == 0) {
                // A moved folder would go on reporting under its old path.
                ::inotify_rm_watch(descriptor, event.wd);
            }
            folders.erase(folder);
            return;
        }
        if ((event.mask & kListingEvents) != 0) {
            notices.changedListings.push_back(folder->second);
        }
        if (event.len > 0) {
            notices.changedEntries.push_back(folder->second + '/' + name);
        }
    }
};

ChangeWatch::ChangeWatch() : watches_(std::make_unique<Watches>()) {}

ChangeWatch::~ChangeWatch() {
    if (watches_->descriptor >= 0) {
        ::close(watches_->descriptor);
    }
}

bool ChangeWatch::watch(const std::string& folder) {
    if (watches_->descriptor < 0) {
        return false;
    }
    const int watch = ::inotify_add_watch(watches_->descriptor, folder.c_str(), kWatchedEvents);
    if (watch < 0) {
        return false;
    }
    watches_->folders[watch] = folder;
    return true;
}

ChangeWatch::Notices ChangeWatch::collect() {
    Notices notices;
    if (watches_->descriptor < 0) {
        return notices;
    }
    alignas(inotify_event) char buffer[64 * 1024];
    ssize_t got = 0;
    while ((got = ::read(watches_->descriptor, buffer, sizeof buffer)) > 0) {
        for (const char* at = buffer; at < buffer + got;) {
            inotify_event event{};
            std::memcpy(&event, at, sizeof event);
            watches_->take(event, at + sizeof(inotify_event), notices);
            at += sizeof(inotify_event) + event.len;
        }
    }
    return notices;
}

}  // namespace brimlet
