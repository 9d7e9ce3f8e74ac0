// Folder mode of FindFiles over an in-memory tree, where the listing order is known and
// failures can be injected.
#include <gtest/gtest.h>

#include "SearchRecorder.h"
#include "util/Env.h"
#include "util/search/FindFiles.h"
#include "util/search/MemoryFileSystem.h"

namespace {

using util::FindFiles;
using util::MemoryFileSystem;
using util::NameContains;

struct FileCase {
    const char* name;
    const char* pattern;
    const char* keyword;
    bool found;
};

class FileTestCase : public ::testing::TestWithParam<FileCase> {};

// The extension and keyword tests a single file in a folder goes through.
TEST_P(FileTestCase, FoundOrPassedOver) {
    const FileCase& c = GetParam();
    MemoryFileSystem fs;
    fs.AddFile(std::string("/in/") + c.name);
    EXPECT_EQ(FindFiles(fs, c.keyword, "/in", c.pattern, nullptr, ""), c.found ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    ExtensionAndKeyword, FileTestCase,
    ::testing::Values(FileCase{"a.xls", "*.xls", "", true}, FileCase{"a.XLS", "*.xls", "", true},
                      FileCase{"a.xls", "*.XLS", "", true},  // the pattern is lower-cased too
                      FileCase{"a.xlsx", "*.xls", "", false},
                      FileCase{"a.xl", "*.xls", "", true},  // containment, not equality
                      FileCase{"a.x", "*.xls", "", true}, FileCase{"a.", "*.xls", "", true},
                      FileCase{"xls", "*.xls", "", false},  // no dot, no extension
                      FileCase{"a.tar.xls", "*.xls", "", true},
                      FileCase{"a.xls.txt", "*.xls", "", false}, FileCase{"noext", "*.*", "", true},
                      FileCase{"a.txt", "*.xls;*.*", "", true},
                      FileCase{"a.txt", "", "", true},  // an empty pattern tests no extension
                      FileCase{"noext", "", "", true}, FileCase{"xABCy.xls", "*.xls", "abc", true},
                      FileCase{"x.xls", "*.xls", "abc", false},
                      FileCase{"abc.txt", "*.xls", "abc",
                               false},  // the keyword can't save the extension
                      FileCase{"一月报表.xls", "*.xls", "报表", true},
                      FileCase{"一月报表.xls", "*.xls", "二月", false},
                      FileCase{"Ärger.xls", "*.xls", "ärg", true}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

struct NameCase {
    const char* path;
    const char* keyword;
    bool contains;
};

TEST(NameContainsTest, LooksAtTheNamePartOnly) {
    const NameCase cases[] = {
        {"/data/xABCy.xls", "abc", true},
        {"/data/abc/x.xls", "abc", false},  // the folder holds the keyword, the name doesn't
        {"xABCy.xls", "ABC", true},         // no folder part at all
        {"/data/x.xls", "", false},         // an empty keyword
        {"/data/", "x", false},             // an empty name part
        {"c:abc.xls", "c:a", true},         // ":" is an ordinary character here
        {"/数据/一月报表.xls", "一月", true},
        {"/数据/一月报表.xls", "数据", false},
        {"/d/ÉTÉ.xls", "été", true},            // letter case beyond ASCII
        {"/d/straße.xls", "STRASSE", false},    // one letter for one letter
        {"/d/caf\xC3\xA9.xls", "\xA9", false},  // never inside a character
        {"/d/a\xFF"
         "b.xls",
         "\xFF"
         "B",
         true},  // a stray byte matches itself
        {"/d/a\xFE"
         "b.xls",
         "\xFF"
         "b",
         false},
        {"/d/名\xE5.xls", "\xE5", true},  // a cut-off character is a stray byte
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(NameContains(c.path, c.keyword), c.contains)
            << "path " << c.path << ", keyword " << c.keyword;
}

class FolderModeTest : public SearchTest {
  protected:
    FolderModeTest() {
        fs.AddFile("/Data/Report.XLS");
        fs.AddFile("/Data/Sub/Jan.xls");
        fs.AddFile("/Data/Sub/notes.txt");
        fs.AddFolder("/Data/Sub/Empty");
        fs.AddFile("/Data/.hidden.xls", {}, util::kAttributeHidden);
        fs.AddFile("/Data/.cache/old.xls", {}, util::kAttributeHidden);
        fs.AddFile("/Data/Zed.xls", {}, util::kAttributeSystem | util::kAttributeReadOnly);
    }

    int Search(const std::string& folder, const std::string& keyword = "") {
        return FindFiles(fs, keyword, folder, "*.xls", SearchRecorder::Record, "");
    }

    const std::vector<SearchCall> allCalls{
        {"/Data", 1},           {"/Data/Report.XLS", 0},
        {"/Data/Sub", 1},       {"/Data/Sub/Jan.xls", 0},
        {"/Data/Sub/Empty", 1}, {"/Data/.hidden.xls", 0},
        {"/Data/.cache", 1},    {"/Data/.cache/old.xls", 0},
        {"/Data/Zed.xls", 0},
    };
    MemoryFileSystem fs;
};

TEST_F(FolderModeTest, ReportsDepthFirstInListingOrder) {
    EXPECT_EQ(Search("/Data"), 5);
    // Folder parts keep their letters, so every reported path opens; "." and ".." are listed
    // but never descended into.
    EXPECT_EQ(recorder.calls, allCalls);
    EXPECT_EQ(fs.Listed(), (std::vector<std::string>{"/Data/", "/Data/Sub/", "/Data/Sub/Empty/",
                                                     "/Data/.cache/"}));
}

TEST_F(FolderModeTest, OneTrailingSlashIsDropped) {
    EXPECT_EQ(Search("/Data/"), 5);
    EXPECT_EQ(recorder.calls, allCalls);
}

TEST_F(FolderModeTest, CountsWithoutACallback) {
    EXPECT_EQ(FindFiles(fs, "", "/Data", "*.xls", nullptr, ""), 5);
    EXPECT_EQ(FindFiles(fs, "a", "/Data", "*.xls", nullptr, ""), 1);  // Jan.xls
}

TEST_F(FolderModeTest, KeywordFiltersNamesNotFolders) {
    fs.AddFile("/Data/Jan/other.xls");
    EXPECT_EQ(Search("/Data", "JAN"), 1);
    EXPECT_EQ(recorder.Found(), std::vector<std::string>{"/Data/Sub/Jan.xls"});
}

TEST_F(FolderModeTest, TheRootFolderHasAnEmptyBase) {
    MemoryFileSystem root;
    root.AddFile("/top.xls");
    root.AddFile("/d/in.xls");
    EXPECT_EQ(FindFiles(root, "", "/", "*.xls", SearchRecorder::Record, ""), 2);
    EXPECT_EQ(recorder.calls,
              (std::vector<SearchCall>{{"", 1}, {"/top.xls", 0}, {"/d", 1}, {"/d/in.xls", 0}}));
}

TEST_F(FolderModeTest, AnEmptyFolderTextSearchesNothing) {
    EXPECT_EQ(Search(""), 0);
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_TRUE(fs.Listed().empty());
}

TEST_F(FolderModeTest, LinksAreFoundButNeverFollowed) {
    fs.AddLink("/Data/Sub/up", true);  // leads back to /Data
    fs.AddLink("/Data/Sub/alias.xls", false);
    EXPECT_EQ(Search("/Data/Sub"), 2);
    EXPECT_EQ(recorder.calls, (std::vector<SearchCall>{{"/Data/Sub", 1},
                                                       {"/Data/Sub/Jan.xls", 0},
                                                       {"/Data/Sub/Empty", 1},
                                                       {"/Data/Sub/alias.xls", 0}}));
}

// A stop ends the whole search at once, the enclosing levels included.
TEST_F(FolderModeTest, StopEndsTheWholeSearch) {
    struct StopCase {
        SearchCall stopAt;
        int count;
        std::size_t calls;   // how many of allCalls are made
        std::size_t listed;  // how many folders are listed
    };
    const StopCase cases[] = {
        {{"/Data", 1}, 0, 1, 0},             // the folder isn't even listed
        {{"/Data/Report.XLS", 0}, 0, 2, 1},  // the stopping report isn't counted
        {{"/Data/Sub", 1}, 1, 3, 1},
        {{"/Data/Sub/Jan.xls", 0}, 1, 4, 2},
        {{"/Data/Zed.xls", 0}, 4, 9, 4},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.stopAt.path);
        MemoryFileSystem tree = fs;
        recorder.calls.clear();
        recorder.stopAt = c.stopAt;
        EXPECT_EQ(FindFiles(tree, "", "/Data", "*.xls", SearchRecorder::Record, ""), c.count);
        EXPECT_EQ(recorder.calls,
                  std::vector<SearchCall>(allCalls.begin(), allCalls.begin() + c.calls));
        EXPECT_EQ(tree.Listed().size(), c.listed);
    }
}

TEST_F(FolderModeTest, AFolderThatCannotBeListedYieldsNoEntries) {
    fs.RefuseListing("/Data/Sub");
    fs.ThrowOnListing("/Data/.cache");
    EXPECT_EQ(Search("/Data"), 3);
    EXPECT_EQ(recorder.calls, (std::vector<SearchCall>{{"/Data", 1},
                                                       {"/Data/Report.XLS", 0},
                                                       {"/Data/Sub", 1},  // notified, then nothing
                                                       {"/Data/.hidden.xls", 0},
                                                       {"/Data/.cache", 1},
                                                       {"/Data/Zed.xls", 0}}));
}

TEST_F(FolderModeTest, AMissingFolderIsNotifiedAndYieldsNothing) {
    EXPECT_EQ(Search("/Missing"), 0);
    EXPECT_EQ(recorder.calls, (std::vector<SearchCall>{{"/Missing", 1}}));
}

TEST_F(FolderModeTest, AFailingReportIsNotCountedAndTheScanGoesOn) {
    recorder.throwAt = {"/Data/Report.XLS", 0};
    EXPECT_EQ(Search("/Data"), 4);
    EXPECT_EQ(recorder.calls, allCalls);
}

TEST_F(FolderModeTest, AFailingSubfolderNotificationSkipsThatSubfolder) {
    recorder.throwAt = {"/Data/Sub", 1};
    EXPECT_EQ(Search("/Data"), 4);
    std::vector<SearchCall> expected = allCalls;
    expected.erase(expected.begin() + 3, expected.begin() + 5);  // nothing from inside Sub
    EXPECT_EQ(recorder.calls, expected);
}

TEST_F(FolderModeTest, AFailingFirstNotificationReachesTheCaller) {
    recorder.throwAt = {"/Data", 1};
    EXPECT_THROW(Search("/Data"), std::runtime_error);
    EXPECT_TRUE(fs.Listed().empty());
}

}  // namespace
