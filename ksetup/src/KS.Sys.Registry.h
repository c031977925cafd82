// The installer's registry services, each on the 32-bit or the 64-bit view
// as its caller asks. None raises on a failed registry call: the status goes
// to LastOsError (KS.Sys.Errors.h).
#pragma once

#include <cstdint>
#include <string>

#include "KS.Sys.Text.h"

namespace KS {

// Roots are indices: 0 HKEY_CLASSES_ROOT, 1 HKEY_CURRENT_USER,
// 2 HKEY_LOCAL_MACHINE, 3 HKEY_USERS. Writes and reads take any other index
// as HKEY_LOCAL_MACHINE; deletions refuse it. view32 picks the 32-bit view,
// otherwise the 64-bit one.

// The index of a root name, short or long, in any case and with blanks
// around ("hkcu", " HKEY_LOCAL_MACHINE"); -1 for any other name.
int32_t RegRootIndex(const std::u16string& rootName);

// Creates the key when needed. An empty value name writes the key's default
// value; the data is stored with its terminating NUL.
bool WriteRegString(int32_t root, const std::u16string& subkey, const std::u16string& valueName,
                    const std::u16string& data, bool expandable, bool view32);
bool WriteRegDword(int32_t root, const std::u16string& subkey, const std::u16string& valueName,
                   uint32_t value, bool view32);

// A REG_SZ or REG_EXPAND_SZ value (the latter unexpanded). Only a key that
// cannot be opened leaves a status in LastOsError.
bool ReadRegString(int32_t root, const std::u16string& subkey, const std::u16string& valueName, bool view32,
                   std::u16string& text);

// Creates the key (and the keys above it) when missing.
bool CreateRegKey(int32_t root, const std::u16string& subkey, bool view32);
// Whether the key can be opened for reading, or the value (of any type)
// read; a failure leaves the registry's status in LastOsError.
bool RegKeyExists(int32_t root, const std::u16string& subkey, bool view32);
bool RegValueExists(int32_t root, const std::u16string& subkey, const std::u16string& valueName, bool view32);

// The names of the key's direct subkeys; none when it cannot be opened.
TStringArray ListRegSubkeys(int32_t root, const std::u16string& subkey, bool view32);

// Best-effort deletions: they report through LastOsError only. An empty key
// path or a root outside 0..3 is refused with ERROR_INVALID_PARAMETER, since
// it would name a whole root. A registry link (REG_LINK) met as the key or
// inside the tree is acted on itself, never followed: what it points to is
// not touched.
void DeleteRegValue(int32_t root, const std::u16string& subkey, const std::u16string& valueName, bool view32);
// The key with all its subkeys, deepest first.
void DeleteRegKeyTree(int32_t root, const std::u16string& subkey, bool view32);
// The key only when it holds neither subkeys nor values (a default value counts).
void DeleteRegKeyIfEmpty(int32_t root, const std::u16string& subkey, bool view32);

} // namespace KS
