#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "app/batch/BatchCommand.h"
#include "app/batch/EngineRegistration.h"

int main(int argc, char** argv) {
    batch::RegisterEmbeddedEngine();
    std::vector<std::string> args(argv + 1, argv + argc);
    return batch::RunBatchCommand(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}
