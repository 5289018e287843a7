#include "login/AgentFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

#include "base/FileWrite.h"

namespace brimlet {
namespace {

std::filesystem::path nativePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString describe(const QString& path, const std::error_code& error) {
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(error.message().c_str());
}

}  // namespace

AgentFile::AgentFile(QString path, ContentBuilder content, std::function<QString()> executable)
    : path_(std::move(path)), content_(std::move(content)), executable_(std::move(executable)) {}

bool AgentFile::isEnabled() const {
    std::error_code error;
    // Anything at the path means on, a directory too; a link counts by what it leads to, as the
    // session reading the entry follows it, so a link to nowhere starts nothing and is off.
    return std::filesystem::status(nativePath(path_), error).type() !=
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
    // Writing through a link to nowhere would create its target, wherever that is: the link goes
    // and a plain file takes its place. A link to an existing file stays: that file is replaced.
    // Replaced whole, never rewritten in place: a write that fails part-way must not leave an
    // empty entry behind, which would count as on.
    const QFileInfo entry(path_);
    QString target = path_;
    if (entry.isSymLink() && isEnabled()) {
        target = entry.canonicalFilePath();
    } else if (entry.isSymLink()) {
        std::filesystem::remove(nativePath(path_), error);
    }
    return writeFileReplacing(target, content.bytes);
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
