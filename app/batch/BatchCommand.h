#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace batch {

// Exit codes of the batch command.
enum ExitCode : int {
    kExitCompleted = 0,  // the job completed and saved the target
    kExitFailed = 1,     // no worksheet selected, or the job failed
    kExitUsage = 2,      // the command line was wrong
};

// Runs the merge job headless from a command line (args without the program name). Prints
// every message of the job on its own line to out, the failure's own reason to err, and a
// progress line per workbook to err when progressToErr is set.
int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    bool progressToErr);

std::string BatchUsage();

}  // namespace batch
