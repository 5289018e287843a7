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

// Names of the entries of the folder at `path`, hidden ones included, "." and ".." left out;
// nothing when it can't be listed (missing, unreadable, or not a folder).
[[nodiscard]] std::optional<std::vector<std::string>> folderEntryNames(const std::string& path);

// The platforms name the nanosecond modification time differently; one file per platform.
[[nodiscard]] qint64 modificationMsecs(const struct stat& status);

}  // namespace brimlet
