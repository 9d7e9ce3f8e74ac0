// The cost of one cell read and one cell write through the automation layer, as the merge
// makes them: Cells with a row and a column, then a get or a put of Value.
#include <benchmark/benchmark.h>

#include "automation/Dispatch.h"
#include "spreadsheet/application/SpreadsheetApplication.h"
#include "tests/spreadsheet/FakeCodec.h"

namespace {

using automation::Arg;
using automation::Variant;
using namespace spreadsheet;

constexpr int kRows = 1000;
constexpr int kColumns = 10;

std::shared_ptr<automation::DispatchObject> OpenFilledWorkbook() {
    ApplicationOptions options;
    options.locale = QLocale(QLocale::Chinese, QLocale::China);
    options.load = [](const std::string& path) {
        auto book = fake::MakeFakeWorkbook(path);
        for (int r = 1; r <= kRows; ++r)
            for (int c = 1; c <= kColumns; ++c)
                book->worksheet(0).Load(
                    r, c,
                    c % 2 ? fake::NumberCell(r * 1.5)
                          : fake::TextCell(*book,
                                           u"文本" + std::u16string(1, char16_t(u'a' + r % 26))));
        return book;
    };
    auto app = CreateSpreadsheetApplication(std::move(options));
    automation::Call(*automation::AsObject(automation::Get(*app, "WorkBooks"), "WorkBooks"), "Open",
                     {Arg::ByVal(u"bench.fake")});
    return app;
}

void CellsValueGet(benchmark::State& state) {
    auto app = OpenFilledWorkbook();
    Variant row(std::int32_t{1}), column(std::int32_t{1});
    int r = 0, c = 0;
    for (auto _ : state) {
        row = Variant(std::int32_t{r + 1});
        column = Variant(std::int32_t{c + 1});
        const Arg args[] = {Arg::ByRef(row), Arg::ByRef(column)};
        Variant cell = app->Invoke("Cells", automation::InvokeKind::PropertyGet, args);
        Variant value =
            cell.object()->Invoke("Value", automation::InvokeKind::MethodOrPropertyGet, {});
        benchmark::DoNotOptimize(value);
        if (++c == kColumns) {
            c = 0;
            r = (r + 1) % kRows;
        }
    }
}
BENCHMARK(CellsValueGet);

// Writes one text (a number, a text, a date) over and over into the cells of a block.
void CellsValuePut(benchmark::State& state, const char16_t* text) {
    auto app = OpenFilledWorkbook();
    Variant row(std::int32_t{1}), column(std::int32_t{1});
    Variant value(text);
    int r = 0, c = 0;
    for (auto _ : state) {
        row = Variant(std::int32_t{r + 1});
        column = Variant(std::int32_t{c + 1});
        const Arg args[] = {Arg::ByRef(row), Arg::ByVal(column)};
        Variant cell = app->Invoke("Cells", automation::InvokeKind::PropertyGet, args);
        const Arg put[] = {Arg::ByRef(value)};
        cell.object()->Invoke("Value", automation::InvokeKind::PropertyPut, put);
        if (++c == kColumns) {
            c = 0;
            r = (r + 1) % kRows;
        }
    }
}
BENCHMARK_CAPTURE(CellsValuePut, integer, u"12345");
BENCHMARK_CAPTURE(CellsValuePut, decimal, u"-3.25");
BENCHMARK_CAPTURE(CellsValuePut, text, u"张三");
BENCHMARK_CAPTURE(CellsValuePut, id_number, u"110101199003071234");
BENCHMARK_CAPTURE(CellsValuePut, date, u"2024/1/5");
BENCHMARK_CAPTURE(CellsValuePut, empty, u"");

}  // namespace

BENCHMARK_MAIN();
