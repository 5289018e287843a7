#pragma once

#include <QByteArray>
#include <optional>

namespace brimlet {

// The outside tool's stored credential text (a JSON document), looked up anew at each call, or
// nothing when the store has none or cannot be read. One implementation per platform: the macOS
// Keychain through /usr/bin/security, elsewhere the file the tool keeps in the home folder.
[[nodiscard]] std::optional<QByteArray> readStoredCredential();

}  // namespace brimlet
