#include <sys/stat.h>

#include "activity/FileStatus.h"

namespace brimlet {

qint64 modificationMsecs(const struct stat& status) {
    return qint64(status.st_mtimespec.tv_sec) * 1000 + status.st_mtimespec.tv_nsec / 1000000;
}

}  // namespace brimlet
