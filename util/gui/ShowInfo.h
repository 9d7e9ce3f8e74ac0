#pragma once

#include <string>

namespace util {

inline constexpr char kShowInfoCaption[] = "提示";

// A modal box with the caption "提示", the information icon and one OK button, owned by the
// application; returns once the user dismisses it. The text is UTF-8.
void ShowInfo(const std::string& message);

}  // namespace util
