#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace spreadsheet {

// The texts of a workbook, each looked up by index in constant time. Loading appends every
// shared string in file order (duplicates kept, so indexes match the file's); Intern finds or
// adds a text for a written cell.
class StringPool {
  public:
    std::uint32_t Append(std::u16string text) {
        texts_.push_back(std::move(text));
        indexBuilt_ = false;
        return static_cast<std::uint32_t>(texts_.size() - 1);
    }

    std::uint32_t Intern(std::u16string_view text);

    const std::u16string& at(std::uint32_t index) const { return texts_.at(index); }
    std::size_t size() const { return texts_.size(); }
    void reserve(std::size_t n) { texts_.reserve(n); }

  private:
    std::vector<std::u16string> texts_;
    // Built on the first Intern; loading never pays for it.
    std::unordered_map<std::u16string_view, std::uint32_t> index_;
    bool indexBuilt_ = false;
};

inline std::uint32_t StringPool::Intern(std::u16string_view text) {
    if (!indexBuilt_) {
        index_.clear();
        index_.reserve(texts_.size() * 2 + 16);
        for (std::uint32_t i = 0; i < texts_.size(); ++i)
            index_.emplace(texts_[i], i);
        indexBuilt_ = true;
    }
    auto it = index_.find(text);
    if (it != index_.end())
        return it->second;
    // A reallocation of texts_ would move the strings the index views: rebuild then.
    const bool reallocates = texts_.size() == texts_.capacity();
    texts_.emplace_back(text);
    const auto index = static_cast<std::uint32_t>(texts_.size() - 1);
    if (reallocates) {
        indexBuilt_ = false;
    } else {
        index_.emplace(texts_.back(), index);
    }
    return index;
}

}  // namespace spreadsheet
