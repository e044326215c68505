// Cameras that exist but that this user may not open are not listed at all;
// at start-up the operator is told which ones and how to get them.
#pragma once
#include "platform/wintypes.h"

namespace selvane {

// Shows one message box over `owner` when video device nodes refuse this
// user, and logs the nodes once. Nothing when there are none.
void tellForbiddenCameras(HWND owner);

}  // namespace selvane
