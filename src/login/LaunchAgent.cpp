#include "login/LaunchAgent.h"

#include <QVariantList>
#include <QVariantMap>

#include "base/AppIdentifier.h"
#include "base/PropertyList.h"

namespace brimlet {

QString launchAgentPath(const QString& home) {
    return home + QStringLiteral("/Library/LaunchAgents/") + appIdentifier +
           QStringLiteral(".plist");
}

AgentContent launchAgentContent(const QString& executable) {
    const QVariantMap agent{
        {QStringLiteral("Label"), appIdentifier},
        {QStringLiteral("ProgramArguments"), QVariantList{executable}},
        {QStringLiteral("RunAtLoad"), true},
    };
    plist::Serialised serialised = plist::serialise(agent);
    return {std::move(serialised.document), std::move(serialised.error)};
}

}  // namespace brimlet
