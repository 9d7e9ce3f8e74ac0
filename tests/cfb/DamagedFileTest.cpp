#include <gtest/gtest.h>

#include <functional>

#include "spreadsheet/cfb/CompoundFile.h"
#include "spreadsheet/model/Workbook.h"
#include "tests/cfb/TreeHelpers.h"

namespace cfbtest {
namespace {

using spreadsheet::SpreadsheetError;
using spreadsheet::cfb::CompoundFile;

constexpr std::size_t kSector = 512;

std::uint32_t U32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
void Put32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>(v >> (8 * i));
}
void Put16(std::string& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<char>(v);
    b[at + 1] = static_cast<char>(v >> 8);
}

// A small version-3 file whose structures the cases below damage one at a time: a
// 5000-byte "Workbook" in ordinary sectors and a 100-byte "Small" in the mini stream.
struct Fixture {
    std::string bytes;

    Fixture() {
        CompoundFile file;
        file.root().children = {Stream("Workbook", Pattern(5000)), Stream("Small", Pattern(100))};
        bytes = file.Serialize({});
    }
    static std::size_t SectorAt(std::uint32_t s) { return kSector + s * kSector; }
    std::size_t Dir(std::uint32_t id) const { return SectorAt(U32(bytes, 48)) + id * 128; }
    std::uint32_t IdOf(const std::string& name) const {
        for (std::uint32_t id = 0; id < 4; ++id) {
            std::string n;
            for (std::size_t k = 0; k < 10; ++k)
                n.push_back(bytes[Dir(id) + 2 * k]);
            if (n.substr(0, name.size() + 1) == name + '\0')
                return id;
        }
        return 0xFFFFFFFF;
    }
    std::size_t Fat(std::uint32_t s) const { return SectorAt(U32(bytes, 76)) + 4 * s; }
    std::size_t MiniFat(std::uint32_t s) const { return SectorAt(U32(bytes, 60)) + 4 * s; }
    std::uint32_t Start(const std::string& name) const { return U32(bytes, Dir(IdOf(name)) + 116); }
    std::uint32_t RootChild() const { return U32(bytes, Dir(0) + 76); }
};

struct DamageCase {
    const char* name;
    std::function<void(Fixture&)> damage;
    const char* reason;  // part of the error's text
};

class DamagedFile : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedFile, IsRefusedWithAReason) {
    Fixture f;
    ASSERT_NO_THROW(CompoundFile::Parse(f.bytes));
    GetParam().damage(f);
    try {
        CompoundFile::Parse(f.bytes);
        FAIL() << "a damaged file was accepted";
    } catch (const SpreadsheetError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().reason), std::string::npos) << e.what();
    }
}

