#include "quota/Credential.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QJsonObject>
#include <algorithm>

#include "base/StrictJson.h"

namespace brimlet {
namespace {

// HTTP field values may hold blanks and tabs but no other control character; a line end inside
// the token would let the credential file inject headers into the request.
[[nodiscard]] bool fitsInHeader(const QString& token) {
    return std::none_of(token.cbegin(), token.cend(), [](QChar c) {
        return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7f;
    });
}

}  // namespace

std::optional<QString> accessTokenFrom(const QByteArray& secretText) {
    // White space around the value, such as the tool's trailing line end, is allowed; "tok\q" is
    // not a token but a credential that is not JSON.
    const std::optional<QJsonObject> document = json::strictObject(secretText);
    if (!document) {
        return std::nullopt;
    }
    const QJsonValue oauth = document->value(QLatin1String("claudeAiOauth"));
    const QJsonValue token = oauth.toObject().value(QLatin1String("accessToken"));
    if (!oauth.isObject() || !token.isString()) {
        return std::nullopt;
    }
    const QString text = token.toString();
    if (text.isEmpty() || !fitsInHeader(text)) {
        return std::nullopt;
    }
    return text;
}

std::optional<QByteArray> readCredentialFile(const QString& path) {
    // Opened without blocking, then judged by what was opened: a FIFO put in the file's place
    // would hold a blocking open() until someone wrote to it, and a check of the path before the
    // open can be outrun by such a swap. A FIFO or a device never ends; only a plain file can be
    // the credential.
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    QFile file;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
        !file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return std::nullopt;
    }
    // One byte past the limit tells an oversized file from one of exactly the limit.
    QByteArray content;
    while (content.size() <= maxCredentialBytes) {
        const QByteArray chunk = file.read(maxCredentialBytes + 1 - content.size());
        if (chunk.isEmpty()) {
            break;
        }
        content += chunk;
    }
    if (file.error() != QFileDevice::NoError || content.size() > maxCredentialBytes) {
        return std::nullopt;
    }
    return content;
}

}  // namespace brimlet
