// The colour theme of the drawn widgets: the one process-wide theme, its
// 76-colour palette and the flat copy of that palette the widgets paint from.
// The graphics unit reads the theme's dark flag and its system-colour
// overrides, and appends its routine to the list run when the theme changes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "System.Remainder.Object.h"

namespace Zyl {

constexpr int32_t ThemeColorCount = 76;

class TZylTheme : public System::TObject {
public:
    std::u16string Name;
    bool Dark = false;
    // The palette; -1 where the theme sets no colour and the platform's
    // default applies.
    std::vector<int32_t> Colors = std::vector<int32_t>(ThemeColorCount, 0);
    // Overrides of the library's system-colour table, indexed like it; -1
    // keeps the table's own value.
    std::array<int32_t, 31> SysColors;

    TZylTheme() { SysColors.fill(-1); }
};

using TThemeChangeHook = void (*)(const TZylTheme& theme);

// Filled at start-up, in unit order; nothing walks it yet.
inline std::vector<TThemeChangeHook> ThemeChangeHooks;

// The one theme, nil until first use.
extern System::TRef<TZylTheme> CurrentTheme;
// The palette of CurrentTheme as it was when the theme was made; empty
// before. Painting reads it through ThemeColor.
extern std::vector<int32_t> DrawnThemeColors;

// A new "Light" theme.
System::TRef<TZylTheme> CreateLightTheme();
// Makes the theme and fills DrawnThemeColors when there is no theme yet.
void EnsureTheme();
System::TRef<TZylTheme> GetTheme();
// DrawnThemeColors[index], making the theme first when there is none.
int32_t ThemeColor(int32_t index);

} // namespace Zyl
