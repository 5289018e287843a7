#include "login/LaunchAgent.h"

#include <QVariantList>
#include <QVariantMap>

#include "base/PropertyList.h"

namespace brimlet {

QString launchAgentPath(const QString& home) {
    return home + QStringLiteral("/Library/LaunchAgents/") + agentLabel + QStringLiteral(".plist");
}

AgentContent launchAgentContent(const QString& executable) {
    const QVariantMap agent{
        {QStringLiteral("Label"), agentLabel},
        {QStringLiteral("ProgramArguments"), QVariantList{executable}},
        {QStringLiteral("RunAtLoad"), true},
    };
    plist::Serialised serialised = plist::serialise(agent);
    return {std::move(serialised.document), std::move(serialised.error)};
}

}  // namespace brimlet
