// Open and save speed of the .xls reader and writer on a large generated workbook stream
// (65536 rows of numbers and texts), in bytes per second of workbook stream.

#include <benchmark/benchmark.h>

#include "spreadsheet/cfb/CompoundFile.h"
#include "spreadsheet/xls/XlsFormat.h"
#include "tests/xls/BiffBuilder.h"
#include "tests/xls/XlsTestSupport.h"

namespace {

using namespace xlstest;

constexpr int kRows = 65536;
constexpr int kColumns = 12;

const std::string& LargeStream() {
    static const std::string stream = [] {
        auto g = StandardXfs();
        g.push_back(Rec(rec::kSst, U32(0) + U32(0)));
        g.push_back(Rec(rec::kExtSst, U16(8)));
        const std::vector<std::string> sheet = {
            Rec(rec::kIndex, std::string(16, '\0')), Rec(rec::kDefColWidth, U16(8)),
            Dimensions(0, 0, 0, 0), Rec(0x023E, std::string(18, '\0'))};
        auto loaded = LoadStream(BuildStream(g, {{u"Data", sheet}, {u"Other", {Number(0, 0, 1)}}}));
        auto& ws = loaded.workbook->worksheet(0);
        for (int r = 1; r <= kRows; ++r) {
            for (int c = 1; c <= kColumns; ++c) {
                auto& cell = ws.Write(r, c, 15);
                if (c % 3 == 0) {
                    cell.type = spreadsheet::CellType::Text;
                    cell.payload = loaded.workbook->strings().Intern(
                        u"文本 " + std::u16string(1, static_cast<char16_t>(u'a' + r % 26)) +
                        std::u16string(1, static_cast<char16_t>(u'0' + c % 10)) +
                        std::u16string(1, static_cast<char16_t>(u'A' + (r / 26) % 26)));
                } else {
                    cell.type = spreadsheet::CellType::Number;
                    cell.number = r * 1000.0 + c + 0.25;
                }
            }
        }
        return loaded.codec->SavedStream(*loaded.workbook);
    }();
    return stream;
}

void BM_OpenLargeWorkbookStream(benchmark::State& state) {
    const std::string& stream = LargeStream();
    for (auto _ : state) {
        auto parsed = spreadsheet::xls::ParseWorkbookStream("large.xls", stream);
        benchmark::DoNotOptimize(parsed.workbook->worksheet(0).cellCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(stream.size()));
    state.counters["stream_MB"] = static_cast<double>(stream.size()) / 1e6;
}
BENCHMARK(BM_OpenLargeWorkbookStream)->Unit(benchmark::kMillisecond);

// A merge's save: a thousand rows of written cells into the large sheet.
void BM_SaveLargeWorkbookStreamWithWrittenRows(benchmark::State& state) {
    const std::string& stream = LargeStream();
    auto loaded = LoadStream(stream);
    auto& ws = loaded.workbook->worksheet(0);
    for (int r = 2000; r < 3000; ++r) {
        for (int c = 1; c <= 4; ++c) {
            auto& cell = ws.Write(r, c, 15);
            cell.type = spreadsheet::CellType::Text;
            cell.payload = loaded.workbook->strings().Intern(
                u"新" + std::u16string(1, static_cast<char16_t>(u'0' + r % 10)));
        }
    }
    for (auto _ : state) {
        auto saved = loaded.codec->SavedStream(*loaded.workbook);
        benchmark::DoNotOptimize(saved.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_SaveLargeWorkbookStreamWithWrittenRows)->Unit(benchmark::kMillisecond);

// The same workbook as a whole .xls file: the compound file around the stream, opened and
// saved through LoadXls and the codec (in memory, no disk).
const std::string& LargeFile() {
    static const std::string file = [] {
        spreadsheet::cfb::CompoundFile container;
        container.root().kind = spreadsheet::cfb::Entry::Kind::Storage;
        container.root().name = "Root Entry";
        std::map<std::string, std::string> streams{{"Workbook", LargeStream()}};
        return container.Serialize(streams);
    }();
    return file;
}

void BM_OpenLargeXlsFile(benchmark::State& state) {
    const std::string& file = LargeFile();
    for (auto _ : state) {
        auto wb = spreadsheet::xls::LoadXls("large.xls", file);
        benchmark::DoNotOptimize(wb->worksheet(0).cellCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(file.size()));
    state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
}
BENCHMARK(BM_OpenLargeXlsFile)->Unit(benchmark::kMillisecond);

void BM_SaveLargeXlsFileWithWrittenRows(benchmark::State& state) {
    const std::string& file = LargeFile();
    auto wb = spreadsheet::xls::LoadXls("large.xls", file);
    auto& ws = wb->worksheet(0);
    for (int r = 2000; r < 3000; ++r) {
        for (int c = 1; c <= 4; ++c) {
            auto& cell = ws.Write(r, c, 15);
            cell.type = spreadsheet::CellType::Number;
            cell.number = r + c;
        }
    }
    auto& codec = dynamic_cast<spreadsheet::xls::XlsCodec&>(wb->codec());
    for (auto _ : state) {
        auto saved = codec.SavedBytes(*wb);
        benchmark::DoNotOptimize(saved.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(file.size()));
}
BENCHMARK(BM_SaveLargeXlsFileWithWrittenRows)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
