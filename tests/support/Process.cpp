#include "tests/support/Process.h"

#include <unistd.h>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <filesystem>

#include "tests/support/TestFiles.h"

namespace testsupport {

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         int timeoutSeconds, const std::string& workingDirectory) {
    ProcessResult result;
    QProcess process;
    QStringList args;
    for (const std::string& a : arguments)
        args << QString::fromStdString(a);
    if (!workingDirectory.empty())
        process.setWorkingDirectory(QString::fromStdString(workingDirectory));
    process.setStandardInputFile(QProcess::nullDevice());  // a program reading input ends
    process.start(QString::fromStdString(program), args);
    if (!process.waitForStarted(30000))
        return result;
    result.started = true;
    if (!process.waitForFinished(timeoutSeconds * 1000)) {
        process.kill();
        process.waitForFinished(5000);
        result.errors = "timed out";
        return result;
    }
    result.output = process.readAllStandardOutput().toStdString();
    result.errors = process.readAllStandardError().toStdString();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

bool HaveProgram(const std::string& program) {
    if (program.find('/') != std::string::npos)
        return ::access(program.c_str(), X_OK) == 0;
    return !QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty();
}

std::string ConvertWithLibreOffice(const std::string& input, const std::string& filter,
                                   const std::string& outputFolder, std::string* error) {
    if (!HaveProgram("soffice")) {
        *error = "LibreOffice (soffice) is not installed";
        return {};
    }
    TemporaryDirectory profile;
    ProcessResult run =
        RunProcess("soffice",
                   {"-env:UserInstallation=file://" + profile.path(), "--headless", "--norestore",
                    "--convert-to", filter, "--outdir", outputFolder, input},
                   180);
    std::string extension = filter.substr(0, filter.find(':'));
    std::string stem = std::filesystem::path(input).stem().string();
    std::string output = outputFolder + "/" + stem + "." + extension;
    if (!run.started || run.exitCode != 0 || !std::filesystem::exists(output)) {
        *error = "soffice did not convert " + input + ": " + run.errors + run.output;
        return {};
    }
    return output;
}

}  // namespace testsupport
