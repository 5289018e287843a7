#include "app/EmbeddedInfoPlist.h"
#include "app/InfoDictionary.h"
#include "base/PropertyList.h"

namespace brimlet {

std::optional<QVariantMap> mainInfoDictionary() {
    return plist::readDictionary(embeddedInfoPlist());
}

}  // namespace brimlet
