#include "activity/FileStatus.h"

#include <dirent.h>

#include <memory>

namespace brimlet {
namespace {

std::optional<FileStatus> regularFile(const std::optional<NodeStatus>& status) {
    if (!status || !status->isRegularFile) {
        return std::nullopt;
    }
    return status->file;
}

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

std::optional<FileIdentity> folderIdentity(const std::string& path) {
    const std::optional<NodeStatus> status = nodeStatus(-1, path.c_str());
    if (!status || !status->isFolder) {
        return std::nullopt;
    }
    return status->file.identity;
}

std::optional<FileStatus> regularFileStatus(const std::string& path) {
    return regularFile(nodeStatus(-1, path.c_str()));
}

std::optional<FileStatus> openFileStatus(int descriptor) {
    return regularFile(nodeStatus(descriptor, nullptr));
}

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
