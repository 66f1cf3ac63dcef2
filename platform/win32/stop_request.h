// The stop request of process.cpp, made from elsewhere in the Windows layer.
#pragma once

namespace zentrada::platform {

// As Ctrl+C does: WaitForStopRequest returns true. Needs BlockStopRequests.
void RequestStopFromOutside();
// TakeReloadRequest then returns true.
void RequestReloadFromOutside();

}  // namespace zentrada::platform
