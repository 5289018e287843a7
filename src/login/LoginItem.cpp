#include "login/LoginItem.h"

#include "login/LoginMechanism.h"

namespace brimlet {

bool LoginItem::isEnabled() {
    return currentLoginMechanism()->isEnabled();
}

std::optional<QString> LoginItem::set(bool enabled) {
    return currentLoginMechanism()->set(enabled);
}

}  // namespace brimlet
