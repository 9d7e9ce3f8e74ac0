// FindFiles over a real temporary tree: what the operating system lists, links, unreadable
// folders, and paths that open.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "SearchRecorder.h"
#include "util/search/FindFiles.h"

namespace {

namespace fs = std::filesystem;

class RealTreeTest : public SearchTest {
  protected:
    RealTreeTest() {
        std::string pattern = (fs::path(::testing::TempDir()) / "findfiles-XXXXXX").string();
        EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern + "/Top";
        fs::create_directories(root);
    }
    ~RealTreeTest() override {
        std::error_code ignored;
        fs::permissions(root + "/Locked", fs::perms::owner_all, ignored);
        fs::remove_all(fs::path(root).parent_path(), ignored);
    }

    void File(const std::string& relative) {
        const fs::path path = fs::path(root) / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
    }

    // The calls FindFiles should make for folder, built from the standard library's own walk
    // in the order the directory lists its entries: files with an .xls extension in any letter
    // case, links counted as what they lead to but never followed.
    static void ExpectedWalk(const std::string& folder, std::vector<SearchCall>& calls) {
        calls.push_back({folder, 1});
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            const std::string path = folder + "/" + entry.path().filename().string();
            std::error_code error;
            const bool link = entry.is_symlink();
            const fs::file_status status = fs::status(entry.path(), error);
            if (error)
                continue;  // a link that leads nowhere
            if (fs::is_directory(status)) {
                if (!link)
                    ExpectedWalk(path, calls);
                continue;
            }
            std::string extension = entry.path().extension().string();
            std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
            if (!extension.empty() && std::string("*.xls").find(extension) != std::string::npos)
                calls.push_back({path, 0});
        }
    }

    std::string root;
};

TEST_F(RealTreeTest, ReportsWhatTheDirectoryListsDepthFirst) {
    File("Report.XLS");
    File("notes.txt");
    File("Sub/Jan.xls");
    File("Sub/Deeper/Feb.xls");
    File(".hidden/Mar.xls");
    File(".secret.xls");
    File("一月/报表.xls");
    File("noext");
    fs::create_directory(root + "/Empty");
    fs::create_directory_symlink("..", root + "/Sub/loop");  // back to Top: no endless descent
    fs::create_symlink("Sub/Jan.xls", root + "/alias.xls");
    fs::create_symlink("nowhere.xls", root + "/dangling.xls");

    std::vector<SearchCall> expected;
    ExpectedWalk(root, expected);
    const int count = util::FindFiles("", root, "*.xls", SearchRecorder::Record, "");

    EXPECT_EQ(recorder.calls, expected);
    EXPECT_EQ(count, static_cast<int>(recorder.Found().size()));
    std::vector<std::string> found = recorder.Found();
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{root + "/.hidden/Mar.xls", root + "/.secret.xls",
                                               root + "/Report.XLS", root + "/Sub/Deeper/Feb.xls",
                                               root + "/Sub/Jan.xls", root + "/alias.xls",
                                               root + "/一月/报表.xls"}));
    for (const std::string& path : found)
        EXPECT_TRUE(std::ifstream(path).good()) << path << " does not open";
}

TEST_F(RealTreeTest, KeywordAndTrailingSlash) {
    File("Sub/JanReport.xls");
    File("Jan/other.xls");
    EXPECT_EQ(util::FindFiles("jan", root + "/", "*.xls", SearchRecorder::Record, ""), 1);
    EXPECT_EQ(recorder.Found(), std::vector<std::string>{root + "/Sub/JanReport.xls"});
    EXPECT_EQ(recorder.calls.front(), (SearchCall{root, 1}));
}

TEST_F(RealTreeTest, AFolderThatCannotBeListedYieldsNothing) {
    EXPECT_EQ(util::FindFiles("", root + "/Missing", "*.xls", SearchRecorder::Record, ""), 0);
    EXPECT_EQ(recorder.calls, (std::vector<SearchCall>{{root + "/Missing", 1}}));

    File("Locked/inside.xls");
    File("open.xls");
    fs::permissions(root + "/Locked", fs::perms::none);
    if (DIR* dir = ::opendir((root + "/Locked").c_str())) {
        ::closedir(dir);
        GTEST_SKIP() << "this user lists folders whatever their permissions";
    }
    recorder.calls.clear();
    EXPECT_EQ(util::FindFiles("", root, "*.xls", SearchRecorder::Record, ""), 1);
    EXPECT_EQ(recorder.Found(), std::vector<std::string>{root + "/open.xls"});
}

}  // namespace
