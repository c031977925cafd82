// The soft backend's PNG files, in a folder named after this test.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Streams.h"
#include "Zyl.Platform.Soft.h"
#include "Zyl.Test.Image.h"

using namespace Zyl;
using System::MakeRef;

namespace {

class SoftFiles : public testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() / ("zyl_soft_files_test_" + std::to_string(GetCurrentProcessId()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::u16string Path(const char* name) const {
        const std::wstring w = (folder_ / name).wstring();
        return std::u16string(w.begin(), w.end());
    }
    void Write(const char* name, const System::TBytes& bytes, int64_t size = -1) {
        System::TFileStream stream(Path(name), 0xFF00);
        if (!bytes.empty()) stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
        if (size >= 0) stream.SetSize(size);
    }

    std::filesystem::path folder_;
    TSoftServices services_;
};

} // namespace

TEST_F(SoftFiles, SaveAndLoadGiveTheSamePixels) {
    auto s = services_.CreateSurface(9, 4, false);
    Testing::FillSurface(*s, Testing::RandomPixels(9, 4, false, 7));
    ASSERT_TRUE(s->SaveToPng(Path("round.png")));
    auto back = services_.LoadPngFile(Path("round.png"));
    ASSERT_TRUE(back);
    EXPECT_NE(dynamic_cast<TSoftSurface*>(back.Get()), nullptr);
    EXPECT_EQ(Testing::SurfaceBytes(*back), Testing::SurfaceBytes(*s));
}

TEST_F(SoftFiles, WhatIsNotAReadablePngGivesNil) {
    Write("seven.png", System::TBytes(7, 0x89));
    Write("eight.png", System::TBytes(8, 0x89));
    EXPECT_FALSE(services_.LoadPngFile(Path("")));
    EXPECT_FALSE(services_.LoadPngFile(Path("missing.png")));
    EXPECT_FALSE(services_.LoadPngFile(Path("seven.png")));
    EXPECT_FALSE(services_.LoadPngFile(Path("eight.png")));
    EXPECT_THROW(services_.CreateSurface(2, 2, false)->SaveToPng(Path("no-such-folder\\a.png")), System::EFCreateError);
}

// The decoder takes an int32 size: a file above 2 GiB was read whole and its
// size wrapped on the way in. A sparse file keeps this test small.
TEST_F(SoftFiles, FileAboveInt32MaxIsNotRead) {
    auto s = services_.CreateSurface(2, 2, false);
    ASSERT_TRUE(s->SaveToPng(Path("small.png")));
    System::TBytes png;
    {
        System::TFileStream in(Path("small.png"), 0);
        png.resize(size_t(in.GetSize()));
        in.ReadBuffer(png.data(), int64_t(png.size()));
    }
    Write("huge.png", png, int64_t(INT32_MAX) + 1);
    EXPECT_FALSE(services_.LoadPngFile(Path("huge.png")));
}
