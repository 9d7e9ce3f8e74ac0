#pragma once

#include <string>

namespace util {

// The modal folder prompt titled "选择目录". On OK replaces folder with the chosen one and
// returns true; on Cancel leaves it and returns false.
bool SelectFolder(bool allowCreate, std::string& folder);

}  // namespace util
