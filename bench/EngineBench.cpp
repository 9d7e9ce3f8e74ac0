// One Cells+Value round trip through the embedded spreadsheet application, as the merge job
// makes it for every cell: a late-bound Cells get, then a Value get or put on the cell.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QLocale>
#include <cstdio>

#include "automation/Dispatch.h"
#include "bench/corpus/BlankWorkbook.h"
#include "spreadsheet/application/SpreadsheetApplication.h"

namespace {

using automation::Arg;
using automation::Variant;

struct OpenInstance {
    std::string path = "/tmp/excelmerge-bench-engine-" + std::to_string(::getpid()) + ".xls";
    std::shared_ptr<automation::DispatchObject> app;
    OpenInstance() {
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        bench::WriteBlankWorkbook(path, {});
        std::vector<bench::TextCell> cells;
        for (int r = 1; r <= 100; ++r)
            for (int c = 1; c <= 10; ++c)
                cells.push_back({r, c, "员工" + std::to_string(r * c)});
        bench::FillWorkbook(path, cells);
        app = spreadsheet::CreateSpreadsheetApplication();
        auto books = automation::AsObject(automation::Get(*app, "WorkBooks"), "WorkBooks");
        automation::Call(*books, "Open", {Arg::ByVal(Variant::FromUtf8(path))});
    }
    ~OpenInstance() { std::remove(path.c_str()); }
};

void BM_CellsValueGet(benchmark::State& state) {
    OpenInstance instance;
    Variant column(std::int32_t{3});
    std::int32_t row = 1;
    for (auto _ : state) {
        auto cell = automation::AsObject(
            automation::Get(*instance.app, "Cells", {Arg::ByVal(row), Arg::ByRef(column)}),
            "Cells");
        benchmark::DoNotOptimize(automation::Get(*cell, "Value"));
        row = row % 100 + 1;
    }
}
BENCHMARK(BM_CellsValueGet);

void BM_CellsValuePut(benchmark::State& state) {
    OpenInstance instance;
    Variant rowRef(std::int32_t{1});
    Variant text = Variant::FromUtf8("北京市海淀区");
    std::int32_t column = 1;
    for (auto _ : state) {
        auto cell = automation::AsObject(
            automation::Get(*instance.app, "Cells", {Arg::ByRef(rowRef), Arg::ByVal(column)}),
            "Cells");
        automation::Put(*cell, "Value", Arg::ByRef(text));
        column = column % 200 + 1;
    }
}
BENCHMARK(BM_CellsValuePut);

}  // namespace

BENCHMARK_MAIN();
