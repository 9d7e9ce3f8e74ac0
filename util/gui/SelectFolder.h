#pragma once

#include <functional>
#include <optional>
#include <string>

namespace util {

// The modal folder prompt titled "选择目录". On OK replaces folder with the chosen one and
// returns true; on Cancel leaves it and returns false. With allowCreate the prompt also has an
// editable path; when that path names no folder it asks whether to create it, and Yes accepts
// the path as typed (the prompt itself never creates anything) while No keeps the prompt open.
// An empty folder, or one that names no folder, starts the prompt at the current folder.
bool SelectFolder(bool allowCreate, std::string& folder);

// While an answerer is set, SelectFolder asks it instead of showing the prompt, so tests can
// drive the commands that use it. It gets allowCreate and the folder the prompt would start
// at, and gives the chosen folder or nothing for Cancel. Returns the previous answerer.
using FolderPromptAnswerer =
    std::function<std::optional<std::string>(bool allowCreate, const std::string& startFolder)>;
FolderPromptAnswerer SetFolderPromptAnswerer(FolderPromptAnswerer answerer);

}  // namespace util
