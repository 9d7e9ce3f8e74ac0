#pragma once

#include <cstdint>
#include <string>

namespace merge {

// Every parameter of a merge, as the window holds it: texts exactly as typed, two on/off
// states and two selector indices (-1 for no selection). Nothing is converted or checked when
// the record is filled; the job parses a number field only when it needs the number.
struct TMergeSettings {
    std::string TargetPath;
    std::int32_t TargetSheetIndex = -1;
    std::string TargetStartRowText = "2";
    std::string TargetFromColumnText = "1";
    std::string TargetToColumnText = "1";
    bool SkipOccupiedRows = false;
    std::string SkipColumnText = "1";
    std::int32_t SourceSheetIndex = -1;
    std::string SourceFromRowText = "1";
    std::string SourceToRowText = "1";
    std::string SourceFromColumnText = "1";
    bool FilterNonEmptyRows = false;
    std::string FilterColumnText = "1";
};

}  // namespace merge
