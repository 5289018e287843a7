#include "quota/ChildProcess.h"
#include "quota/Credential.h"
#include "quota/CredentialStore.h"

namespace brimlet {

// "-w" prints only the item's secret, followed by a line end.
std::optional<QByteArray> readStoredCredential() {
    return runForOutput(QStringLiteral("/usr/bin/security"),
                        {QStringLiteral("find-generic-password"), QStringLiteral("-s"),
                         QStringLiteral("Claude Code-credentials"), QStringLiteral("-w")},
                        maxCredentialBytes);
}

}  // namespace brimlet
