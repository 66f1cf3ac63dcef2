// The console host as the Windows service "Zentrada": installed and removed
// from the command line, run by the service control manager.
#pragma once

#include "shell/host_options.h"

namespace zentrada::shell {

// --install-service [--in DIR] [--out DIR] [--account NAME --password TEXT]
int InstallAgentService(const HostOptions& options);
// --uninstall-service
int UninstallAgentService();
// --service: the agent as the console host runs it, stopped by the manager.
int RunAgentService(const HostOptions& options);

}  // namespace zentrada::shell
