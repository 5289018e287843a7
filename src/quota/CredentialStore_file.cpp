#include <QDir>

#include "base/ClaudeFolders.h"
#include "quota/Credential.h"
#include "quota/CredentialStore.h"

namespace brimlet {

// Without a Keychain the outside tool keeps the same JSON in this file (mode 0600) in its
// configuration folder. The folder is looked up at each call, like the token itself.
QString credentialLocation() {
    return claudeConfigFolder(QProcessEnvironment::systemEnvironment(), QDir::homePath()) +
           QStringLiteral("/.credentials.json");
}

std::optional<QByteArray> readStoredCredential() {
    return readCredentialFile(credentialLocation());
}

QString unreadableCredentialMessage() {
    return QStringLiteral("자격 증명 파일에서 토큰을 못 읽음");
}

}  // namespace brimlet
