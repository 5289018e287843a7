#include <sys/stat.h>

#include "activity/FileStatus.h"

namespace brimlet {

std::optional<NodeStatus> nodeStatus(int descriptor, const char* path) {
    struct stat status {};
    if ((path == nullptr ? ::fstat(descriptor, &status) : ::stat(path, &status)) != 0) {
        return std::nullopt;
    }
    const FileIdentity identity{
        static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
        qint64(status.st_birthtimespec.tv_sec) * 1000000000 + status.st_birthtimespec.tv_nsec};
    return NodeStatus{S_ISDIR(status.st_mode), S_ISREG(status.st_mode),
                      FileStatus{identity, static_cast<std::uint64_t>(status.st_size),
                                 qint64(status.st_mtimespec.tv_sec) * 1000 +
                                     status.st_mtimespec.tv_nsec / 1000000}};
}

}  // namespace brimlet
