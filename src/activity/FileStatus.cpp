#include "activity/FileStatus.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

namespace brimlet {

std::optional<FileStatus> regularFileStatus(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return FileStatus{static_cast<std::uint64_t>(status.st_size), modificationMsecs(status)};
}

std::optional<std::vector<std::string>> folderEntryNames(const std::string& path) {
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(path.c_str()), &::closedir);
    if (!folder) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(folder.get())) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    return names;
}

}  // namespace brimlet
