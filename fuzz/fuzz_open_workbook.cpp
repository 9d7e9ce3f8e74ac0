// libFuzzer entry point: opening a workbook file and reading every cell.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/WorkbookFuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::ExerciseWorkbookBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
