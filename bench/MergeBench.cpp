// The whole merge, measured: generates a corpus with the embedded spreadsheet application,
// runs the merge job over it in a fresh child process per configuration (so that each peak
// memory figure is its own), and prints time, throughput and memory beside the floor of
// merely opening every source and saving the target.
//
//   bench_merge [--sources N] [--rows R] [--columns C] [--dir DIR]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLocale>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "bench/corpus/BlankWorkbook.h"
#include "merge/MergeJob.h"
#include "spreadsheet/application/SpreadsheetApplication.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    int sources = 200;
    int rows = 300;
    int columns = 10;
    std::string dir = "/tmp/excelmerge-bench";
};

struct Figures {
    double seconds = 0;
    long peakKiB = 0;
    std::uint64_t bytesRead = 0, bytesWritten = 0;
    bool ok = false;
};

class Paths : public merge::ISourceList {
  public:
    std::vector<std::string> items;
    int Count() const override { return static_cast<int>(items.size()); }
    std::string Item(int i) const override { return items.at(static_cast<std::size_t>(i)); }
    void Clear() override { items.clear(); }
};
class NoProgress : public merge::IProgressSink {
  public:
    void SetMaximum(int) override {}
    void SetPosition(int) override {}
};

std::string SourcePath(const Options& o, int i) {
    return o.dir + "/source-" + std::to_string(o.rows) + "x" + std::to_string(o.columns) + "-" +
           std::to_string(i) + ".xls";
}

// Mixed texts, numbers and dates, as an office's monthly sheets hold them.
std::string CellText(int source, int row, int column) {
    switch (column % 5) {
        case 0:
            return "员工" + std::to_string(source * 1000 + row);
        case 1:
            return std::to_string(row * 37 % 10000);
        case 2:
            return std::to_string(2024 - column % 3) + "/" + std::to_string(row % 12 + 1) + "/" +
                   std::to_string(row % 28 + 1);
        case 3:
            return std::to_string(row) + "." + std::to_string(column * 7 % 100 + 1);
        default:
            return "北京市海淀区中关村大街" + std::to_string(row % 97) + "号";
    }
}

void MakeCorpus(const Options& o) {
    fs::create_directories(o.dir);
    bench::BlankWorkbookLayout targetLayout;
    targetLayout.sheetNames = {u"汇总", u"说明"};
    targetLayout.columnWidths = std::vector<int>(static_cast<std::size_t>(o.columns), 3200);
    bench::WriteBlankWorkbook(o.dir + "/target-template.xls", targetLayout);
    int made = 0;
    for (int i = 0; i < o.sources; ++i) {
        std::string path = SourcePath(o, i);
        if (fs::exists(path))
            continue;
        bench::WriteBlankWorkbook(path, {});
        std::vector<bench::TextCell> cells;
        cells.reserve(static_cast<std::size_t>(o.rows * o.columns));
        for (int r = 1; r <= o.rows; ++r)
            for (int c = 1; c <= o.columns; ++c)
                cells.push_back({r, c, CellText(i, r, c)});
        bench::FillWorkbook(path, cells);
        ++made;
    }
    if (made)
        std::cerr << "made " << made << " source workbooks in " << o.dir << "\n";
}

// Runs one merge in a child process and reports its figures through a pipe.
Figures MeasureMerge(const Options& o, int sources, bool copyCells) {
    const std::string target = o.dir + "/target.xls";
    fs::copy_file(o.dir + "/target-template.xls", target, fs::copy_options::overwrite_existing);
    int fds[2];
    if (pipe(fds) != 0)
        std::abort();
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        spreadsheet::RegisterSpreadsheetApplication();
        merge::TMergeSettings s;
        s.TargetPath = target;
        s.TargetSheetIndex = 0;
        s.SourceSheetIndex = 0;
        s.TargetStartRowText = "2";
        s.SourceFromRowText = "1";
        s.SourceToRowText = copyCells ? std::to_string(o.rows) : "0";
        s.SourceFromColumnText = "1";
        s.TargetFromColumnText = "1";
        s.TargetToColumnText = std::to_string(o.columns);
        Paths list;
        Figures f;
        for (int i = 0; i < sources; ++i) {
            list.items.push_back(SourcePath(o, i));
            f.bytesRead += fs::file_size(list.items.back());
        }
        f.bytesRead += fs::file_size(target);
        NoProgress progress;
        std::vector<std::string> messages;
        auto start = std::chrono::steady_clock::now();
        merge::RunMergeJob(s, list, progress, [&](const std::string& m) { messages.push_back(m); });
        f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        f.ok = messages.size() == 1 && messages[0] == merge::kMessageDone;
        f.bytesWritten = fs::file_size(target);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        f.peakKiB = usage.ru_maxrss;
        if (write(fds[1], &f, sizeof f) != sizeof f)
            _exit(2);
        _exit(0);
    }
    close(fds[1]);
    Figures f;
    if (read(fds[0], &f, sizeof f) != sizeof f)
        f.ok = false;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return f;
}

