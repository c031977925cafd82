#include <gtest/gtest.h>

#include <vector>

#include "KS.Package.h"
#include "KS.Sys.Errors.h"
#include "KS.Test.Packages.h"
#include "KS.Test.Sandbox.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
namespace Packages = KS::TestPackages;

namespace {

// Bytes in front of the entry, as the executable stands in front of a package.
const std::string Stub(100, 'S');

struct TProgressLog {
    std::vector<int64_t> Blocks;
    // Answer a cancel from this call on (1 for the first); 0 never.
    size_t CancelAt = 0;

    static void Record(void* context, int64_t bytes, uint8_t& cancel) {
        auto& self = *static_cast<TProgressLog*>(context);
        self.Blocks.push_back(bytes);
        if (self.CancelAt != 0 && self.Blocks.size() >= self.CancelAt) cancel = 1;
    }
};

// One package file with the entry behind the stub, and the reader's output.
class PackageRead : public ::testing::Test {
protected:
    struct TResult {
        bool Ok = false;
        std::u16string Error;
        std::string Output;
    };

    TResult Read(const std::string& entry, int64_t packedLength, int64_t size, uint32_t crc,
                 PackageProgress progress = {}) {
        EXPECT_TRUE(WriteBytes(folder / u"setup.pkg", Stub + entry + "trailing bytes"));
        TInFile package;
        EXPECT_TRUE(package.Open(folder / u"setup.pkg"));
        TOutFile output;
        EXPECT_TRUE(output.Open(folder / u"out.bin"));
        TResult result;
        result.Ok = ReadPackageEntry(package, static_cast<int64_t>(Stub.size()), packedLength, size, crc, output,
                                     progress, result.Error);
        output.Close();
        result.Output = ReadBytes(folder / u"out.bin");
        return result;
    }

    TResult Read(const Packages::TEntry& entry) {
        return Read(entry.Package, static_cast<int64_t>(entry.Package.size()),
                    static_cast<int64_t>(entry.Data.size()), entry.Crc);
    }

    TTestFolder folder;
};

// The entry with the 32-bit field at the offset replaced.
std::string Patched(std::string entry, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) entry[offset + i] = static_cast<char>(value >> (8 * i));
    return entry;
}

} // namespace

TEST_F(PackageRead, StoredLzmaAndX86BlocksUnpackToTheirData) {
    const struct {
        const char* Name;
        const Packages::TEntry& Entry;
    } cases[] = {{"stored", Packages::Stored}, {"lzma", Packages::Lzma}, {"x86", Packages::X86},
                 {"several blocks", Packages::Blocks}, {"no block", Packages::Empty}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TResult result = Read(c.Entry);
        EXPECT_TRUE(result.Ok) << KsTest::Narrow(result.Error);
        EXPECT_EQ(result.Error, u"");
        EXPECT_TRUE(result.Output == c.Entry.Data);
    }
}

TEST_F(PackageRead, ProgressGetsEachBlocksRawSizeAndCanCancel) {
    const Packages::TEntry& entry = Packages::Blocks;
    const int64_t size = static_cast<int64_t>(entry.Data.size());
    TProgressLog log;
    TResult result = Read(entry.Package, entry.Package.size(), size, entry.Crc, {TProgressLog::Record, &log});
    EXPECT_TRUE(result.Ok);
    EXPECT_EQ(log.Blocks, (std::vector<int64_t>{5000, 20000, 24490, 0}));

    TProgressLog cancelling;
    cancelling.CancelAt = 2;
    result = Read(entry.Package, entry.Package.size(), size, entry.Crc, {TProgressLog::Record, &cancelling});
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error, u"cancelado");
    EXPECT_EQ(cancelling.Blocks.size(), 2u);
    // What was written before the cancel stays.
    EXPECT_EQ(result.Output.size(), 25000u);
}

