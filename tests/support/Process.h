#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
    bool started = false;  // false when the program could not be run at all
    int exitCode = -1;
    std::string output;  // standard output
    std::string errors;  // standard error
};

// Runs a program (no shell) and waits up to timeoutSeconds for it.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         int timeoutSeconds = 120, const std::string& workingDirectory = {});

// True when an executable of that name or path can be found.
bool HaveProgram(const std::string& program);

// Converts input with LibreOffice (`soffice --headless --convert-to filter`) into outputFolder,
// with a profile folder of its own so that parallel runs do not collide. Returns the path of
// the converted file, or an empty string with the reason in *error.
std::string ConvertWithLibreOffice(const std::string& input, const std::string& filter,
                                   const std::string& outputFolder, std::string* error);

}  // namespace testsupport
