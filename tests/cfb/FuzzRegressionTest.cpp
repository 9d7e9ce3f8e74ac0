#include <gtest/gtest.h>

#include "fuzz/WorkbookFuzzing.h"
#include "tests/support/TestFiles.h"

namespace {

// Each input either loads, survives a save and a reload with its cells unchanged, or is refused
// with a reason; a broken invariant aborts the test program.
TEST(FuzzRegressions, KeptInputsAndSampleWorkbooks) {
    std::vector<std::string> inputs =
        testsupport::FilesIn(EXCELMERGE_SOURCE_DIR "/tests/data/fuzz-regressions", "");
    std::erase_if(inputs, [](const std::string& f) { return f.ends_with("/README"); });
    for (const std::string& f : testsupport::DebianSampleWorkbooks())
        inputs.push_back(f);
    if (inputs.empty())
        GTEST_SKIP() << "no inputs: no regressions kept and no sample workbooks";
    for (const std::string& path : inputs) {
        SCOPED_TRACE(path);
        fuzzing::ExerciseWorkbookBytes(testsupport::ReadWholeFile(path));
    }
}

}  // namespace
