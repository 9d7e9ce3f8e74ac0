#include "util/search/FindFiles.h"

#include <memory>
#include <string_view>

#include "util/search/FileSystem.h"
#include "util/search/KeywordMatcher.h"

namespace util {

namespace {

constexpr std::string_view kEveryName = "*.*";
constexpr char kSeparator = '/';
constexpr char kEndOfText = 26;  // Ctrl+Z ends a list file's text as its end does

// Passes a file name whose extension, lower-cased, occurs within the lower-cased pattern; a
// pattern holding "*.*" passes every name and an empty pattern applies no test at all.
class ExtensionTest {
  public:
    explicit ExtensionTest(std::string lowerPattern)
        : pattern_(std::move(lowerPattern)),
          passesAll_(pattern_.empty() || pattern_.find(kEveryName) != std::string::npos) {}

    bool Passes(std::string_view name) {
        if (passesAll_)
            return true;
        const std::string_view extension = ExtensionOf(name);
        if (extension.empty())
            return false;
        extension_.assign(extension);
        LowerAsciiInPlace(extension_);
        return pattern_.find(extension_) != std::string::npos;
    }

  private:
    std::string pattern_;
    bool passesAll_;
    std::string extension_;
};

// The depth-first scan of folder mode. One path buffer serves every level: each level appends
// its entry names to it and cuts it back, so listing a folder allocates nothing per entry.
class FolderScan {
  public:
    FolderScan(FileSystem& fs, const std::string& keyword, const std::string& lowerPattern,
               TFindFileProc callback)
        : fs_(fs),
          matcher_(keyword),
          keywordIsEmpty_(keyword.empty()),
          extensionTest_(lowerPattern),
          callback_(callback) {}

    int Run(std::string baseFolder) {
        path_ = std::move(baseFolder);
        return ScanFolder();
    }

  private:
    // path_ holds the folder's base on entry and again on a normal return. A failure of the
    // notification leaves this call; every failure after it stays inside.
    int ScanFolder() {
        if (callback_ != nullptr) {
            callback_(path_, 1, stop_);
            if (stop_)
                return 0;
        }
        const std::size_t baseLength = path_.size();
        path_.push_back(kSeparator);
        std::unique_ptr<DirectoryListing> listing;
        try {
            listing = fs_.List(path_);
        } catch (...) {
            // a folder that can't be listed yields no entries
        }
        int count = 0;
        DirectoryEntry entry;
        while (listing != nullptr && !stop_ && NextEntry(*listing, entry)) {
            path_.resize(baseLength + 1);
            try {
                count += HandleEntry(entry);
            } catch (...) {
                // a failing entry counts for nothing; the scan goes on with the next one
            }
        }
        path_.resize(baseLength);
        return count;
    }

    static bool NextEntry(DirectoryListing& listing, DirectoryEntry& entry) {
        try {
            return listing.Next(entry);
        } catch (...) {
            return false;
        }
    }

    // How many files the entry adds to the count; path_ holds the folder's base and "/".
    int HandleEntry(const DirectoryEntry& entry) {
        if (IsDirectory(entry)) {
            // A link is never followed into, so a link back up can't make the scan endless.
            if (entry.name == "." || entry.name == ".." || (entry.attributes & kAttributeLink))
                return 0;
            path_.append(entry.name);
            return ScanFolder();
        }
        if (!extensionTest_.Passes(entry.name))
            return 0;
        if (!keywordIsEmpty_ && !matcher_.Matches(entry.name))
            return 0;
        path_.append(entry.name);
        if (callback_ != nullptr) {
            callback_(path_, 0, stop_);
            if (stop_)
                return 0;  // a report that stops the search is not counted
        }
        return 1;
    }

    FileSystem& fs_;
    KeywordMatcher matcher_;
    bool keywordIsEmpty_;
    ExtensionTest extensionTest_;
    TFindFileProc callback_;
    bool stop_ = false;  // one flag for the whole search: a stop ends every level
    std::string path_;
};

// Reads a list file line by line: a line ends at CR, LF or CR LF; Ctrl+Z ends the text.
class LineReader {
  public:
    explicit LineReader(InputFile& file) : file_(file) {}

    bool Next(std::string& line) {
        line.clear();
        if (!Fill() || buffer_[position_] == kEndOfText)
            return false;
        while (Fill()) {
            const char c = buffer_[position_];
            if (c == kEndOfText)
                return true;
            ++position_;
            if (c == '\n')
                return true;
            if (c == '\r') {
                if (Fill() && buffer_[position_] == '\n')
                    ++position_;
                return true;
            }
            line.push_back(c);
        }
        return true;
    }

  private:
    // True while a byte is at hand at position_.
    bool Fill() {
        if (position_ < end_)
            return true;
        if (atEnd_)
            return false;
        position_ = 0;
        end_ = file_.Read(buffer_, sizeof buffer_);
        atEnd_ = end_ == 0;
        return !atEnd_;
    }

    InputFile& file_;
    char buffer_[64 * 1024];
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
};

int SearchListFile(FileSystem& fs, const std::string& keyword, const std::string& lowerFolder,
                   const std::string& lowerPattern, TFindFileProc callback,
                   const std::string& listFileName) {
    const std::unique_ptr<InputFile> file = fs.OpenForReading(listFileName);
    auto reader = std::make_unique<LineReader>(*file);
    KeywordMatcher matcher(keyword);
    std::string line;
    bool stop = false;
    int count = 0;
    while (reader->Next(line)) {
        if (callback != nullptr) {
            callback(line, 1, stop);
            if (stop)
                break;
        }
        // The folder test compares the lower-cased folder with the line as read.
        if (!lowerFolder.empty() && line.find(lowerFolder) == std::string::npos)
            continue;
        if (!lowerPattern.empty()) {
            const std::string_view extension = ExtensionOf(NamePartOf(line));
            if (extension.empty() || lowerPattern.find(extension) == std::string::npos)
                continue;
        }
        if (!keyword.empty() && !matcher.Matches(NamePartOf(line)))
            continue;
        ++count;  // counted before the report: a report that stops the reading still counts
        if (callback != nullptr) {
            callback(line, 0, stop);
            if (stop)
                break;
        }
    }
    return count;
}

}  // namespace

int FindFiles(FileSystem& fs, const std::string& keyword, const std::string& folder,
              const std::string& pattern, TFindFileProc callback, const std::string& listFileName) {
    std::string lowerPattern = pattern;
    LowerAsciiInPlace(lowerPattern);
    if (!listFileName.empty()) {
        std::string lowerFolder = folder;
        LowerAsciiInPlace(lowerFolder);
        return SearchListFile(fs, keyword, lowerFolder, lowerPattern, callback, listFileName);
    }
    // No folder, nothing searched: an empty text would otherwise mean the root folder.
    if (folder.empty())
        return 0;
    // Folder parts keep their letters, since this file system tells case apart; one trailing
    // "/" goes, so "/" itself searches the root with the base folder "".
    std::string base = folder;
    if (base.back() == kSeparator)
        base.pop_back();
    FolderScan scan(fs, keyword, lowerPattern, callback);
    return scan.Run(std::move(base));
}

int FindFiles(const std::string& keyword, const std::string& folder, const std::string& pattern,
              TFindFileProc callback, const std::string& listFileName) {
    return FindFiles(FileSystem::Real(), keyword, folder, pattern, callback, listFileName);
}

bool NameContains(const std::string& path, const std::string& keyword) {
    return KeywordMatcher(keyword).Matches(NamePartOf(path));
}

}  // namespace util
