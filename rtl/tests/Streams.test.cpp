#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Streams.h"

using namespace System;

namespace {

// A folder of this test's own under the temporary folder, emptied first.
class StreamsFiles : public testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = FromWStr(temp) + u"rtl_streams_test\\";
        CreateDirectoryW(WStr(folder_), nullptr);
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(WStr(folder_ + u"*"), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do DeleteFileW(WStr(folder_ + FromWStr(found.cFileName)));
            while (FindNextFileW(search, &found));
            FindClose(search);
        }
    }

    std::u16string Path(const char16_t* name) const { return folder_ + name; }

    void WriteFileBytes(const std::u16string& path, const std::string& bytes) const {
        TFileStream f(path, fmCreate);
        f.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    }

    std::string FileBytes(const std::u16string& path) const {
        TFileStream f(path, fmOpenRead | fmShareDenyNone);
        std::string bytes(size_t(f.GetSize()), '\0');
        f.ReadBuffer(bytes.data(), int64_t(bytes.size()));
        return bytes;
    }

    bool Exists(const std::u16string& path) const {
        return GetFileAttributesW(WStr(path)) != INVALID_FILE_ATTRIBUTES;
    }

    std::u16string folder_;
};

// Answers each Read or Write with the next scripted result.
class ScriptedStream : public TStream {
public:
    explicit ScriptedStream(std::deque<int64_t> results) : results_(std::move(results)) {}
    int64_t Read(void*, int64_t) override { return Next(); }
    int64_t Write(const void*, int64_t) override { return Next(); }
    int Calls = 0;

private:
    int64_t Next() {
        ++Calls;
        if (results_.empty()) return 0;
        const int64_t r = results_.front();
        results_.pop_front();
        return r;
    }
    std::deque<int64_t> results_;
};

} // namespace

TEST_F(StreamsFiles, ModeWordDecoding) {
    const struct {
        uint16_t mode;
        bool existing;
        bool fails;
        bool create;
        DWORD lastError;
        const char* contentAfter;  // nullptr: no file afterwards
    } cases[] = {
        {0x0003, false, true, false, ERROR_INVALID_PARAMETER, nullptr},
        {0x0050, true, true, false, ERROR_INVALID_PARAMETER, "old"},
        {0x00F2, true, true, false, ERROR_INVALID_PARAMETER, "old"},
        {0xFF50, false, true, true, ERROR_INVALID_PARAMETER, nullptr},
        {0xFF04, true, true, true, ERROR_FILE_EXISTS, "old"},
        {0xFF04, false, false, true, 0, ""},
        {0xFF00, true, false, true, 0, ""},
        {0xFF40, false, false, true, 0, ""},
        {0x0020, false, true, false, ERROR_FILE_NOT_FOUND, nullptr},
        {0x0020, true, false, false, 0, "old"},
        {0x0042, true, false, false, 0, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << std::hex << c.mode);
        const std::u16string path = Path(u"mode.bin");
        DeleteFileW(WStr(path));
        if (c.existing) WriteFileBytes(path, "old");
        try {
            TFileStream f(path, c.mode);
            EXPECT_FALSE(c.fails);
            EXPECT_EQ(f.FileName(), path);
            EXPECT_NE(f.Handle(), INVALID_HANDLE_VALUE);
        } catch (const EStreamError& e) {
            EXPECT_TRUE(c.fails);
            EXPECT_EQ(GetLastError(), c.lastError);
            if (c.create) {
                EXPECT_TRUE(dynamic_cast<const EFCreateError*>(&e));
                EXPECT_EQ(e.Message, u"não foi possível criar o arquivo");
            } else {
                EXPECT_TRUE(dynamic_cast<const EFOpenError*>(&e));
                EXPECT_EQ(e.Message, u"não foi possível abrir o arquivo");
            }
        }
        EXPECT_EQ(Exists(path), c.contentAfter != nullptr);
        if (c.contentAfter) {
            EXPECT_EQ(FileBytes(path), c.contentAfter);
        }
    }
}

