#include "app/EmbeddedInfoPlist.h"
#include "app/InfoDictionary.h"
#include "app/PropertyList.h"

namespace brimlet {

std::optional<QVariantMap> mainInfoDictionary() {
    return plist::readDictionary(embeddedInfoPlist());
}

}  // namespace brimlet
