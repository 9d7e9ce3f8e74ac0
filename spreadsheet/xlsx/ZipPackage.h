#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct zip;

namespace spreadsheet::xlsx {

// The zip container of an Office Open XML package, read from memory through libzip.
// libzip because it is Debian's well-kept zip library that also writes archives and, when it
// writes one, copies every entry that was not replaced as its original compressed bytes: the
// parts a run did not touch leave the save exactly as they came.
class ZipPackage {
  public:
    // Everything the package's entries may decompress to, together. A real workbook of a
    // million rows stays well below it; a zip bomb declares more and is refused at open.
    static constexpr std::uint64_t kMaxTotalUncompressedBytes = 1ull << 30;
    static constexpr std::uint64_t kMaxEntries = 65535;

    // Opens the archive and checks its directory (sizes, encryption, the total size cap).
    // Throws SpreadsheetError naming `label` and the reason.
    ZipPackage(std::string label, std::string bytes);
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    const std::string& bytes() const { return bytes_; }

    // The entry's exact name for an OPC part name (without its leading '/', matched without
    // regard to letter case), or nothing.
    std::optional<std::string> Find(std::string_view partName) const;
    bool Has(std::string_view partName) const { return Find(partName).has_value(); }
    // Every entry's name, in the archive's order.
    std::vector<std::string> EntryNames() const {
        std::vector<std::string> names;
        for (const Entry& e : entries_)
            names.push_back(e.name);
        return names;
    }

    // The decompressed contents of a part; throws when it is missing or damaged, or when it
    // decompresses to more than its directory entry declared.
    std::string Read(std::string_view partName) const;

    // A new archive: these parts replaced or added (a value) or removed (nothing), every other
    // entry copied as it was.
    std::string Rewrite(const std::map<std::string, std::optional<std::string>>& changes) const;

  private:
    // libzip's writer, for archives the direct copy does not handle (zip64). It deflates the
    // replaced parts at its strongest level, ten times slower than ours on large sheets.
    std::string RewriteWithLibzip(
        const std::map<std::string, std::optional<std::string>>& changes) const;

  public:
  private:
    struct Entry {
        std::string name;
        std::uint64_t size = 0;
    };
    [[noreturn]] void Fail(const std::string& reason) const;

    std::string label_;
    std::string bytes_;  // libzip reads from it in place: it never moves
    struct zip* archive_ = nullptr;
    std::vector<Entry> entries_;
};

}  // namespace spreadsheet::xlsx
