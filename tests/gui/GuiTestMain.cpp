// The window tests run inside the program's own application object, so an exception that
// escapes a handler is reported as in the program.
#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/batch/EngineRegistration.h"

int main(int argc, char** argv) {
    // Listing the tests at build time happens without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication application(argc, argv);
    batch::RegisterEmbeddedEngine();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