TEST_F(PackageRead, DamagedEntriesAndWrongExpectationsFailWithTheirText) {
    const std::string& lzma = Packages::Lzma.Package;
    const std::string& stored = Packages::Stored.Package;
    const int64_t lzmaSize = static_cast<int64_t>(Packages::Lzma.Data.size());
    const int64_t storedSize = static_cast<int64_t>(Packages::Stored.Data.size());
    const uint32_t lzmaCrc = Packages::Lzma.Crc;
    const uint32_t storedCrc = Packages::Stored.Crc;
    const int64_t lzmaLength = static_cast<int64_t>(lzma.size());
    const int64_t storedLength = static_cast<int64_t>(stored.size());
    const struct {
        const char* Name;
        std::string Entry;
        int64_t PackedLength, Size;
        uint32_t Crc;
        std::u16string Error;
    } cases[] = {
        {"crc differs", lzma, lzmaLength, lzmaSize, lzmaCrc ^ 1, u"CRC32 não confere: o instalador está corrompido"},
        {"size one more", lzma, lzmaLength, lzmaSize + 1, lzmaCrc, u"tamanho do arquivo não confere com o pacote"},
        {"size one less", lzma, lzmaLength, lzmaSize - 1, lzmaCrc, u"tamanho do arquivo não confere com o pacote"},
        {"block runs past the packed length", lzma, lzmaLength - 1, lzmaSize, lzmaCrc,
         u"pacote corrompido (cabeçalho de bloco)"},
        {"no room for the first header", lzma, 10, lzmaSize, lzmaCrc, u"pacote corrompido (cabeçalho de bloco)"},
        {"stored sizes differ", Patched(stored, 8, storedSize - 1), storedLength, storedSize, storedCrc,
         u"pacote corrompido (bloco não descomprime)"},
        {"unknown method", Patched(stored, 12, 2), storedLength, storedSize, storedCrc,
         u"pacote corrompido (bloco não descomprime)"},
        {"lzma decodes short of its raw size", Patched(lzma, 4, lzmaSize + 1), lzmaLength, lzmaSize + 1, lzmaCrc,
         u"pacote corrompido (bloco não descomprime)"},
        {"unknown lzma86 filter", Patched(lzma, 16, 2), lzmaLength, lzmaSize, lzmaCrc,
         u"pacote corrompido (bloco não descomprime)"},
        {"more blocks than the file holds", Patched(lzma, 0, 2), lzmaLength + 100, lzmaSize, lzmaCrc,
         u"pacote corrompido (cabeçalho de bloco)"},
        {"block claims more raw data than the file", Patched(stored, 4, 0xFFFFFFF0u), storedLength, storedSize,
         storedCrc, u"tamanho do arquivo não confere com o pacote"},
        {"no block but a size", std::string(4, '\0'), 4, 1, 0, u"tamanho do arquivo não confere com o pacote"},
        {"no block but a crc", std::string(4, '\0'), 4, 0, 1, u"CRC32 não confere: o instalador está corrompido"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TResult result = Read(c.Entry, c.PackedLength, c.Size, c.Crc);
        EXPECT_FALSE(result.Ok);
        EXPECT_EQ(KsTest::Narrow(result.Error), KsTest::Narrow(c.Error));
    }
}

TEST_F(PackageRead, ClosedFilesFail) {
    ASSERT_TRUE(WriteBytes(folder / u"setup.pkg", Packages::Stored.Package));
    const int64_t length = static_cast<int64_t>(Packages::Stored.Package.size());
    const int64_t size = static_cast<int64_t>(Packages::Stored.Data.size());
    std::u16string error;

    TInFile closed;
    TOutFile output;
    ASSERT_TRUE(output.Open(folder / u"out.bin"));
    EXPECT_FALSE(ReadPackageEntry(closed, 0, length, size, Packages::Stored.Crc, output, {}, error));
    EXPECT_EQ(error, u"pacote truncado");

    TInFile package;
    ASSERT_TRUE(package.Open(folder / u"setup.pkg"));
    EXPECT_FALSE(ReadPackageEntry(package, length, length, size, Packages::Stored.Crc, output, {}, error));
    EXPECT_EQ(error, u"pacote truncado");

    output.Close();
    EXPECT_FALSE(ReadPackageEntry(package, 0, length, size, Packages::Stored.Crc, output, {}, error));
    EXPECT_EQ(KsTest::Narrow(error), KsTest::Narrow(u"não consegui gravar: " + OsErrorText(6)));
}
