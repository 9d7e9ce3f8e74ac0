// Micro-benchmarks of the per-cell costs of a merge: the number rule, the cell text
// conversion and one late-bound call through the automation layer.
#include <benchmark/benchmark.h>

#include <QLocale>

#include "automation/Dispatch.h"
#include "merge/CellValueToText.h"
#include "merge/ParseSettingInt.h"

namespace {

using automation::Arg;
using automation::Variant;

void BM_ParseSettingInt(benchmark::State& state) {
    const char* texts[] = {"2", "  65536", "$1F", "-2147483648"};
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(merge::TryParseSettingInt(texts[i++ & 3]));
    }
}
BENCHMARK(BM_ParseSettingInt);

void BM_CellValueToText(benchmark::State& state) {
    const QLocale zh(QLocale::Chinese, QLocale::China);
    const Variant values[] = {Variant::FromUtf8("张三"), Variant(1234.5), Variant(42.0),
                              Variant::Date(45296.0)};
    const Variant& v = values[state.range(0)];
    for (auto _ : state) {
        benchmark::DoNotOptimize(merge::CellValueToText(v, zh));
    }
}
BENCHMARK(BM_CellValueToText)->DenseRange(0, 3)->ArgName("text|number|integer|date");

// An object with a handful of members, looked up by name at every call as a server does.
class Box : public automation::DispatchObject {
  public:
    Variant value{std::int32_t{0}};
    Variant Invoke(std::string_view member, automation::InvokeKind kind,
                   std::span<const Arg> args) override {
        static constexpr std::string_view kMembers[] = {"Visible", "WorkBooks", "Cells", "Value"};
        for (std::string_view m : kMembers) {
            if (!automation::MemberNameEquals(member, m))
                continue;
            if (kind == automation::InvokeKind::PropertyPut) {
                value = args.back().value();
                return {};
            }
            return value;
        }
        automation::ThrowUnknownMember("Box", member);
    }
};

void BM_LateBoundGet(benchmark::State& state) {
    Box box;
    for (auto _ : state) {
        benchmark::DoNotOptimize(automation::Get(box, "value"));
    }
}
BENCHMARK(BM_LateBoundGet);

void BM_LateBoundPutByRef(benchmark::State& state) {
    Box box;
    Variant text = Variant::FromUtf8("合并数据");
    for (auto _ : state) {
        automation::Put(box, "value", Arg::ByRef(text));
    }
}
BENCHMARK(BM_LateBoundPutByRef);

}  // namespace

BENCHMARK_MAIN();