TEST_F(StreamsFiles, AccessAndSharing) {
    const std::u16string path = Path(u"share.bin");
    WriteFileBytes(path, "data");
    const struct { uint16_t first, second; bool secondOpens; } cases[] = {
        {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyWrite, true},
        {fmOpenRead | fmShareDenyWrite, fmOpenWrite | fmShareDenyNone, false},
        {fmOpenRead | fmShareExclusive, fmOpenRead | fmShareDenyNone, false},
        {fmOpenRead, fmOpenRead | fmShareDenyNone, false},
        {fmOpenRead | fmShareDenyRead, fmOpenWrite | fmShareDenyNone, true},
        {fmOpenRead | fmShareDenyRead, fmOpenRead | fmShareDenyNone, false},
        {fmOpenReadWrite | fmShareDenyNone, fmOpenReadWrite | fmShareDenyNone, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.first << " then " << c.second);
        TFileStream first(path, c.first);
        if (c.secondOpens) {
            EXPECT_NO_THROW(TFileStream(path, c.second));
        } else {
            EXPECT_THROW(TFileStream(path, c.second), EFOpenError);
            EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
        }
    }

    TFileStream reader(path, fmOpenRead);
    try {
        reader.Write("x", 1);
        FAIL();
    } catch (const EOsError& e) {
        EXPECT_EQ(e.OsCode, DWORD(ERROR_ACCESS_DENIED));
        EXPECT_EQ(e.Message.rfind(u"OsError. 5. ", 0), 0u);
    }
}

TEST_F(StreamsFiles, HandleStreamReadsWritesSeeksAndSizes) {
    TFileStream f(Path(u"rw.bin"), fmCreate);
    EXPECT_EQ(f.Write("0123456789", 10), 10);
    EXPECT_EQ(f.Write("x", 0), 0);
    EXPECT_EQ(f.GetSize(), 10);
    EXPECT_EQ(f.Seek(-3, soEnd), 7);
    char buffer[16] = {};
    EXPECT_EQ(f.Read(buffer, 16), 3);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_EQ(f.Read(buffer, 16), 0);
    EXPECT_EQ(f.Read(buffer, -1), 0);

    f.SetSize(4);
    EXPECT_EQ(f.Seek(0, soCurrent), 4);
    EXPECT_EQ(f.GetSize(), 4);
    f.SetSize(6);  // grows with zeros
    EXPECT_EQ(f.Seek(2, soBeginning), 2);
    EXPECT_EQ(f.Read(buffer, 16), 4);
    EXPECT_EQ(std::string(buffer, 4), std::string("23\0\0", 4));

    try {
        f.Seek(-1, soBeginning);
        FAIL();
    } catch (const EOsError& e) {
        EXPECT_EQ(e.OsCode, DWORD(ERROR_NEGATIVE_SEEK));
    }
    THandleStream borrowed(f.Handle());  // does not own the handle
    EXPECT_EQ(borrowed.GetSize(), 6);
}

