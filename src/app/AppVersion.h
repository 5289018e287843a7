#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

namespace brimlet {

// The version shown at the foot of the menu, read once at start-up; "?" until then.
extern QString appVersion;

// The "CFBundleShortVersionString" entry when the dictionary exists and the entry is text;
// otherwise "?".
[[nodiscard]] QString versionFromInfo(const std::optional<QVariantMap>& info);

}  // namespace brimlet
