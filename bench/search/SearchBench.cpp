// The folder search over a generated tree of 100,000 files in 5,000 folders, timed beside
// `find DIR -type f -iname '*KEYWORD*'` over the same tree. Both run warm, several times; the
// median of each is printed with their ratio.
//
//   search_bench [TREE_DIR] [RUNS]
//
// The tree is generated once into TREE_DIR (default: a folder in the system's temporary
// folder) and kept for later runs.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "util/search/FindFiles.h"

extern char** environ;

namespace {

constexpr int kTopFolders = 50;
constexpr int kSubfoldersEach = 99;  // 50 + 50 * 99 = 5,000 folders
constexpr int kFilesPerFolder = 20;  // 100,000 files
constexpr const char* kKeyword = "budget";
constexpr const char* kTreeMarker = ".generated-100000";

using Clock = std::chrono::steady_clock;

// A realistic mix: a fifth of the names hold the keyword in some letter case, and the
// extensions vary between workbooks, newer workbooks and other files.
std::string FileName(int folder, int file) {
    static const char* const kExtensions[] = {".xls", ".XLS", ".xlsx", ".txt", ".doc"};
    static const char* const kStems[] = {"report", "Budget", "notes", "summary", "BUDGETplan"};
    const int n = folder * kFilesPerFolder + file;
    return std::string(kStems[n % 5]) + "_" + std::to_string(n) + kExtensions[(n / 5) % 5];
}

void TouchFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    ::close(fd);
}

void GenerateTree(const std::string& root) {
    namespace fs = std::filesystem;
    if (fs::exists(root + "/" + kTreeMarker))
        return;
    std::printf("generating the tree in %s ...\n", root.c_str());
    fs::remove_all(root);
    int folderNumber = 0;
    auto fillFolder = [&](const std::string& folder) {
        fs::create_directories(folder);
        for (int file = 0; file < kFilesPerFolder; ++file)
            TouchFile(folder + "/" + FileName(folderNumber, file));
        ++folderNumber;
    };
    for (int top = 0; top < kTopFolders; ++top) {
        const std::string topFolder = root + "/dept" + std::to_string(top);
        fillFolder(topFolder);
        for (int sub = 0; sub < kSubfoldersEach; ++sub)
            fillFolder(topFolder + "/month" + std::to_string(sub));
    }
    TouchFile(root + "/" + kTreeMarker);
}

int g_found = 0;
void CountFound(const std::string&, int kind, bool&) {
    if (kind == 0)
        ++g_found;
}

double RunFindFiles(const std::string& root, int& found) {
    g_found = 0;
    const auto start = Clock::now();
    const int count = util::FindFiles(kKeyword, root, "*.xls", CountFound, "");
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    found = count;
    return seconds;
}

double RunFind(const std::string& root) {
    const std::string name = std::string("*") + kKeyword + "*";
    std::vector<std::string> args = {"find", root, "-type", "f", "-iname", name};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "find", &actions, nullptr, argv.data(), environ) != 0) {
        std::perror("find");
        std::exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "find failed\n");
        std::exit(1);
    }
    return seconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const std::string root =
        argc > 1 ? argv[1]
                 : (std::filesystem::temp_directory_path() / "excelmerge-search-bench").string();
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    GenerateTree(root);

    int found = 0;
    RunFindFiles(root, found);  // warm the caches for both
    RunFind(root);
    std::vector<double> ours;
    std::vector<double> theirs;
    for (int run = 0; run < runs; ++run) {  // interleaved, so both see the same machine load
        ours.push_back(RunFindFiles(root, found));
        theirs.push_back(RunFind(root));
    }
    const double oursMedian = Median(ours);
    const double findMedian = Median(theirs);
    std::printf("tree: %d folders, %d files; keyword \"%s\", pattern \"*.xls\"; %d runs\n",
                kTopFolders * (kSubfoldersEach + 1),
                kTopFolders * (kSubfoldersEach + 1) * kFilesPerFolder, kKeyword, runs);
    std::printf("FindFiles  median %8.2f ms  (%d files found)\n", oursMedian * 1e3, found);
    std::printf("find       median %8.2f ms\n", findMedian * 1e3);
    std::printf("ratio      %.2f (goal: at most 1.50)\n", oursMedian / findMedian);
    return 0;
}
