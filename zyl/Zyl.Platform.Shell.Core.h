// The parts of the shell backend that need no window system: the key,
// cursor, style, message-box and font mappings, and the timer step and wait
// of its message loop, so that they are tested on the host as well.
#pragma once

#include <cstdint>
#include <vector>

#include "Zyl.Platform.Offscreen.h"

namespace Zyl {

// The platform key code of a Windows virtual key; 0 for a key without one
// (the keypad, F13 and above, the side-specific modifiers...).
int32_t VirtualKeyToKeyCode(uint32_t virtualKey);

// The system cursor id LoadCursorW takes for a cursor kind; 0 for kind 9,
// which hides the cursor.
uint32_t ShellCursorId(int32_t kind);

struct TShellWindowStyle {
    uint32_t Style = 0;
    uint32_t ExStyle = 0;
};

// The native style of a border style; a window that must not activate is
// also a tool window.
TShellWindowStyle ShellWindowStyleFor(int32_t borderStyle, bool noActivate);

// MessageBoxW's flags for a platform message-box kind and button set.
uint32_t MessageBoxFlagsFor(int32_t kind, int32_t buttons);
// The platform answer of MessageBoxW's result (2 cancel, 3 yes, 4 no, else 1).
int32_t MessageBoxAnswerFrom(int32_t systemAnswer);

// Whole points of a font dialog's size in tenths of a point, rounded.
int32_t FontPointsFromTenths(int32_t tenths);
// The platform font style (1 bold, 2 italic) of a chosen weight and italic flag.
int32_t FontStyleFromChoice(int32_t weight, bool italic);

// The loop's wait in milliseconds: the time left to the earliest active
// timer, 100 at most (also with no timer).
uint32_t ShellWaitTime(const std::vector<TOffscreenTimer>& timers, int64_t clock);

// Fires the timers of app due up to now (application milliseconds), the
// earliest first and ties in the order added, each catching up from the due
// time it served. An Exception from a callback goes to the application's
// handler and ends the step with Clock where it got to; anything else is
// raised again.
void RunShellTimers(TOffscreenApp& app, int64_t now);

} // namespace Zyl
