// One loaded child catalogue: where its files go, where they come from and
// what they must be. Built by TOnlineProvider::LoadCatalogs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "KS.Sys.Text.h"
#include "System.Remainder.Object.h"

namespace KS {

struct CatalogFileRecord {
    std::u16string Name;   // relative to the catalogue's folder; "/" or "\" separate folders
    std::u16string Hash;   // digest text of the installed file
    std::u16string ZHash;  // digest text of its compressed download
    int64_t Size = 0;
    int64_t ZSize = 0;
};

class TCatalog : public System::TObject {
public:
    std::u16string Name;     // the descriptor name up to its first "."
    std::u16string OutRoot;  // "outpath" with environment references expanded
    TStringArray Sources;    // URL templates of the catalogue's own files
    std::vector<CatalogFileRecord> Files;
};

// Names that a catalogue gives to cache files must name a file inside the
// cache folder and nothing else: not empty, no folder separator, no ":",
// no "..", no control character.
bool IsPlainFileName(std::u16string_view name);

} // namespace KS
