// The drawing handle shared by every control instance in the process: opened
// by the first construction, closed by the last destruction.
#pragma once
#include "platform/drawdib.h"

namespace korvex {

void acquireDrawHandle();
void releaseDrawHandle();
HDRAWDIB drawHandle();

}  // namespace korvex
