#include "app/batch/BatchCommand.h"

#include <fstream>
#include <functional>
#include <map>
#include <ostream>

#include "merge/MergeJob.h"

namespace batch {

namespace {

class ListOfPaths : public merge::ISourceList {
  public:
    std::vector<std::string> paths;
    int Count() const override { return static_cast<int>(paths.size()); }
    std::string Item(int index) const override { return paths.at(static_cast<std::size_t>(index)); }
    void Clear() override { paths.clear(); }
};

class ProgressLines : public merge::IProgressSink {
  public:
    ProgressLines(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
    void SetMaximum(int maximum) override { maximum_ = maximum; }
    void SetPosition(int position) override {
        if (enabled_ && position > 0)
            err_ << "workbook " << position << " of " << maximum_ << " done\n" << std::flush;
    }

  private:
    std::ostream& err_;
    bool enabled_;
    int maximum_ = 0;
};

class ReasonPrinter : public merge::IMergeObserver {
  public:
    explicit ReasonPrinter(std::ostream& err) : err_(err) {}
    void OnFailure(const std::string& reason) override { reason_ = reason; }
    const std::string& reason() const { return reason_; }
    void Print() const {
        if (!reason_.empty())
            err_ << "reason: " << reason_ << "\n";
    }

  private:
    std::ostream& err_;
    std::string reason_;
};

struct UsageError {
    std::string message;
};

// A worksheet number 1 to 10 becomes the selector index 0 to 9.
std::int32_t SheetIndexFromNumber(const std::string& option, const std::string& value) {
    static const char* kNumbers[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
    for (int i = 0; i < 10; ++i)
        if (value == kNumbers[i])
            return i;
    throw UsageError{option + " takes a worksheet number from 1 to 10, not \"" + value + "\""};
}

void ReadSourcesFile(const std::string& file, std::vector<std::string>& paths) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw UsageError{"cannot read the list of sources \"" + file + "\""};
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            paths.push_back(line);
    }
}

}  // namespace

std::string BatchUsage() {
    return R"(usage: excelmerge-batch [options] [--] SOURCE...

Merges the chosen rows of every SOURCE workbook, cell by cell as text, into the target
workbook below a row cursor that carries over from workbook to workbook, then saves it.
Every value is taken as the window would take it from its fields.

  --target PATH               the target workbook (it must exist)
  --target-sheet N            the target worksheet, 1 to 10 (no default: required)
  --target-start-row TEXT     the first target row (default 2)
  --target-from-column TEXT   the first target column (default 1)
  --target-to-column TEXT     the last target column (default 1); the number of columns
                              copied from every source row is this range's width
  --skip-column TEXT          skip target rows whose cell in this column holds text
  --source-sheet N            the worksheet read in every source, 1 to 10 (required)
  --source-from-row TEXT      the first source row (default 1)
  --source-to-row TEXT        the last source row (default 1)
  --source-from-column TEXT   the first source column (default 1)
  --filter-column TEXT        copy only source rows whose cell in this column holds text
  --sources-from FILE         read more source paths from FILE, one a line, after SOURCE...
  --help                      show this text

Messages of the job are printed on standard output. Exit status: 0 when the job completed
and saved the target, 1 when it did not (no worksheet chosen, or a failure, whose reason is
printed on standard error), 2 for a wrong command line.
)";
}

int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    bool progressToErr) {
    merge::TMergeSettings settings;
    ListOfPaths sources;
    std::vector<std::string> listFiles;
    try {
        using Setter = std::function<void(const std::string& option, const std::string& value)>;
        const std::map<std::string, Setter> options = {
            {"--target", [&](auto&, auto& v) { settings.TargetPath = v; }},
            {"--target-sheet",
             [&](auto& o, auto& v) { settings.TargetSheetIndex = SheetIndexFromNumber(o, v); }},
            {"--target-start-row", [&](auto&, auto& v) { settings.TargetStartRowText = v; }},
            {"--target-from-column", [&](auto&, auto& v) { settings.TargetFromColumnText = v; }},
            {"--target-to-column", [&](auto&, auto& v) { settings.TargetToColumnText = v; }},
            {"--skip-column",
             [&](auto&, auto& v) {
                 settings.SkipOccupiedRows = true;
                 settings.SkipColumnText = v;
             }},
            {"--source-sheet",
             [&](auto& o, auto& v) { settings.SourceSheetIndex = SheetIndexFromNumber(o, v); }},
            {"--source-from-row", [&](auto&, auto& v) { settings.SourceFromRowText = v; }},
            {"--source-to-row", [&](auto&, auto& v) { settings.SourceToRowText = v; }},
            {"--source-from-column", [&](auto&, auto& v) { settings.SourceFromColumnText = v; }},
            {"--filter-column",
             [&](auto&, auto& v) {
                 settings.FilterNonEmptyRows = true;
                 settings.FilterColumnText = v;
             }},
            {"--sources-from", [&](auto&, auto& v) { listFiles.push_back(v); }},
        };
        bool optionsEnded = false;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
                sources.paths.push_back(arg);
                continue;
            }
            if (arg == "--") {
                optionsEnded = true;
                continue;
            }
            if (arg == "--help") {
                out << BatchUsage();
                return kExitCompleted;
            }
            std::string name = arg, value;
            bool inlineValue = false;
            if (auto eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                inlineValue = true;
            }
            auto it = options.find(name);
            if (it == options.end())
                throw UsageError{"unknown option " + name};
            if (!inlineValue) {
                if (i + 1 >= args.size())
                    throw UsageError{name + " needs a value"};
                value = args[++i];
            }
            it->second(name, value);
        }
        for (const std::string& file : listFiles)
            ReadSourcesFile(file, sources.paths);
    } catch (const UsageError& e) {
        err << "excelmerge-batch: " << e.message << "\n"
            << "Try 'excelmerge-batch --help'.\n";
        return kExitUsage;
    }

    ProgressLines progress(err, progressToErr);
    ReasonPrinter reasons(err);
    std::vector<std::string> shown;
    merge::RunMergeJob(
        settings, sources, progress,
        [&](const std::string& message) {
            shown.push_back(message);
            out << message << "\n" << std::flush;
            if (message == merge::kMessageFailed)
                reasons.Print();
        },
        &reasons);
    const bool completed = shown.size() == 1 && shown[0] == merge::kMessageDone;
    return completed ? kExitCompleted : kExitFailed;
}

}  // namespace batch
