#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes away.
class TemporaryDirectory {
  public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::string& path() const { return path_; }
    std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }

  private:
    std::string path_;
};

std::string ReadWholeFile(const std::string& path);  // throws std::runtime_error
void WriteWholeFile(const std::string& path, std::string_view data);
std::vector<std::string> FilesIn(const std::string& folder, std::string_view suffix);

// The .xls files that Debian's packages ship as samples: Spreadsheet::ParseExcel's
// examples/sample/Excel folder and python3-xlrd's examples. Missing packages give fewer files.
std::vector<std::string> DebianSampleWorkbooks();

}  // namespace testsupport
