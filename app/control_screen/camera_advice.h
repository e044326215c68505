// What to do about a unit's camera, on its pane: when a capture fails for a
// cause the operator can mend (a USB bus without bandwidth for one more
// webcam), the platform's Japanese advice is laid over the pane's picture
// box and set as the status text's tool tip; the next capture that succeeds
// takes it away. The status text itself stays the station's "取込エラー発生".
// UI thread only.
#pragma once

namespace selvane {
namespace screens {
class UnitPane;
}

// After unit k's capture: `failed` shows the advice about camera k, if the
// platform has one; otherwise any advice shown is taken away.
void showCameraAdvice(screens::UnitPane* pane, int k, bool failed);

}  // namespace selvane
