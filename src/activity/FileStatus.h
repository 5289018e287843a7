#pragma once

#include <QtGlobal>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace brimlet {

// Which file or folder a path leads to: the same path may come to lead elsewhere (a file renamed
// over it, a folder made anew). The file system hands a freed inode number to the next file made,
// often at once, so the birth time is part of it where the platform tells it (0 where not).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    qint64 bornNsecs = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& identity) const {
        return std::hash<std::uint64_t>()(identity.inode ^ (identity.device << 40U) ^
                                          static_cast<std::uint64_t>(identity.bornNsecs));
    }
};

struct FileStatus {
    FileIdentity identity;
    std::uint64_t size = 0;
    qint64 modifiedMsecs = 0;  // since the Unix epoch, rounded down to the millisecond
};

// What the platform tells of a file, symbolic links followed.
struct NodeStatus {
    bool isFolder = false;
    bool isRegularFile = false;
    FileStatus file;
};

// One implementation per platform: of the file at `path`, or of the open `descriptor` when `path`
// is null. Nothing when it can't be queried.
[[nodiscard]] std::optional<NodeStatus> nodeStatus(int descriptor, const char* path);

// Size, modification time and identity of the regular file at `path` or open as `descriptor`;
// nothing when it can't be queried or is not a regular file (a folder has no size worth reading).
[[nodiscard]] std::optional<FileStatus> regularFileStatus(const std::string& path);
[[nodiscard]] std::optional<FileStatus> openFileStatus(int descriptor);

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

}  // namespace brimlet
