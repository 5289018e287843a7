#include "login/AgentFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace brimlet {
namespace {

std::filesystem::path nativePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString describe(const QString& path, const std::error_code& error) {
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(error.message().c_str());
}

// Creates or replaces the file in place: an existing file keeps its identity (no atomic rename).
std::optional<QString> writeInPlace(const QString& path, const QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return describe(path, std::error_code(errno, std::generic_category()));
    }
    const char* data = bytes.constData();
    auto left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const std::error_code error(written < 0 ? errno : EIO, std::generic_category());
            ::close(fd);
            return describe(path, error);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::close(fd) != 0) {
        return describe(path, std::error_code(errno, std::generic_category()));
    }
    return std::nullopt;
}

}  // namespace

AgentFile::AgentFile(QString path, ContentBuilder content, std::function<QString()> executable)
    : path_(std::move(path)), content_(std::move(content)), executable_(std::move(executable)) {}

bool AgentFile::isEnabled() const {
    std::error_code error;
    // A dangling link or a directory counts as well: anything at the path means on.
    return std::filesystem::symlink_status(nativePath(path_), error).type() !=
               std::filesystem::file_type::not_found &&
           !error;
}

std::optional<QString> AgentFile::set(bool enabled) const {
    return enabled ? enable() : disable();
}

std::optional<QString> AgentFile::enable() const {
    const AgentContent content = content_(executable_());
    const QString folder = QFileInfo(path_).path();
    std::error_code error;
    std::filesystem::create_directories(nativePath(folder), error);
    if (error) {
        return describe(folder, error);
    }
    if (content.error) {
        return content.error;
    }
    return writeInPlace(path_, content.bytes);
}

std::optional<QString> AgentFile::disable() const {
    if (!isEnabled()) {
        return std::nullopt;  // nothing there: success without touching the disk
    }
    std::error_code error;
    // Not recursive: a folder that holds files at this path is reported, never emptied.
    std::filesystem::remove(nativePath(path_), error);
    if (error) {
        return describe(path_, error);
    }
    return std::nullopt;
}

QString runningExecutablePath() {
    return QCoreApplication::applicationFilePath();
}

}  // namespace brimlet
