#pragma once

#include <QtGlobal>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct stat;

namespace brimlet {

struct FileStatus {
    std::uint64_t size = 0;
    qint64 modifiedMsecs = 0;  // since the Unix epoch, rounded down to the millisecond
};

// Size and modification time of the regular file at `path`, symbolic links followed; nothing when
// it can't be queried or is not a regular file (a folder has no size worth reading).
[[nodiscard]] std::optional<FileStatus> regularFileStatus(const std::string& path);

// Which folder a path leads to: the same path may come to lead elsewhere.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

[[nodiscard]] std::optional<FileIdentity> folderIdentity(const std::string& path);

struct FolderEntry {
    enum class Kind { Folder, File, Other };  // Other: symbolic links, and kinds not told
    std::string name;
    Kind kind = Kind::Other;
};

// The entries of the folder at `path`, hidden ones included, "." and ".." left out, with their
// kind as the listing tells it; nothing when it can't be listed (missing, unreadable, or not a
// folder).
[[nodiscard]] std::optional<std::vector<FolderEntry>> folderEntries(const std::string& path);

// The platforms name the nanosecond modification time differently; one file per platform.
[[nodiscard]] qint64 modificationMsecs(const struct stat& status);

}  // namespace brimlet
