#include <windows.h>
#include <shlobj.h>

#include "KS.Wizard.h"
#include "System.Remainder.Os.h"

namespace KS {

namespace {

// The picker's item list, freed however the picker's use ends.
struct TItemList {
    LPITEMIDLIST Items = nullptr;
    ~TItemList() {
        static System::TLazyProc<decltype(&::CoTaskMemFree)> pCoTaskMemFree(u"ole32.dll", "CoTaskMemFree");
        if (Items) pCoTaskMemFree()(Items);
    }
};

} // namespace

bool BrowseForFolder(std::u16string& path) {
    static System::TLazyProc<decltype(&::CoInitialize)> pCoInitialize(u"ole32.dll", "CoInitialize");
    static System::TLazyProc<decltype(&::SHBrowseForFolderW)> pSHBrowseForFolderW(u"shell32.dll",
                                                                                 "SHBrowseForFolderW");
    static System::TLazyProc<decltype(&::SHGetPathFromIDListW)> pSHGetPathFromIDListW(u"shell32.dll",
                                                                                     "SHGetPathFromIDListW");
    path.clear();
    (void)pCoInitialize()(nullptr);
    wchar_t displayName[1024] = {0};
    wchar_t chosen[1024] = {0};
    BROWSEINFOW info{};
    info.pszDisplayName = displayName;
    info.lpszTitle = L"Escolha a pasta de instalação";
    info.ulFlags = 0x51;
    TItemList items{pSHBrowseForFolderW()(&info)};
    if (!items.Items) return false;
    if (!pSHGetPathFromIDListW()(items.Items, chosen)) return false;
    path = System::FromWStr(chosen);
    return !path.empty();
}

} // namespace KS
