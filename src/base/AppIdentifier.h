#pragma once

#include <QString>

namespace brimlet {

// The program's one reverse-domain name: the tray item's Id, the session bus name that keeps one
// copy running, and the name of the launch-at-login files.
inline const QString appIdentifier = QStringLiteral("com.zorvan.brimlet");

}  // namespace brimlet