const DamageCase kDamageCases[] = {
    {"BadSignature", [](Fixture& f) { f.bytes[3] = 'x'; }, "signature"},
    {"BadByteOrder", [](Fixture& f) { Put16(f.bytes, 28, 0xFEFF); }, "byte-order"},
    {"Version3With4096ByteSectors", [](Fixture& f) { Put16(f.bytes, 30, 12); }, "sector shift"},
    {"UnknownVersion", [](Fixture& f) { Put16(f.bytes, 26, 5); }, "version 5"},
    {"MiniSectorsNot64Bytes", [](Fixture& f) { Put16(f.bytes, 32, 7); }, "mini sector"},
    {"NoFatSector", [](Fixture& f) { Put32(f.bytes, 44, 0); }, "no FAT"},
    {"MoreFatSectorsThanTheFileHolds", [](Fixture& f) { Put32(f.bytes, 44, 1000000); },
     "FAT sectors in a file of"},
    {"FatSectorPastTheEnd", [](Fixture& f) { Put32(f.bytes, 76, 777); }, "past the end"},
    {"DirectoryStartPastTheEnd", [](Fixture& f) { Put32(f.bytes, 48, 9999); }, "past the end"},
    {"FatChainLoops",
     [](Fixture& f) {
         std::uint32_t s = f.Start("Workbook");
         Put32(f.bytes, f.Fat(s + 3), s + 1);
     },
     "loops"},
    {"FatChainPointsPastTheEnd",
     [](Fixture& f) { Put32(f.bytes, f.Fat(f.Start("Workbook") + 2), 5000); }, "past the end"},
    {"ChainShorterThanTheStream",
     [](Fixture& f) { Put32(f.bytes, f.Fat(f.Start("Workbook") + 2), 0xFFFFFFFE); }, "ends after"},
    {"TwoStreamsShareSectors",
     // The mini stream's chain starts inside the Workbook stream's.
     [](Fixture& f) { Put32(f.bytes, f.Dir(0) + 116, f.Start("Workbook")); }, "already uses"},
    {"StreamStartPastTheEnd",
     [](Fixture& f) { Put32(f.bytes, f.Dir(f.IdOf("Workbook")) + 116, 0x7FFFFFF); },
     "past the end"},
    {"StreamSizeBeyondTheFile",
     [](Fixture& f) { Put32(f.bytes, f.Dir(f.IdOf("Workbook")) + 120, 1u << 30); },
     "more than the file"},
    {"MiniStreamSizeBeyondTheFile", [](Fixture& f) { Put32(f.bytes, f.Dir(0) + 120, 0x7FFFFFFF); },
     "more than the file"},
    {"MiniSectorPastTheMiniStream",
     [](Fixture& f) { Put32(f.bytes, f.Dir(f.IdOf("Small")) + 116, 500); }, "past the mini stream"},
    {"MiniChainLoops",
     [](Fixture& f) {
         std::uint32_t s = f.Start("Small");
         Put32(f.bytes, f.MiniFat(s), s);
     },
     "loops"},
    {"SmallStreamLargerThanTheMiniStream",
     [](Fixture& f) { Put32(f.bytes, f.Dir(f.IdOf("Small")) + 120, 4000); },
     "more than the mini stream"},
    {"DirectoryCycle", [](Fixture& f) { Put32(f.bytes, f.Dir(f.RootChild()) + 72, f.RootChild()); },
     "cycle"},
    {"ChildPointsBackToTheRoot", [](Fixture& f) { Put32(f.bytes, f.Dir(f.RootChild()) + 68, 0); },
     "cycle"},
    {"LinkPastTheDirectory", [](Fixture& f) { Put32(f.bytes, f.Dir(f.RootChild()) + 68, 1000); },
     "past the directory"},
    {"FirstEntryNotTheRoot", [](Fixture& f) { f.bytes[f.Dir(0) + 66] = 1; }, "not the root"},
    {"OddNameLength", [](Fixture& f) { Put16(f.bytes, f.Dir(f.IdOf("Small")) + 64, 7); },
     "name length"},
    {"NameLongerThanTheField", [](Fixture& f) { Put16(f.bytes, f.Dir(f.IdOf("Small")) + 64, 66); },
     "name length"},
    {"UnknownObjectType", [](Fixture& f) { f.bytes[f.Dir(f.IdOf("Small")) + 66] = 3; },
     "object type 3"},
};

INSTANTIATE_TEST_SUITE_P(Cases, DamagedFile, ::testing::ValuesIn(kDamageCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TruncatedFile, IsRefusedOrReadWhole) {
    // Cut anywhere, a file either fails with a reason or still gives every stream whole (a cut
    // inside unused space at the end loses nothing).
    Fixture f;
    for (std::size_t size = 0; size < f.bytes.size(); size += 61) {
        SCOPED_TRACE(size);
        try {
            CompoundFile file = CompoundFile::Parse(std::string_view(f.bytes).substr(0, size));
            EXPECT_EQ(file.ReadStream("Workbook"), Pattern(5000));
            EXPECT_EQ(file.ReadStream("Small"), Pattern(100));
        } catch (const SpreadsheetError&) {
        }
    }
    for (std::size_t size : {0, 8, 100, 511})
        EXPECT_THROW(CompoundFile::Parse(std::string_view(f.bytes).substr(0, size)),
                     SpreadsheetError);
    // Half the file has lost most of the Workbook stream.
    EXPECT_THROW(CompoundFile::Parse(std::string_view(f.bytes).substr(0, f.bytes.size() / 2)),
                 SpreadsheetError);
}

TEST(DamagedDifat, ALoopingDifatChainIsRefused) {
    CompoundFile file;
    file.root().children = {Stream("Workbook", Pattern(8u << 20))};
    std::string bytes = file.Serialize({});
    const std::uint32_t difat = U32(bytes, 68);
    ASSERT_NE(difat, 0xFFFFFFFEu);
    // The DIFAT sector names itself as the next one, and the header wants one more FAT sector
    // than it holds, so a reader that trusts the chain goes round for ever.
    Put32(bytes, kSector + difat * kSector + kSector - 4, difat);
    Put32(bytes, 44, U32(bytes, 44) + 127);
    EXPECT_THROW(CompoundFile::Parse(bytes), SpreadsheetError);
    // Cut off before its DIFAT sector.
    EXPECT_THROW(CompoundFile::Parse(std::string_view(bytes).substr(0, kSector + difat * kSector)),
                 SpreadsheetError);
}

TEST(HostileFile, StoragesNestedBeyondTheLimitAreRefused) {
    CompoundFile file;
    Entry* level = &file.root();
    for (int depth = 0; depth < 300; ++depth) {
        level->children.push_back(Storage("s", {}));
        level = &level->children.back();
    }
    EXPECT_THROW(CompoundFile::Parse(file.Serialize({})), SpreadsheetError);
}

}  // namespace
}  // namespace cfbtest
