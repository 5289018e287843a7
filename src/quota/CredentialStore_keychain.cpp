#include "quota/ChildProcess.h"
#include "quota/Credential.h"
#include "quota/CredentialStore.h"

namespace brimlet {
namespace {

const QString kServiceName = QStringLiteral("Claude Code-credentials");

}  // namespace

// "-w" prints only the item's secret, followed by a line end.
std::optional<QByteArray> readStoredCredential() {
    return runForOutput(QStringLiteral("/usr/bin/security"),
                        {QStringLiteral("find-generic-password"), QStringLiteral("-s"),
                         kServiceName, QStringLiteral("-w")},
                        maxCredentialBytes);
}

QString credentialLocation() {
    return QStringLiteral("Keychain \"") + kServiceName + u'"';
}

QString unreadableCredentialMessage() {
    return QStringLiteral("키체인에서 토큰을 못 읽음");
}

}  // namespace brimlet
