// The stop request of process.cpp, made from elsewhere in the Windows layer.
#pragma once

namespace zentrada::platform {

// As Ctrl+C does: WaitForStopRequest returns true. Needs BlockStopRequests.
void RequestStopFromOutside();

}  // namespace zentrada::platform
