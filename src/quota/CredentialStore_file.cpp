#include <QDir>

#include "quota/Credential.h"
#include "quota/CredentialStore.h"

namespace brimlet {

// Without a Keychain the outside tool keeps the same JSON in this file (mode 0600). The home
// folder is looked up at each call, like the token itself.
std::optional<QByteArray> readStoredCredential() {
    return readCredentialFile(QDir::homePath() + QStringLiteral("/.claude/.credentials.json"));
}

}  // namespace brimlet
