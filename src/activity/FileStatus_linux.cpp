#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "activity/FileStatus.h"

namespace brimlet {

// statx, for the birth time that stat does not give.
std::optional<NodeStatus> nodeStatus(int descriptor, const char* path) {
    struct statx status {};
    const int flags = AT_STATX_SYNC_AS_STAT | (path == nullptr ? AT_EMPTY_PATH : 0);
    const unsigned wanted = STATX_TYPE | STATX_INO | STATX_SIZE | STATX_MTIME | STATX_BTIME;
    if (::statx(path == nullptr ? descriptor : AT_FDCWD, path == nullptr ? "" : path, flags, wanted,
                &status) != 0) {
        return std::nullopt;
    }
    const bool hasBirth = (status.stx_mask & STATX_BTIME) != 0;
    const FileIdentity identity{
        makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino,
        hasBirth ? qint64(status.stx_btime.tv_sec) * 1000000000 + status.stx_btime.tv_nsec : 0};
    return NodeStatus{
        S_ISDIR(status.stx_mode), S_ISREG(status.stx_mode),
        FileStatus{identity, status.stx_size,
                   qint64(status.stx_mtime.tv_sec) * 1000 + status.stx_mtime.tv_nsec / 1000000}};
}

}  // namespace brimlet
