// Open and save speed of .xlsx workbooks on a large generated package (65536 rows of numbers
// and texts), in bytes per second of the package file.

#include <benchmark/benchmark.h>

#include "spreadsheet/xlsx/XlsxCodec.h"
#include "tests/xlsx/XlsxTestSupport.h"

namespace {

using namespace xlsxtest;
using namespace spreadsheet;

constexpr int kRows = 65536;
constexpr int kColumns = 12;

void FillRows(Workbook& wb, int firstRow, int rows) {
    Worksheet& ws = wb.worksheet(0);
    for (int r = firstRow; r < firstRow + rows; ++r) {
        for (int c = 1; c <= kColumns; ++c) {
            Cell& cell = ws.Write(r, c, 0);
            if (c % 3 == 0) {
                cell.type = CellType::Text;
                cell.payload = wb.strings().Intern(
                    u"文本 " + std::u16string(1, static_cast<char16_t>(u'a' + r % 26)) +
                    std::u16string(1, static_cast<char16_t>(u'0' + c % 10)) +
                    std::u16string(1, static_cast<char16_t>(u'A' + (r / 26) % 26)));
            } else {
                cell.type = CellType::Number;
                cell.number = r * 1000.0 + c + 0.25;
            }
        }
    }
}

const std::string& LargePackage() {
    static const std::string bytes = [] {
        auto wb =
            xlsx::LoadXlsx("large.xlsx", MakePackage(OneSheetParts(SheetXml("<sheetData/>"))));
        FillRows(*wb, 1, kRows);
        return static_cast<xlsx::XlsxCodec&>(wb->codec()).SavedBytes(*wb);
    }();
    return bytes;
}

void BM_OpenLargeXlsx(benchmark::State& state) {
    const std::string& bytes = LargePackage();
    for (auto _ : state) {
        auto wb = xlsx::LoadXlsx("large.xlsx", bytes);
        benchmark::DoNotOptimize(wb->worksheet(0).cellCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
    state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
}
BENCHMARK(BM_OpenLargeXlsx)->Unit(benchmark::kMillisecond);

// A merge's save: a thousand rows of written cells below the large sheet's data.
void BM_SaveLargeXlsxWithWrittenRows(benchmark::State& state) {
    const std::string& bytes = LargePackage();
    auto wb = xlsx::LoadXlsx("large.xlsx", bytes);
    FillRows(*wb, kRows + 1, 1000);
    auto& codec = static_cast<xlsx::XlsxCodec&>(wb->codec());
    for (auto _ : state)
        benchmark::DoNotOptimize(codec.SavedBytes(*wb).size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_SaveLargeXlsxWithWrittenRows)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
