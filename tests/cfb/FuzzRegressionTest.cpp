#include <gtest/gtest.h>

#include <cstdio>

#include "fuzz/WorkbookFuzzing.h"
#include "tests/support/TestFiles.h"

namespace {

// Each input either loads, survives a save and a reload with its cells unchanged, or is refused
// with a reason. A broken invariant aborts the test program, which leaves no gtest trace, so
// each input is named on the error output first.
TEST(FuzzRegressions, KeptInputsAreLoadedOrRefusedCleanly) {
    std::vector<std::string> kept =
        testsupport::FilesIn(EXCELMERGE_SOURCE_DIR "/tests/data/fuzz-regressions", "");
    std::erase_if(kept, [](const std::string& f) { return f.ends_with("/README"); });
    for (const std::string& path : kept) {
        std::fprintf(stderr, "input %s\n", path.c_str());
        fuzzing::ExerciseWorkbookBytes(testsupport::ReadWholeFile(path));
    }
}

// The samples are real workbooks: each loads, and each BIFF8 one (the BIFF5 ones are named
// *95*) is saved and loaded again with its cells unchanged.
TEST(FuzzRegressions, SampleWorkbooksLoadAndSurviveASave) {
    const std::vector<std::string> samples = testsupport::DebianSampleWorkbooks();
    if (samples.empty())
        GTEST_SKIP() << "no sample workbooks: install libspreadsheet-parseexcel-perl";
    for (const std::string& path : samples) {
        SCOPED_TRACE(path);
        std::fprintf(stderr, "input %s\n", path.c_str());
        const fuzzing::Outcome outcome =
            fuzzing::ExerciseWorkbookBytes(testsupport::ReadWholeFile(path));
        EXPECT_NE(outcome, fuzzing::Outcome::Refused);
        if (path.find("95") == std::string::npos) {
            EXPECT_EQ(outcome, fuzzing::Outcome::Saved);
        }
    }
}

}  // namespace
