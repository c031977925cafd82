// Reading back what the installer wrote, through the system's own
// interfaces rather than the installer's services under test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace KS::TestSupport {

// What a saved shortcut holds, read back through the shell's link object.
struct TLinkContents {
    std::u16string Target, Arguments, Folder, IconFile, Description;
    int IconIndex = -1;
    int ShowCommand = -1;
};
// Needs COM initialised on the thread (EnsureComInitialized).
bool LoadLink(const std::u16string& path, TLinkContents& link);

// Registry roots as indices (0 HKCR, 1 HKCU, 2 HKLM, 3 HKU), as the installer has them.
bool RegKeyPresent(int32_t root, const std::u16string& key, bool view32);
// The value's type (REG_SZ ...); -1 when it is missing.
int64_t RegValueKind(int32_t root, const std::u16string& key, const std::u16string& name, bool view32);
// A REG_DWORD value; -1 when it is missing or of another type.
int64_t RegDwordValue(int32_t root, const std::u16string& key, const std::u16string& name, bool view32);
// The key's value names in the registry's own order.
std::vector<std::u16string> RegValueNames(int32_t root, const std::u16string& key, bool view32);

} // namespace KS::TestSupport
