#include <gtest/gtest.h>

#include <cstring>

#include "spreadsheet/cfb/CompoundFile.h"
#include "spreadsheet/model/Workbook.h"
#include "tests/cfb/GsfCompoundFile.h"
#include "tests/cfb/TreeHelpers.h"

namespace cfbtest {
namespace {

using spreadsheet::SpreadsheetError;
using spreadsheet::cfb::CompoundFile;

CompoundFile FileWith(std::vector<Entry> children, int version = 3) {
    CompoundFile file;
    file.root().kind = Entry::Kind::Storage;
    file.root().children = std::move(children);
    file.setMajorVersion(version);
    return file;
}

// Serializes, then reads the bytes back with our reader and with libgsf; both must see the
// tree as it was.
void ExpectRoundTrip(const CompoundFile& file) {
    const std::string bytes = file.Serialize({});
    CompoundFile again = CompoundFile::Parse(bytes);
    EXPECT_EQ(again.majorVersion(), file.majorVersion());
    ExpectSameTree(file.root(), again.root());

    Entry seenByGsf;
    std::string error;
    ASSERT_TRUE(ReadWithGsf(bytes, &seenByGsf, &error)) << error;
    ExpectSameTree(file.root(), seenByGsf, Compare{.metadata = false});
}

TEST(CompoundFileSignature, RecognisesOnlyTheFullSignature) {
    EXPECT_TRUE(spreadsheet::cfb::LooksLikeCompoundFile(
        std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1trailing", 16)));
    EXPECT_FALSE(spreadsheet::cfb::LooksLikeCompoundFile(std::string_view("\xD0\xCF\x11\xE0", 4)));
    EXPECT_FALSE(spreadsheet::cfb::LooksLikeCompoundFile("PK\x03\x04 a zip file"));
    EXPECT_FALSE(spreadsheet::cfb::LooksLikeCompoundFile(""));
}

// Sizes around the places where the layout changes: the 64-byte mini sector, the 4096-byte
// cutoff between the mini stream and ordinary sectors, and both sector sizes.
class StreamSizeRoundTrip : public ::testing::TestWithParam<std::tuple<int, std::size_t>> {};

TEST_P(StreamSizeRoundTrip, KeepsTheBytes) {
    const auto [version, size] = GetParam();
    ExpectRoundTrip(FileWith(
        {Stream("Workbook", Pattern(size)), Stream("Other", Pattern(size + 1, 7))}, version));
}

INSTANTIATE_TEST_SUITE_P(AroundTheCutoffs, StreamSizeRoundTrip,
                         ::testing::Combine(::testing::Values(3, 4),
                                            ::testing::Values<std::size_t>(0, 1, 63, 64, 65, 4095,
                                                                           4096, 4097, 8191,
                                                                           40000)));

TEST(CompoundFileRoundTrip, ManyStreamsAreAllFoundWithoutRegardToCase) {
    std::vector<Entry> streams;
    for (int i = 0; i < 300; ++i)
        streams.push_back(Stream("Stream " + std::to_string(i),
                                 Pattern(static_cast<std::size_t>(i * 37 % 5000), i)));
    CompoundFile file = FileWith(std::move(streams));
    ExpectRoundTrip(file);

    CompoundFile again = CompoundFile::Parse(file.Serialize({}));
    for (int i = 0; i < 300; i += 29) {
        EXPECT_TRUE(again.HasStream("STREAM " + std::to_string(i)));
        EXPECT_EQ(again.ReadStream("stream " + std::to_string(i)),
                  Pattern(static_cast<std::size_t>(i * 37 % 5000), i));
    }
    EXPECT_FALSE(again.HasStream("Stream 300"));
    EXPECT_THROW(again.ReadStream("Stream 300"), SpreadsheetError);
}

TEST(CompoundFileRoundTrip, NestedStoragesKeepClsidsStateBitsAndTimes) {
    Entry vba = Storage("VBA", {Stream("dir", Pattern(700)), Stream("Module1", Pattern(5000, 3)),
                                Stream("_VBA_PROJECT", Pattern(7, 4))});
    Entry project =
        Storage("_VBA_PROJECT_CUR", {Stream("PROJECT", "ID=\"{00000000}\"\r\n"), std::move(vba)});
    for (std::size_t i = 0; i < 16; ++i)
        project.clsid[i] = static_cast<std::uint8_t>(i * 11 + 1);
    project.stateBits = 0x12345678;
    project.creationTime = 0x01D2345678901234ull;
    project.modifiedTime = 0x01D9ABCDEF012345ull;
    Entry deep = Storage("a", {Storage("b", {Storage("c", {Stream("leaf", "deep")})})});

    CompoundFile file = FileWith({Stream("Workbook", Pattern(9000)),
                                  Stream("\x05SummaryInformation", Pattern(400, 2)),
                                  std::move(project), std::move(deep), Storage("empty", {})});
    file.root().clsid[0] = 0x20;
    file.root().clsid[15] = 0x46;
    file.root().modifiedTime = 0x01D0000000000001ull;
    ExpectRoundTrip(file);
    ExpectRoundTrip(FileWith(file.root().children, 4));
}

TEST(CompoundFileRoundTrip, NamesOutsideAsciiAndOfFullLength) {
    ExpectRoundTrip(FileWith({Stream("工作簿数据", "中文"), Stream("Ünïcödé", "x"),
                              Stream(std::string(31, 'n'), "thirty-one characters"),
                              Stream("\x01"
                                     "CompObj",
                                     Pattern(90))}));
}

TEST(CompoundFileRoundTrip, ManyFatSectorsNeedTheDifat) {
    // 8 MB in 512-byte sectors needs more than the header's 109 FAT sector numbers.
    CompoundFile file = FileWith({Stream("Workbook", Pattern(8u << 20)), Stream("small", "s")});
    const std::string bytes = file.Serialize({});
    std::uint32_t difatSectors = 0;
    std::memcpy(&difatSectors, bytes.data() + 72, 4);  // the file is little-endian, as is x86
    EXPECT_GT(difatSectors, 0u);
    ExpectRoundTrip(file);
}

TEST(CompoundFileSerialize, ReplacesAndAddsRootStreamsAndKeepsTheRest) {
    Entry macros = Storage("Macros", {Stream("Module", Pattern(5000))});
    macros.clsid[3] = 9;
    CompoundFile file = FileWith({Stream("Workbook", Pattern(6000)),
                                  Stream("\x05SummaryInformation", Pattern(300)), macros});

    CompoundFile saved = CompoundFile::Parse(file.Serialize({{"WORKBOOK", Pattern(100, 5)},
                                                             {"\x05"
                                                              "DocumentSummaryInformation",
                                                              "added"}}));
    EXPECT_EQ(saved.ReadStream("Workbook"), Pattern(100, 5));
    EXPECT_EQ(saved.ReadStream("\x05SummaryInformation"), Pattern(300));
    EXPECT_EQ(saved.ReadStream("\x05"
                               "DocumentSummaryInformation"),
              "added");
    ASSERT_EQ(saved.root().children.size(), 4u);
    for (const Entry& e : saved.root().children)
        if (e.name == "Macros")
            ExpectSameTree(macros, e);
    // The replaced stream keeps the name it had.
    EXPECT_TRUE(std::any_of(saved.root().children.begin(), saved.root().children.end(),
                            [](const Entry& e) { return e.name == "Workbook"; }));
}

TEST(CompoundFileSerialize, RefusesWhatCannotBeWritten) {
    CompoundFile file = FileWith({Stream("Workbook", "w"), Storage("Macros", {})});
    EXPECT_THROW(file.Serialize({{"macros", "not a storage"}}), SpreadsheetError);
    EXPECT_THROW(file.Serialize({{std::string(32, 'x'), "name too long"}}), SpreadsheetError);
    EXPECT_THROW(file.Serialize({{"a/b", "slash"}}), SpreadsheetError);
    EXPECT_THROW(file.Serialize({{"", "empty"}}), SpreadsheetError);
    EXPECT_THROW(FileWith({Stream("Same", "1"), Stream("SAME", "2")}).Serialize({}),
                 SpreadsheetError);
    EXPECT_THROW(file.setMajorVersion(5), SpreadsheetError);
}

TEST(CompoundFileParse, ReadsWhatLibgsfWrites) {
    Entry root = Storage("", {Stream("Workbook", Pattern(5000)), Stream("tiny", "abc"),
                              Storage("folder", {Stream("inner", Pattern(4096, 2)),
                                                 Storage("deeper", {Stream("x", Pattern(1))})}),
                              Stream("empty", "")});
    for (int sectorSize : {512, 4096}) {
        SCOPED_TRACE(sectorSize);
        CompoundFile file = CompoundFile::Parse(WriteWithGsf(root, sectorSize));
        EXPECT_EQ(file.majorVersion(), sectorSize == 512 ? 3 : 4);
        ExpectSameTree(root, file.root(), Compare{.metadata = false});
    }
}

}  // namespace
}  // namespace cfbtest
