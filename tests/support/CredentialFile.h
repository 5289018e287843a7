#pragma once

#include <QByteArray>
#include <QString>

namespace brimlet::test {

// The outside tool's credential JSON holding this access token, which must need no JSON escape.
[[nodiscard]] QByteArray credentialJson(const QString& accessToken);

// Writes content to .credentials.json in the outside tool's configuration folder (made when
// missing) with mode 0600, as the tool does; false when it could not be written.
[[nodiscard]] bool writeCredentialFile(const QString& configFolder, const QByteArray& content);

}  // namespace brimlet::test
