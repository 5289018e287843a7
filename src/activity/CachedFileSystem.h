#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "activity/FileStatus.h"

namespace brimlet {

class ChangeWatch;

// Folder listings and file statuses as the monitor asks for them, kept between ticks for as long
// as the file system's change notices vouch that they still hold, so that a tick in which nothing
// changed asks the file system almost nothing. Nothing is kept without notices: on platforms that
// give none, for folders that can't be watched, and for symbolic links, whose targets change
// unnoticed. `root` is checked on every refresh, since the path may come to lead to another
// folder (an ancestor renamed) without a notice. Worker only.
class CachedFileSystem {
  public:
    CachedFileSystem(std::string root, bool useChangeNotices);
    ~CachedFileSystem();
    CachedFileSystem(const CachedFileSystem&) = delete;
    CachedFileSystem& operator=(const CachedFileSystem&) = delete;

    [[nodiscard]] const std::string& root() const { return root_; }

    // Takes in what changed since the last call. Once per tick, before any question. True when a
    // listing may have changed since (an entry added, removed or renamed, root made anew, notices
    // lost); always false without change notices, where nothing is known.
    [[nodiscard]] bool refresh();
    // The entries of `folder`, which must be root or a folder inside it; `mayKeep` for root and
    // for folders listed as plain folders (not symbolic links).
    [[nodiscard]] std::optional<std::vector<FolderEntry>> entries(const std::string& folder,
                                                                  bool mayKeep);
    // As regularFileStatus(path); kept for plain files found in a kept listing.
    [[nodiscard]] std::optional<FileStatus> status(const std::string& path);

  private:
    struct Folder {
        std::vector<FolderEntry> entries;
        std::unordered_map<std::string, std::optional<FileStatus>> files;  // plain files by name
    };

    void forget(const std::string& path);
    void restartWatching();

    const std::string root_;
    const bool useChangeNotices_;
    std::unique_ptr<ChangeWatch> watch_;
    std::optional<FileIdentity> rootIdentity_;
    std::unordered_map<std::string, Folder> folders_;  // watched folders with a listing kept
};

}  // namespace brimlet
