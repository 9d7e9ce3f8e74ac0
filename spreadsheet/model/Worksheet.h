#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "spreadsheet/model/Cell.h"

namespace spreadsheet {

enum class SheetVisibility : std::uint8_t { Visible, Hidden, VeryHidden };

// The cells of one worksheet, addressed by 1-based row and column. The codec that loaded the
// sheet keeps whatever else the file holds; the model keeps values and style indexes only.
class Worksheet {
  public:
    Worksheet(std::u16string name, SheetVisibility visibility)
        : name_(std::move(name)), visibility_(visibility) {}

    const std::u16string& name() const { return name_; }
    SheetVisibility visibility() const { return visibility_; }

    // The cell at (row, column), or nullptr when the sheet has none there.
    const Cell* Find(std::int32_t row, std::int32_t column) const {
        auto it = cells_.find(Key(row, column));
        return it == cells_.end() ? nullptr : &it->second;
    }

    // Loading: puts a cell as the file holds it (a later one at the same place replaces it).
    void Load(std::int32_t row, std::int32_t column, const Cell& cell) {
        cells_[Key(row, column)] = cell;
    }
    void Reserve(std::size_t cells) { cells_.reserve(cells); }

    // Writing: the cell at (row, column), created when absent (with newStyle), and marked as
    // written so that the codec rewrites it on save.
    Cell& Write(std::int32_t row, std::int32_t column, std::uint32_t newStyle);
    bool HasCell(std::int32_t row, std::int32_t column) const {
        return cells_.count(Key(row, column)) != 0;
    }

    // The cells written since loading, each once, in the order first written.
    const std::vector<CellRef>& written() const { return written_; }
    bool modified() const { return !written_.empty(); }

    std::size_t cellCount() const { return cells_.size(); }
    template <class F>
    void ForEachCell(F&& f) const {
        for (const auto& [key, cell] : cells_)
            f(RefOf(key), cell);
    }

  private:
    static std::uint64_t Key(std::int32_t row, std::int32_t column) {
        return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(row)) << 32) |
               static_cast<std::uint32_t>(column);
    }
    static CellRef RefOf(std::uint64_t key) {
        return {static_cast<std::int32_t>(key >> 32), static_cast<std::int32_t>(key & 0xffffffffu)};
    }

    std::u16string name_;
    SheetVisibility visibility_;
    std::unordered_map<std::uint64_t, Cell> cells_;
    std::vector<CellRef> written_;
};

inline Cell& Worksheet::Write(std::int32_t row, std::int32_t column, std::uint32_t newStyle) {
    auto [it, inserted] = cells_.try_emplace(Key(row, column));
    Cell& cell = it->second;
    if (inserted)
        cell.style = newStyle;
    if (!cell.written) {
        cell.written = true;
        written_.push_back({row, column});
    }
    return cell;
}

}  // namespace spreadsheet
