#include "support/CredentialFile.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace brimlet::test {

QByteArray credentialJson(const QString& accessToken) {
    const QJsonObject oauth{{QStringLiteral("accessToken"), accessToken},
                            {QStringLiteral("refreshToken"), QStringLiteral("refresh-not-used")},
                            {QStringLiteral("expiresAt"), 1775890800000.0}};
    return QJsonDocument(QJsonObject{{QStringLiteral("claudeAiOauth"), oauth}}).toJson();
}

bool writeCredentialFile(const QString& home, const QByteArray& content) {
    if (!QDir(home).mkpath(QStringLiteral(".claude"))) {
        return false;
    }
    QFile file(home + QStringLiteral("/.claude/.credentials.json"));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
           file.write(content) == content.size();
}

}  // namespace brimlet::test
