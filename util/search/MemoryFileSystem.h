#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "util/search/FileSystem.h"

namespace util {

// A file system held in memory, for tests: folders list their entries in the order they were
// added, after "." and "..". Paths are absolute and separated by "/"; adding an entry adds the
// folders above it. Failures can be injected per folder or file.
class MemoryFileSystem : public FileSystem {
  public:
    MemoryFileSystem();

    void AddFolder(const std::string& path, unsigned attributes = kAttributeFolder);
    void AddFile(const std::string& path, std::string contents = {}, unsigned attributes = 0);
    // A symbolic link; one to a folder also carries the folder bit.
    void AddLink(const std::string& path, bool toFolder);

    // List gives null for this folder, as for one whose access is refused.
    void RefuseListing(const std::string& folder);
    // List throws IoError for this folder.
    void ThrowOnListing(const std::string& folder);
    // Reading this file throws IoError once afterBytes bytes have been read.
    void FailReading(const std::string& path, std::size_t afterBytes);

    // Every folder handed to List, in order.
    const std::vector<std::string>& Listed() const { return listed_; }

    std::unique_ptr<DirectoryListing> List(const std::string& folder) override;
    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override;

  private:
    struct Node {
        unsigned attributes = 0;
        std::vector<std::string> children;  // names, in the order added
        std::string contents;
        bool refuseListing = false;
        bool throwOnListing = false;
        std::size_t failReadingAfter = static_cast<std::size_t>(-1);
    };

    Node& AddEntry(const std::string& path, unsigned attributes);
    Node* Find(const std::string& path);

    std::map<std::string, Node> nodes_;
    std::vector<std::string> listed_;
};

}  // namespace util
