#include "support/CredentialFile.h"

#include <QDir>
#include <QFile>

namespace brimlet::test {

QByteArray credentialJson(const QString& accessToken) {
    return R"({"claudeAiOauth": {"accessToken": ")" + accessToken.toUtf8() +
           R"(", "refreshToken": "refresh-not-used", "expiresAt": 1775890800000}})";
}

bool writeCredentialFile(const QString& configFolder, const QByteArray& content) {
    if (!QDir().mkpath(configFolder)) {
        return false;
    }
    QFile file(configFolder + QStringLiteral("/.credentials.json"));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
           file.write(content) == content.size();
}

}  // namespace brimlet::test
