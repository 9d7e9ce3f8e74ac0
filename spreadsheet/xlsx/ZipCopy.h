#pragma once

#include <map>
#include <optional>
#include <string>

namespace spreadsheet::xlsx {

// Writes a new zip archive from `original` (already opened and checked by libzip): every entry
// not in `changes` is copied as its original bytes (local header, compressed data, data
// descriptor, central directory record), the changed ones are deflated anew or left out, new
// ones appended. Nothing when the archive is one this copy does not handle (zip64, several
// disks, an inconsistent directory): the caller then lets libzip write it.
std::optional<std::string> RewriteByCopying(
    const std::string& original, const std::map<std::string, std::optional<std::string>>& changes);

}  // namespace spreadsheet::xlsx
