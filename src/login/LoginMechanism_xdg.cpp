#include <QDir>
#include <QProcessEnvironment>

#include "login/AgentFile.h"
#include "login/LoginMechanism.h"
#include "login/XdgAutostart.h"

namespace brimlet {

// Desktops that follow the XDG autostart convention start every entry in the autostart folder.
std::unique_ptr<LoginMechanism> currentLoginMechanism() {
    return std::make_unique<AgentFile>(
        autostartEntryPath(QProcessEnvironment::systemEnvironment(), QDir::homePath()),
        autostartEntryContent, runningExecutablePath);
}

}  // namespace brimlet
