#pragma once

#include <QByteArray>
#include <QString>

namespace brimlet::test {

// The outside tool's credential JSON holding this access token, which must need no JSON escape.
[[nodiscard]] QByteArray credentialJson(const QString& accessToken);

// Writes content to <home>/.claude/.credentials.json with mode 0600, as the outside tool does;
// false when it could not be written.
[[nodiscard]] bool writeCredentialFile(const QString& home, const QByteArray& content);

}  // namespace brimlet::test
