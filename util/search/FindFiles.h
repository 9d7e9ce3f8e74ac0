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
//
// Folder mode: the folder is notified before it is listed, and its files and subfolders are
// handled depth-first in the order the file system lists them. A reported path is the folder
// as given (without one trailing "/"), "/" and the name as listed, so it opens. The extension,
// lower-cased, must occur within the lower-cased pattern, unless the pattern holds "*.*" or is
// empty; an empty keyword passes every name. Links are reported as the files they lead to but
// never descended into; a folder that can't be listed yields nothing; a failure while handling
// one entry (the callback's included) is swallowed and that entry counts for nothing, except
// for the notification of the folder given, which reaches the caller. An empty folder text
// searches nothing. A report after which stop is set is not counted.
//
// List-file mode: each line (ended by CR, LF or CR LF; Ctrl+Z ends the text) is notified,
// then must hold the lower-cased folder text, an extension as read that occurs within the
// lower-cased pattern (when the pattern isn't empty) and the keyword (when it isn't empty). A
// passing line is counted, then reported as read. Failures, IoError for the list file
// included, reach the caller.
//
// A stop set by the callback ends the whole search.
int FindFiles(const std::string& keyword, const std::string& folder, const std::string& pattern,
              TFindFileProc callback, const std::string& listFileName);
// The same through a file-system seam (tests use an in-memory one).
int FindFiles(FileSystem& fs, const std::string& keyword, const std::string& folder,
              const std::string& pattern, TFindFileProc callback, const std::string& listFileName);

// True when the name part of path (after its last "/") contains keyword, compared by Unicode
// upper case and only where a character begins. False for an empty keyword or name part.
bool NameContains(const std::string& path, const std::string& keyword);

}  // namespace util
