#pragma once

#include <memory>
#include <string>
#include <vector>

namespace brimlet {

// Notices from the file system about changes in watched folders, so that the monitor need not ask
// about every file on every tick. Where the platform gives no such notices, no folder can be
// watched and every answer comes from the file system. Worker only.
class ChangeWatch {
  public:
    struct Notices {
        bool lost = false;                         // notices were dropped: trust nothing kept
        std::vector<std::string> changedEntries;   // folder + '/' + name: content or attributes
        std::vector<std::string> changedListings;  // folders with entries added, removed, renamed
        std::vector<std::string> endedFolders;     // folders no longer watched (gone or moved)
    };

    ChangeWatch();
    ~ChangeWatch();
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    // Starts (or goes on) watching `folder`; false when it can't be watched. Changes are noticed
    // from this call on, so watch a folder before listing it.
    bool watch(const std::string& folder);
    // What was noticed since the last call.
    [[nodiscard]] Notices collect();

  private:
    struct Watches;
    std::unique_ptr<Watches> watches_;
};

}  // namespace brimlet
