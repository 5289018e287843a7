#include <mach-o/dyld.h>

#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <vector>

#include "app/InfoDictionary.h"
#include "base/PropertyList.h"

namespace brimlet {
namespace {

// The executable sits in Brimlet.app/Contents/MacOS; the dictionary one level up.
QString bundleInfoPath() {
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) != 0) {
        return {};
    }
    const QFileInfo executable(QFile::decodeName(buffer.data()));
    return executable.canonicalPath() + QStringLiteral("/../Info.plist");
}

}  // namespace

std::optional<QVariantMap> mainInfoDictionary() {
    QFile file(bundleInfoPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return plist::readDictionary(file.readAll());
}

}  // namespace brimlet
