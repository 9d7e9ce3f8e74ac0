#pragma once

#include <functional>
#include <string>

#include "merge/MergeSettings.h"

namespace merge {

// The ordered list of source workbooks: the job reads it from the top down and empties it
// in its clean-up.
class ISourceList {
  public:
    virtual ~ISourceList() = default;
    virtual int Count() const = 0;
    virtual std::string Item(int index) const = 0;
    virtual void Clear() = 0;
};

// Where the job reports progress: one step per source workbook.
class IProgressSink {
  public:
    virtual ~IProgressSink() = default;
    virtual void SetMaximum(int maximum) = 0;
    virtual void SetPosition(int position) = 0;
};

// Shows a message to the user and returns once it is dismissed.
using ShowInfoFunction = std::function<void(const std::string& message)>;

// Told the reason of a failed run (which step, which file, what was refused). The window never
// shows it; the batch command prints it.
class IMergeObserver {
  public:
    virtual ~IMergeObserver() = default;
    virtual void OnFailure(const std::string& reason) = 0;
};

inline constexpr char kProgIdSpreadsheet[] = "Excel.Application";
inline constexpr char kMessageSelectSheets[] = "请选择合并或提取文件的工作表";
inline constexpr char kMessageDone[] = "任务完成";
inline constexpr char kMessageFailed[] = "合并出错,请检查设置或是否安装有excel软件";

// Runs one merge against two instances of "Excel.Application": copies the chosen rows of every
// source workbook, cell by cell as text, below a row cursor that carries over from workbook to
// workbook, then saves the target, empties the list and quits both instances. Every outcome
// reaches the user through showInfo; nothing is thrown.
void RunMergeJob(const TMergeSettings& settings, ISourceList& sources, IProgressSink& progress,
                 const ShowInfoFunction& showInfo, IMergeObserver* observer = nullptr);

}  // namespace merge
