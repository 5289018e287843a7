#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace brimlet {

// The outside tool's stored credential text (a JSON document), looked up anew at each call, or
// nothing when the store has none or cannot be read. One implementation per platform: the macOS
// Keychain through /usr/bin/security, elsewhere the file the tool keeps in its configuration
// folder.
[[nodiscard]] std::optional<QByteArray> readStoredCredential();

// Where that credential is looked for, as a person would name it (for --debug).
[[nodiscard]] QString credentialLocation();

// The menu's words when no token could be had from the store: they name the store.
[[nodiscard]] QString unreadableCredentialMessage();

}  // namespace brimlet
