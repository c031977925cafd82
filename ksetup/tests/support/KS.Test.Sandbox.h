// A folder and registry keys of the running test's own, named after it, so
// that tests sharing one Wine prefix under "ctest -j" stay apart. Both are
// cleared when made and removed again at the end.
#pragma once

#include <cstdint>
#include <string>

namespace KS::TestSupport {

class TTestFolder {
public:
    TTestFolder();
    ~TTestFolder();
    TTestFolder(const TTestFolder&) = delete;
    TTestFolder& operator=(const TTestFolder&) = delete;

    // The folder, without a trailing backslash.
    const std::u16string& Path() const { return path_; }
    // A path inside it.
    std::u16string operator/(const std::u16string& name) const;

private:
    std::u16string path_;
};

// "Software\KSetupTests\" + the test's name, deleted on both views in HKCU
// and HKLM when made and at the end.
class TTestKey {
public:
    TTestKey();
    ~TTestKey();
    TTestKey(const TTestKey&) = delete;
    TTestKey& operator=(const TTestKey&) = delete;

    const std::u16string& Path() const { return path_; }
    std::u16string operator/(const std::u16string& name) const;

private:
    void DeleteEverywhere() const;
    std::u16string path_;
};

// Whole files as bytes, for checking what was written byte by byte.
std::string ReadBytes(const std::u16string& path);
bool WriteBytes(const std::u16string& path, const std::string& bytes);
bool FileExists(const std::u16string& path);

} // namespace KS::TestSupport
