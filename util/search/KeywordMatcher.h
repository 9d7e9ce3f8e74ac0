#pragma once

#include <string>
#include <string_view>

namespace util {

// The keyword test of the folder search: does a file name contain the keyword, letter case
// aside? Letters are compared by their Unicode upper case; a match begins only where a
// character of the name begins. Bytes that form no UTF-8 character match only themselves.
// Holds its buffers, so testing many names allocates nothing once they have grown.
class KeywordMatcher {
  public:
    explicit KeywordMatcher(std::string_view keyword);

    // False for an empty keyword or an empty name.
    bool Matches(std::string_view name);

  private:
    std::string upperAsciiKeyword_;  // used while the keyword and the name are plain ASCII
    bool keywordIsAscii_ = true;
    std::u32string upperKeyword_;
    std::u32string upperName_;
};

// The part of path after its last "/" (the whole path when it has none).
std::string_view NamePartOf(std::string_view path);

// The part of name from its last "." on, the dot included; empty when name has no dot.
std::string_view ExtensionOf(std::string_view name);

// Lower-cases the letters A to Z and nothing else.
void LowerAsciiInPlace(std::string& text);

}  // namespace util
