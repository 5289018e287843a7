#pragma once

#include <QVariantMap>
#include <optional>

namespace brimlet {

// The application's Info dictionary: on macOS the bundle's Info.plist, elsewhere the one embedded
// at build time. Nothing when it is missing or cannot be read.
[[nodiscard]] std::optional<QVariantMap> mainInfoDictionary();

}  // namespace brimlet