TEST_F(StreamsFiles, HandleStreamReadsMoreThanOneCallTakes) {
    const int64_t size = 0x80000000LL + 5;  // above 0x7FFFFFFF: two ReadFile calls
    const char tail[] = "fim!";
    {
        TFileStream f(Path(u"big.bin"), fmCreate);
        f.SetSize(size);
        f.Seek(0x7FFFFFFFLL - 2, soBeginning);
        f.WriteBuffer("ABCD", 4);  // across the first call's end
        f.Seek(size - 4, soBeginning);
        f.WriteBuffer(tail, 4);
    }
    char* buffer = static_cast<char*>(VirtualAlloc(nullptr, size_t(size + 16), MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(buffer, nullptr);
    {
        TFileStream f(Path(u"big.bin"), fmOpenRead);
        EXPECT_EQ(f.Read(buffer, size + 16), size);
    }
    EXPECT_EQ(std::string(buffer + 0x7FFFFFFF - 2, 4), "ABCD");
    EXPECT_EQ(std::string(buffer + size - 4, 4), "fim!");
    VirtualFree(buffer, 0, MEM_RELEASE);
    DeleteFileW(WStr(Path(u"big.bin")));
}

TEST(Streams, MemoryStreamReadsAndSeeksWithoutClamping) {
    const char block[] = "0123456789AB";
    TCustomMemoryStream m(block, 12);
    EXPECT_EQ(m.Seek(8, soBeginning), 8);
    char buffer[10] = {};
    EXPECT_EQ(m.Read(buffer, 10), 4);
    EXPECT_EQ(std::string(buffer, 4), "89AB");
    EXPECT_EQ(m.Position(), 12);
    EXPECT_EQ(m.Read(buffer, 10), 0);

    EXPECT_EQ(m.Seek(-5, soBeginning), -5);
    EXPECT_EQ(m.Read(buffer, 10), 0);
    EXPECT_EQ(m.Seek(20, soEnd), 32);
    EXPECT_EQ(m.Read(buffer, 10), 0);
    EXPECT_EQ(m.Seek(-31, soCurrent), 1);
    EXPECT_EQ(m.Seek(100, 7), 1);  // an unknown origin leaves the position
    EXPECT_EQ(m.Read(buffer, 0), 0);
    EXPECT_EQ(m.Read(buffer, 2), 2);
    EXPECT_EQ(std::string(buffer, 2), "12");

    // The size by seeking keeps the position.
    EXPECT_EQ(m.GetSize(), 12);
    EXPECT_EQ(m.Position(), 3);
}

TEST(Streams, AbstractOperationsName) {
    const struct { std::function<void()> call; const char16_t* method; } cases[] = {
        {[] { TStream().Read(nullptr, 1); }, u"Read"},
        {[] { TStream().Write(nullptr, 1); }, u"Write"},
        {[] { TStream().Seek(0, soBeginning); }, u"Seek"},
        {[] { TCustomMemoryStream().Write("x", 1); }, u"Write"},
    };
    for (const auto& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << "no exception";
        } catch (const EAbstractError& e) {
            EXPECT_EQ(e.ClassName, u"TStream");
            EXPECT_EQ(e.MethodName, c.method);
        }
    }
    TStream base;
    base.SetSize(5);  // does nothing
}

TEST(Streams, WholeCountLoops) {
    const struct { std::deque<int64_t> results; bool fails; int calls; } cases[] = {
        {{5}, false, 1},
        {{0, 5}, false, 2},   // a first call may move nothing
        {{2, 3}, false, 2},
        {{-1}, true, 1},
        {{0, 0}, true, 2},
        {{2, 0}, true, 2},
        {{2, -1}, true, 2},
    };
    char buffer[5];
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.results));
        ScriptedStream reader(c.results);
        try {
            reader.ReadBuffer(buffer, 5);
            EXPECT_FALSE(c.fails);
        } catch (const EReadError& e) {
            EXPECT_TRUE(c.fails);
            EXPECT_EQ(e.Message, u"leitura além do fim do stream");
        }
        EXPECT_EQ(reader.Calls, c.calls);

        ScriptedStream writer(c.results);
        try {
            writer.WriteBuffer(buffer, 5);
            EXPECT_FALSE(c.fails);
        } catch (const EWriteError& e) {
            EXPECT_TRUE(c.fails);
            EXPECT_EQ(e.Message, u"escrita não coube no stream");
        }
        EXPECT_EQ(writer.Calls, c.calls);
    }
    ScriptedStream none({});
    none.ReadBuffer(buffer, 0);
    none.WriteBuffer(buffer, -3);
    EXPECT_EQ(none.Calls, 0);
}

TEST_F(StreamsFiles, MemoryStreamSavesItsBlock) {
    const char block[] = "conteudo";
    {
        TFileStream f(Path(u"saved.bin"), fmCreate);
        TCustomMemoryStream(block, 8).SaveToStream(f);
    }
    EXPECT_EQ(FileBytes(Path(u"saved.bin")), "conteudo");

    ScriptedStream full({3, 0});
    EXPECT_THROW(TCustomMemoryStream(block, 8).SaveToStream(full), EWriteError);
    ScriptedStream untouched({});
    TCustomMemoryStream(block, 0).SaveToStream(untouched);
    EXPECT_EQ(untouched.Calls, 0);
}

TEST(Streams, ResourceStreamReadsTheEmbeddedBytes) {
    const std::string expected("Ol\xc3\xa1, recurso!\n\x00\x01\x02\xff", 19);
    for (const char16_t* name : {u"TESTDATA", ResourceId(7)}) {
        TResourceStream r(GetModuleHandleW(nullptr), name, ResourceId(kResourceTypeRcData));
        EXPECT_EQ(r.Size(), int64_t(expected.size()));
        EXPECT_EQ(r.GetSize(), int64_t(expected.size()));
        std::string bytes(expected.size(), '\0');
        r.ReadBuffer(bytes.data(), int64_t(bytes.size()));
        EXPECT_EQ(bytes, expected);
        try {
            r.Write("x", 1);
            FAIL();
        } catch (const EStreamError& e) {
            EXPECT_EQ(e.Message, u"recurso é só de leitura");
        }
    }
    try {
        TResourceStream(GetModuleHandleW(nullptr), u"NOSUCHRESOURCE", ResourceId(kResourceTypeRcData));
        FAIL();
    } catch (const EResNotFound& e) {
        EXPECT_EQ(e.Message, u"recurso não encontrado");
    }
}
