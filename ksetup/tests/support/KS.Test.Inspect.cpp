#include "KS.Test.Inspect.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "System.Remainder.Os.h"

using System::FromWStr;
using System::WStr;

namespace KS::TestSupport {

namespace {

HKEY RootKey(int32_t root) {
    return reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u + static_cast<uint32_t>(root)));
}

// An open key, closed when it goes; Key is null when it could not be opened.
struct TKey {
    HKEY Key = nullptr;
    TKey(int32_t root, const std::u16string& key, bool view32) {
        if (RegOpenKeyExW(RootKey(root), WStr(key), 0, KEY_READ | (view32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY),
                          &Key) != ERROR_SUCCESS)
            Key = nullptr;
    }
    ~TKey() {
        if (Key) RegCloseKey(Key);
    }
    TKey(const TKey&) = delete;
    TKey& operator=(const TKey&) = delete;
};

} // namespace

bool LoadLink(const std::u16string& path, TLinkContents& link) {
    IShellLinkW* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink))))
        return false;
    IPersistFile* file = nullptr;
    bool loaded = SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                  SUCCEEDED(file->Load(WStr(path), STGM_READ));
    if (loaded) {
        wchar_t text[1024];
        shellLink->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
        link.Target = FromWStr(text);
        shellLink->GetArguments(text, 1024);
        link.Arguments = FromWStr(text);
        shellLink->GetWorkingDirectory(text, 1024);
        link.Folder = FromWStr(text);
        shellLink->GetIconLocation(text, 1024, &link.IconIndex);
        link.IconFile = FromWStr(text);
        shellLink->GetDescription(text, 1024);
        link.Description = FromWStr(text);
        shellLink->GetShowCmd(&link.ShowCommand);
    }
    if (file) file->Release();
    shellLink->Release();
    return loaded;
}

bool RegKeyPresent(int32_t root, const std::u16string& key, bool view32) {
    return TKey(root, key, view32).Key != nullptr;
}

int64_t RegValueKind(int32_t root, const std::u16string& key, const std::u16string& name, bool view32) {
    TKey opened(root, key, view32);
    DWORD type = 0;
    if (!opened.Key || RegQueryValueExW(opened.Key, WStr(name), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
        return -1;
    return type;
}

int64_t RegDwordValue(int32_t root, const std::u16string& key, const std::u16string& name, bool view32) {
    TKey opened(root, key, view32);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!opened.Key ||
        RegQueryValueExW(opened.Key, WStr(name), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return -1;
    return value;
}

std::vector<std::u16string> RegValueNames(int32_t root, const std::u16string& key, bool view32) {
    std::vector<std::u16string> names;
    TKey opened(root, key, view32);
    if (!opened.Key) return names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumValueW(opened.Key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(FromWStr(name));
    }
    return names;
}

} // namespace KS::TestSupport
