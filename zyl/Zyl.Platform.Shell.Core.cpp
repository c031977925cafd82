#include "Zyl.Platform.Shell.Core.h"

#include <algorithm>
#include <array>

namespace Zyl {

namespace {

struct TKeyEntry {
    uint8_t VirtualKey;
    uint16_t Code;
};

constexpr TKeyEntry kKeyTable[] = {
    {0x08, 0xFF08}, {0x09, 0xFF09}, {0x0D, 0xFF0D}, {0x10, 0xFFE1}, {0x11, 0xFFE3}, {0x12, 0xFFE9},
    {0x1B, 0xFF1B}, {0x20, 0x20},   {0x21, 0xFF55}, {0x22, 0xFF56}, {0x23, 0xFF57}, {0x24, 0xFF50},
    {0x25, 0xFF51}, {0x26, 0xFF52}, {0x27, 0xFF53}, {0x28, 0xFF54}, {0x2D, 0xFF63}, {0x2E, 0xFFFF},
    {0xBA, 0x3B},   {0xBB, 0x3D},   {0xBC, 0x2C},   {0xBD, 0x2D},   {0xBE, 0x2E},   {0xBF, 0x2F},
    {0xC0, 0x60},   {0xDB, 0x5B},   {0xDC, 0x5C},   {0xDD, 0x5D},   {0xDE, 0x27},
};

} // namespace

int32_t VirtualKeyToKeyCode(uint32_t virtualKey) {
    if (virtualKey >= 0x41 && virtualKey <= 0x5A) return int32_t(virtualKey | 0x20);
    if (virtualKey >= 0x30 && virtualKey <= 0x39) return int32_t(virtualKey);
    if (virtualKey >= 0x70 && virtualKey <= 0x7B) return int32_t(virtualKey + 0xFF4E);
    for (const TKeyEntry& entry : kKeyTable)
        if (entry.VirtualKey == virtualKey) return entry.Code;
    return 0;
}

uint32_t ShellCursorId(int32_t kind) {
    constexpr std::array<uint32_t, 12> ids = {32512, 32513, 32649, 32514, 32515, 32644,
                                              32645, 32646, 32648, 0,     32642, 32643};
    return kind >= 0 && kind < int32_t(ids.size()) ? ids[size_t(kind)] : 32512;
}

TShellWindowStyle ShellWindowStyleFor(int32_t borderStyle, bool noActivate) {
    TShellWindowStyle result;
    switch (borderStyle) {
    case 0: result.Style = 0x80000000u; break;
    case 1: result.Style = 0xCB0000; break;
    case 3: result.Style = 0xC80000, result.ExStyle = 0x1; break;
    case 4: result.Style = 0xC80000, result.ExStyle = 0x80; break;
    default: result.Style = 0xCF0000; break;
    }
    if (noActivate) result.ExStyle |= 0x8000080;
    return result;
}

uint32_t MessageBoxFlagsFor(int32_t kind, int32_t buttons) {
    uint32_t flags = kind == 1 ? 0x30 : kind == 2 ? 0x20 : kind == 3 ? 0x10 : 0x40;
    if (buttons == 2) flags |= 4;
    else if (buttons == 1) flags |= 1;
    return flags;
}

int32_t MessageBoxAnswerFrom(int32_t systemAnswer) {
    switch (systemAnswer) {
    case 2: return 2;
    case 6: return 3;
    case 7: return 4;
    default: return 1;
    }
}

int32_t FontPointsFromTenths(int32_t tenths) { return int32_t((int64_t(tenths) + 5) / 10); }

int32_t FontStyleFromChoice(int32_t weight, bool italic) { return (weight >= 600 ? 1 : 0) | (italic ? 2 : 0); }

uint32_t ShellWaitTime(const std::vector<TOffscreenTimer>& timers, int64_t clock) {
    uint64_t wait = 100;
    for (const TOffscreenTimer& timer : timers) {
        if (!timer.Active) continue;
        // Unsigned, so that no distance between far apart times overflows.
        const uint64_t remaining = timer.Due > clock ? uint64_t(timer.Due) - uint64_t(clock) : 0;
        wait = std::min(wait, remaining);
    }
    return uint32_t(wait);
}

void RunShellTimers(TOffscreenApp& app, int64_t now) {
    if (now <= app.Clock) return;
    try {
        for (;;) {
            // Found afresh each round and never held across the call: a
            // callback may add timers (moving the table) or remove any.
            size_t next = app.Timers.size();
            for (size_t i = 0; i < app.Timers.size(); ++i) {
                const TOffscreenTimer& t = app.Timers[i];
                if (t.Active && t.Due <= now && (next == app.Timers.size() || t.Due < app.Timers[next].Due))
                    next = i;
            }
            if (next == app.Timers.size()) break;
            TOffscreenTimer& timer = app.Timers[next];
            if (timer.Due > app.Clock) app.Clock = timer.Due;
            timer.Due = app.Clock + timer.Interval;
            const TPlatformTimerCallback callback = timer.Callback;
            if (callback) callback();
        }
        app.Clock = now;
    } catch (const System::Exception& e) {
        app.HandleException(e);
    }
}

} // namespace Zyl
