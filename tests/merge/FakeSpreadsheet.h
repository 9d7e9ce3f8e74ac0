#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "automation/ClassRegistry.h"
#include "automation/Dispatch.h"

namespace fake {

using automation::Variant;

// A workbook of the fake application: sheets of cells keyed by (row, column).
struct Book {
    std::vector<std::map<std::pair<int, int>, Variant>> sheets;
};

// A recording stand-in for "Excel.Application": it keeps workbooks in memory, logs every call
// it receives with its arguments (by-reference ones marked with &), and fails on demand.
class World {
  public:
    std::map<std::string, Book> files;  // what is "on disk"; save writes back here
    std::vector<std::string> log;
    int failCreateNumber = 0;  // the Nth create (1-based) fails
    std::set<std::string> unopenable;
    bool failSave = false;
    int maxRow = 65536;
    int maxColumn = 256;
    int created = 0;

    automation::ClassRegistry::Factory Factory();

    // The calls logged whose text contains `part`.
    std::vector<std::string> Matching(const std::string& part) const;
    std::size_t Count(const std::string& part) const { return Matching(part).size(); }

    // Helpers for tests.
    static Variant Text(const char* utf8) { return Variant::FromUtf8(utf8); }
    const Variant* SavedCell(const std::string& path, int sheet, int row, int column) const;
};

}  // namespace fake
