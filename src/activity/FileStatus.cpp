#include "activity/FileStatus.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

namespace brimlet {

std::optional<FileIdentity> folderIdentity(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino)};
}

std::optional<FileStatus> regularFileStatus(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return FileStatus{static_cast<std::uint64_t>(status.st_size), modificationMsecs(status)};
}

namespace {

FolderEntry::Kind kindOf(const dirent& entry) {
    switch (entry.d_type) {
        case DT_DIR:
            return FolderEntry::Kind::Folder;
        case DT_REG:
            return FolderEntry::Kind::File;
        default:
            return FolderEntry::Kind::Other;
    }
}

}  // namespace

std::optional<std::vector<FolderEntry>> folderEntries(const std::string& path) {
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(path.c_str()), &::closedir);
    if (!folder) {
        return std::nullopt;
    }
    std::vector<FolderEntry> entries;
    while (const dirent* entry = ::readdir(folder.get())) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") {
            entries.push_back(FolderEntry{std::string(name), kindOf(*entry)});
        }
    }
    return entries;
}

}  // namespace brimlet
