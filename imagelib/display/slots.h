// Display slots: windows registered under the numbers 0..6 that show their
// slot's picture and redraw it after every system repaint.
#pragma once
#include "bitmap/library.h"

namespace plenkit {

// Frees every slot as BitDispWindReset does (library unload).
void resetAllSlots(Library& library);

}  // namespace plenkit
