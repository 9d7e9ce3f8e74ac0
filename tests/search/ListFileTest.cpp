// List-file mode of FindFiles: the paths listed in a text file, filtered by folder, extension
// and keyword.
#include <gtest/gtest.h>

#include "SearchRecorder.h"
#include "util/Env.h"
#include "util/search/FindFiles.h"
#include "util/search/MemoryFileSystem.h"

namespace {

using util::FindFiles;
using util::MemoryFileSystem;

class ListFileTest : public SearchTest {
  protected:
    int Search(const std::string& contents, const std::string& keyword, const std::string& folder,
               const std::string& pattern) {
        fs.AddFile("/list.txt", contents);
        return FindFiles(fs, keyword, folder, pattern, SearchRecorder::Record, "/list.txt");
    }

    // The lines read, each as its notification gave it.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const SearchCall& call : recorder.calls)
            if (call.kind == 1)
                lines.push_back(call.path);
        return lines;
    }

    MemoryFileSystem fs;
};

TEST_F(ListFileTest, SplitsLinesAtEveryLineEnd) {
    const std::string longLine(70000, 'x');  // longer than one read of the file
    const std::string atBoundary(64 * 1024 - 1, 'y');
    struct Case {
        std::string contents;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\nb\rc\r\nd", {"a", "b", "c", "d"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},  // LF then CR: two line ends
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"a\x1a"
         "b\nc",
         {"a"}},  // Ctrl+Z ends the text
        {"a\n\x1a"
         "b",
         {"a"}},
        {"\x1a"
         "a",
         {}},
        {longLine + "\n" + longLine, {longLine, longLine}},
        {atBoundary + "\r\nz", {atBoundary, "z"}},  // CR and LF in different reads
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.contents.substr(0, 20)));
        recorder.calls.clear();
        const int count = Search(c.contents, "", "", "");
        EXPECT_EQ(Lines(), c.lines);
        EXPECT_EQ(count, static_cast<int>(c.lines.size()));  // no test rejects any line
    }
}

TEST_F(ListFileTest, FolderExtensionAndKeywordTests) {
    const std::string list =
        "/data/a.xls\n"       // passes: the folder text is lower-cased to /data
        "/Data/a.xls\n"       // the line is compared as read
        "/data/a.XLS\n"       // the extension as read must occur in the pattern
        "/data/b.xls\n"       // no keyword
        "/data/sub/A.xls\n"   // the keyword ignores letter case
        "/other/a.xls\n"      // another folder
        "/x/data/ba.xl\n"     // the folder may occur anywhere; ".xl" occurs in "*.xls"
        "/data/a\n"           // no extension
        "/data/a.d/b.xls\n";  // the name part's extension, not the folder's
    EXPECT_EQ(Search(list, "a", "/DATA", "*.XLS"), 3);
    EXPECT_EQ(recorder.Found(),
              (std::vector<std::string>{"/data/a.xls", "/data/sub/A.xls", "/x/data/ba.xl"}));
    EXPECT_EQ(Lines().size(), 9u);  // every line is notified before any test
}

TEST_F(ListFileTest, EmptyTextsTestNothing) {
    // An empty keyword lets every line pass, as in folder mode; an empty folder and an empty
    // pattern apply no test either; "*.*" means nothing more than its letters here.
    EXPECT_EQ(Search("/a/x.txt\n/b/noext\n", "", "", ""), 2);
    recorder.calls.clear();
    EXPECT_EQ(Search("/a/x.txt\n/b/noext\n", "", "", "*.*"), 0);
}

TEST_F(ListFileTest, StopEndsTheReading) {
    const std::string list = "/d/a.xls\n/d/b.xls\n/d/c.xls\n";
    recorder.stopAt = {"/d/a.xls", 1};
    EXPECT_EQ(Search(list, "", "", "*.xls"), 0);
    EXPECT_EQ(recorder.calls, (std::vector<SearchCall>{{"/d/a.xls", 1}}));

    recorder = SearchRecorder();
    recorder.stopAt = {"/d/b.xls", 0};
    EXPECT_EQ(Search(list, "", "", "*.xls"), 2);  // the stopping report is counted
    EXPECT_EQ(recorder.calls.back(), (SearchCall{"/d/b.xls", 0}));
    EXPECT_EQ(recorder.calls.size(), 4u);
}

TEST_F(ListFileTest, FailuresReachTheCaller) {
    EXPECT_THROW(FindFiles(fs, "", "", "", SearchRecorder::Record, "/missing.txt"), util::IoError);

    fs.AddFile("/broken.txt", "/d/a.xls\n/d/b.xls\n");
    fs.FailReading("/broken.txt", 4);
    EXPECT_THROW(FindFiles(fs, "", "", "", SearchRecorder::Record, "/broken.txt"), util::IoError);

    recorder = SearchRecorder();
    recorder.throwAt = {"/d/a.xls", 0};
    EXPECT_THROW(Search("/d/a.xls\n/d/b.xls\n", "", "", ""), std::runtime_error);
    EXPECT_EQ(recorder.calls.size(), 2u);
}

}  // namespace
