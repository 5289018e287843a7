#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace brimlet {

// The most credential text read from the secret store: the credential is a few hundred bytes, so
// anything larger is not it and is refused rather than held in memory.
inline constexpr qint64 maxCredentialBytes = qint64{1} << 20;

// The OAuth access token inside the outside tool's credential JSON
// {"claudeAiOauth": {"accessToken": "…"}}, exactly as stored (blanks inside are kept). Nothing
// when the text is not a JSON object, a member is missing or mistyped, the token is empty, or it
// holds a control character that could break the header line it is sent in.
[[nodiscard]] std::optional<QString> accessTokenFrom(const QByteArray& secretText);

// The whole content of a regular file of at most maxCredentialBytes; nothing when the file is
// missing, not a regular file, unreadable or larger.
[[nodiscard]] std::optional<QByteArray> readCredentialFile(const QString& path);

}  // namespace brimlet
