#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

#include <QDir>

#include "login/AgentFile.h"
#include "login/LaunchAgent.h"
#include "login/LoginMechanism.h"

namespace brimlet {
namespace {

// macOS 13 and later: the system's login-item registration of this application.
class API_AVAILABLE(macos(13.0)) LoginService final : public LoginMechanism {
   public:
    bool isEnabled() const override {
        return [SMAppService mainAppService].status == SMAppServiceStatusEnabled;
    }

    std::optional<QString> set(bool enabled) const override {
        SMAppService* service = [SMAppService mainAppService];
        NSError* error = nil;
        const BOOL done = enabled ? [service registerAndReturnError:&error]
                                  : [service unregisterAndReturnError:&error];
        if (done) {
            return std::nullopt;
        }
        return QString::fromNSString(error.localizedDescription);
    }
};

}  // namespace

std::unique_ptr<LoginMechanism> currentLoginMechanism() {
    if (@available(macOS 13.0, *)) {
        return std::make_unique<LoginService>();
    }
    return std::make_unique<AgentFile>(launchAgentPath(QDir::homePath()), launchAgentContent,
                                       runningExecutablePath);
}

}  // namespace brimlet
