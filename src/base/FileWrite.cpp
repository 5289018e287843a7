#include "base/FileWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
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

}  // namespace brimlet
