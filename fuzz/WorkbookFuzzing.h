#pragma once

#include <string_view>

namespace fuzzing {

// Feeds bytes to everything that reads a workbook file: the compound-file container (parse,
// write back, parse again: the same streams), and the engine's loader, reading every cell's
// value; a workbook that loads is then changed in two cells, saved to memory, and loaded again,
// and must give the written values and every other cell unchanged.
// A refusal (SpreadsheetError) is a fine outcome. A broken invariant aborts, so the fuzzer
// reports it like a crash.
enum class Outcome {
    Refused,  // the loader refused the bytes with a reason
    Loaded,   // loaded, every cell read; saving refused (BIFF5) or there was no worksheet
    Saved,    // also saved and loaded again with the written cells and nothing else changed
};
Outcome ExerciseWorkbookBytes(std::string_view bytes);

}  // namespace fuzzing
