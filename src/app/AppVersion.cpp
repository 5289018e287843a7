#include "app/AppVersion.h"

namespace brimlet {

QString appVersion = QStringLiteral("?");

QString versionFromInfo(const std::optional<QVariantMap>& info) {
    const QString unknown = QStringLiteral("?");
    if (!info) {
        return unknown;
    }
    const auto entry = info->constFind(QStringLiteral("CFBundleShortVersionString"));
    if (entry == info->cend() || entry->typeId() != QMetaType::QString) {
        return unknown;
    }
    return entry->toString();
}

}  // namespace brimlet