double SecondsToReadBytes(const Options& o, int sources) {
    auto start = std::chrono::steady_clock::now();
    std::uint64_t total = 0;
    std::vector<char> buf(1 << 20);
    for (int i = 0; i < sources; ++i) {
        std::ifstream in(SourcePath(o, i), std::ios::binary);
        while (in.read(buf.data(), static_cast<std::streamsize>(buf.size())) || in.gcount() > 0)
            total += static_cast<std::uint64_t>(in.gcount());
    }
    if (total == 0)
        std::cerr << "nothing read\n";
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void PrintRow(const char* label, int sources, const Options& o, const Figures& f) {
    const double cells = static_cast<double>(sources) * o.rows * o.columns;
    const double mb = 1024.0 * 1024.0;
    std::printf("%-22s %5d %9.0f %8.3f %12.0f %8.3f %9.1f %9.1f %8.1f %s\n", label, sources, cells,
                f.seconds, cells / f.seconds, f.seconds * 1e6 / cells, f.bytesRead / mb / f.seconds,
                f.bytesWritten / mb / f.seconds, f.peakKiB / 1024.0,
                f.ok ? "" : "(the job did not complete)");
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--sources")
            o.sources = std::atoi(argv[i + 1]);
        else if (a == "--rows")
            o.rows = std::atoi(argv[i + 1]);
        else if (a == "--columns")
            o.columns = std::atoi(argv[i + 1]);
        else if (a == "--dir")
            o.dir = argv[i + 1];
        else {
            std::cerr << "usage: bench_merge [--sources N] [--rows R] [--columns C] [--dir DIR]\n";
            return 2;
        }
    }
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    spreadsheet::RegisterSpreadsheetApplication();
    MakeCorpus(o);

    std::uint64_t largest = 0;
    for (int i = 0; i < o.sources; ++i)
        largest = std::max<std::uint64_t>(largest, fs::file_size(SourcePath(o, i)));
    std::printf("corpus: %d sources of %d rows x %d columns, largest source %.1f KiB\n\n",
                o.sources, o.rows, o.columns, largest / 1024.0);
    std::printf("%-22s %5s %9s %8s %12s %8s %9s %9s %8s\n", "run", "srcs", "cells", "seconds",
                "cells/s", "us/cell", "MB/s read", "MB/s wrt", "peak MB");

    SecondsToReadBytes(o, o.sources);  // warm the page cache
    const double readSeconds = SecondsToReadBytes(o, o.sources);
    Figures floor = MeasureMerge(o, o.sources, false);
    std::printf("%-22s %5d %9s %8.3f %12s %8s %9s %9s %8.1f\n", "floor: open+save only", o.sources,
                "0", floor.seconds, "-", "-", "-", "-", floor.peakKiB / 1024.0);
    std::printf("%-22s %5d %9s %8.3f\n", "read the files' bytes", o.sources, "0", readSeconds);

    for (int n : {o.sources / 4, o.sources / 2, o.sources}) {
        if (n <= 0)
            continue;
        Figures f = MeasureMerge(o, n, true);
        PrintRow(n == o.sources ? "merge" : "merge (fewer sources)", n, o, f);
    }
    Figures full = MeasureMerge(o, o.sources, true);
    std::printf(
        "\nmerge / floor: %.2f   peak memory budget: %.1f MB (64 MB + 3 x (target + largest "
        "source))\n",
        full.seconds / floor.seconds,
        64.0 + 3.0 * (full.bytesWritten + largest) / (1024.0 * 1024.0));
    return full.ok ? 0 : 1;
}
