#pragma once

#include "shell/host_options.h"

namespace zentrada::shell {

// Runs the agent worker with the settings file and `options` until a stop
// request (SIGINT, SIGTERM) has been carried out or the worker could not
// start. Returns the process exit status.
int RunAgent(const HostOptions& options);

}  // namespace zentrada::shell
