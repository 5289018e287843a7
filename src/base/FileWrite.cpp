#include "base/FileWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <utility>

namespace brimlet {
namespace {

QString failure(const QString& path, int error) {
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

// Closes the descriptor when it goes, on every path.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    [[nodiscard]] int get() const { return fd_; }
    // Closes now, so that a failure to close (a full disk on some file systems) is reported.
    [[nodiscard]] bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

  private:
    int fd_;
};

[[nodiscard]] bool writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    auto left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            errno = written < 0 ? errno : EIO;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

std::optional<QString> writeFileInPlace(const QString& path, const QByteArray& bytes) {
    // Without O_NONBLOCK, opening a FIFO that nobody reads would wait forever; the content is
    // truncated only once the file is known to be a regular one.
    Descriptor file(::open(QFile::encodeName(path).constData(),
                           O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644));
    if (file.get() < 0) {
        return failure(path, errno);
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        return failure(path, errno);
    }
    if (!S_ISREG(status.st_mode)) {
        return path + QStringLiteral(": not a regular file");
    }
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        ::ftruncate(file.get(), 0) != 0 || !writeAll(file.get(), bytes) || !file.close()) {
        return failure(path, errno);
    }
    return std::nullopt;
}

// The temporary file is made anew under a name no one can guess (O_EXCL: nothing planted there is
// opened), and its name does not end as the final one does, so that a reader of the folder such as
// the session's autostart never takes it for an entry. QSaveFile would write through a link at
// the path, which someone else may have planted in a shared folder.
std::optional<QString> writeFileReplacing(const QString& path, const QByteArray& bytes) {
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary;
    int descriptor = -1;
    for (int attempt = 0; attempt < 8 && descriptor < 0; ++attempt) {
        temporary = target + '.' +
                    QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".tmp";
        descriptor = ::open(temporary.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (descriptor < 0 && errno != EEXIST) {
            break;
        }
    }
    if (descriptor < 0) {
        return failure(path, errno);
    }
    Descriptor file(descriptor);
    if (!writeAll(file.get(), bytes) || ::fsync(file.get()) != 0 || !file.close() ||
        ::rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return failure(path, error);
    }
    return std::nullopt;
}

}  // namespace brimlet
