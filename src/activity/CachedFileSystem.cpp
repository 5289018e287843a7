#include "activity/CachedFileSystem.h"

#include "activity/ChangeWatch.h"

namespace brimlet {
namespace {

// A path as the folder it lies in and its name there; paths here are built as folder + '/' + name.
std::pair<std::string, std::string> splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {std::string(), path};
    }
    return {path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

CachedFileSystem::CachedFileSystem(std::string root, bool useChangeNotices)
    : root_(std::move(root)), useChangeNotices_(useChangeNotices) {
    restartWatching();
}

CachedFileSystem::~CachedFileSystem() = default;

void CachedFileSystem::restartWatching() {
    folders_.clear();
    watch_ = useChangeNotices_ ? std::make_unique<ChangeWatch>() : nullptr;
}

bool CachedFileSystem::refresh() {
    if (!watch_) {
        return false;
    }
    const std::optional<FileIdentity> rootIdentity = folderIdentity(root_);
    if (rootIdentity != rootIdentity_) {
        restartWatching();  // root is gone or is another folder now: old notices say nothing
        rootIdentity_ = rootIdentity;
        return true;
    }
    if (!rootIdentity) {
        return false;  // still missing, as most users' second folder is: nothing to sweep for
    }
    const ChangeWatch::Notices notices = watch_->collect();
    if (notices.lost) {
        folders_.clear();
        return true;
    }
    for (const std::string& folder : notices.changedListings) {
        folders_.erase(folder);
    }
    for (const std::string& folder : notices.endedFolders) {
        folders_.erase(folder);
    }
    for (const std::string& path : notices.changedEntries) {
        forget(path);
    }
    return !notices.changedListings.empty() || !notices.endedFolders.empty();
}

void CachedFileSystem::forget(const std::string& path) {
    const auto [folderPath, name] = splitPath(path);
    const auto folder = folders_.find(folderPath);
    if (folder != folders_.end()) {
        if (const auto file = folder->second.files.find(name); file != folder->second.files.end()) {
            file->second.reset();
        }
    }
}

std::optional<std::vector<FolderEntry>> CachedFileSystem::entries(const std::string& folder,
                                                                  bool mayKeep) {
    if (const auto kept = folders_.find(folder); kept != folders_.end()) {
        return kept->second.entries;
    }
    // Watched before listing, so that no change after the listing goes unnoticed.
    const bool watched = mayKeep && rootIdentity_ && watch_ && watch_->watch(folder);
    std::optional<std::vector<FolderEntry>> listed = folderEntries(folder);
    if (watched && listed) {
        Folder& kept = folders_[folder];
        kept.entries = *listed;
        for (const FolderEntry& entry : kept.entries) {
            if (entry.kind == FolderEntry::Kind::File) {
                kept.files.emplace(entry.name, std::nullopt);
            }
        }
    }
    return listed;
}

std::optional<FileStatus> CachedFileSystem::status(const std::string& path) {
    const auto [folderPath, name] = splitPath(path);
    const auto folder = folders_.find(folderPath);
    if (folder == folders_.end()) {
        return regularFileStatus(path);
    }
    const auto file = folder->second.files.find(name);
    if (file == folder->second.files.end()) {
        return regularFileStatus(path);
    }
    if (!file->second) {
        file->second = regularFileStatus(path);
    }
    return file->second;
}

}  // namespace brimlet
