#pragma once

#include <QDir>
#include <QFile>
#include <QString>

namespace brimlet::test {

// Writes the outside tool's credential holding this access token, which must need no JSON escape,
// to .credentials.json in its configuration folder (made when missing) with mode 0600, as the tool
// does; false when it could not be written.
[[nodiscard]] inline bool writeCredential(const QString& configFolder, const QString& accessToken) {
    const QByteArray content =
        R"({"claudeAiOauth": {"accessToken": ")" + accessToken.toUtf8() +
        R"(", "refreshToken": "refresh-not-used", "expiresAt": 1775890800000}})";
    QFile file(configFolder + QStringLiteral("/.credentials.json"));
    return QDir().mkpath(configFolder) && file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
           file.write(content) == content.size();
}

}  // namespace brimlet::test
