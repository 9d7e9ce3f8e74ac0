#pragma once

#include <string>

#include "util/search/FileSystem.h"

namespace util {

// Called by FindFiles: kind 1 for a notification (folder mode: the folder about to be listed;
// list-file mode: the line just read), kind 0 for a found file. Setting stop to true ends the
// search.
using TFindFileProc = void (*)(const std::string& path, int kind, bool& stop);

// Searches a folder and every folder below it (or, when listFileName is not empty, the paths
// listed in that text file) for files whose extension passes pattern and whose name contains
// keyword; reports each to callback (which may be null) and returns how many it reported.
int FindFiles(const std::string& keyword, const std::string& folder, const std::string& pattern,
              TFindFileProc callback, const std::string& listFileName);
// The same through a file-system seam (tests use an in-memory one).
int FindFiles(FileSystem& fs, const std::string& keyword, const std::string& folder,
              const std::string& pattern, TFindFileProc callback, const std::string& listFileName);

// True when the file-name part of path contains keyword, compared without letter case.
bool NameContains(const std::string& path, const std::string& keyword);

}  // namespace util
