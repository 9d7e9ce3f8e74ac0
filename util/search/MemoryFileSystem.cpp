#include "util/search/MemoryFileSystem.h"

#include <algorithm>
#include <cstring>

#include "util/Env.h"

namespace util {

namespace {

std::string Normalized(const std::string& path) {
    std::size_t length = path.size();
    while (length > 1 && path[length - 1] == '/')
        --length;
    return length == 0 ? std::string(1, '/') : path.substr(0, length);
}

std::string ParentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

class MemoryListing : public DirectoryListing {
  public:
    struct Item {
        std::string name;
        unsigned attributes;
    };
    explicit MemoryListing(std::vector<Item> items) : items_(std::move(items)) {}

    bool Next(DirectoryEntry& entry) override {
        if (next_ == items_.size())
            return false;
        entry.name = items_[next_].name;
        entry.attributes = items_[next_].attributes;
        ++next_;
        return true;
    }

  private:
    std::vector<Item> items_;
    std::size_t next_ = 0;
};

class MemoryInputFile : public InputFile {
  public:
    MemoryInputFile(std::string path, std::string contents, std::size_t failAfter)
        : path_(std::move(path)), contents_(std::move(contents)), failAfter_(failAfter) {}

    std::size_t Read(char* buffer, std::size_t size) override {
        if (offset_ >= failAfter_)
            throw IoError("cannot read \"" + path_ + "\": injected failure");
        const std::size_t end = std::min(contents_.size(), failAfter_);
        const std::size_t n = std::min(size, end - std::min(end, offset_));
        std::memcpy(buffer, contents_.data() + offset_, n);
        offset_ += n;
        return n;
    }

  private:
    std::string path_;
    std::string contents_;
    std::size_t failAfter_;
    std::size_t offset_ = 0;
};

}  // namespace

MemoryFileSystem::MemoryFileSystem() {
    nodes_["/"].attributes = kAttributeFolder;
}

MemoryFileSystem::Node& MemoryFileSystem::AddEntry(const std::string& rawPath,
                                                   unsigned attributes) {
    const std::string path = Normalized(rawPath);
    if (path != "/") {
        const std::string parent = ParentOf(path);
        if (Find(parent) == nullptr)
            AddFolder(parent);
        Node& parentNode = nodes_[parent];
        const std::string name = NameOf(path);
        if (std::find(parentNode.children.begin(), parentNode.children.end(), name) ==
            parentNode.children.end())
            parentNode.children.push_back(name);
    }
    Node& node = nodes_[path];
    node.attributes = attributes;
    return node;
}

MemoryFileSystem::Node* MemoryFileSystem::Find(const std::string& path) {
    auto it = nodes_.find(Normalized(path));
    return it == nodes_.end() ? nullptr : &it->second;
}

void MemoryFileSystem::AddFolder(const std::string& path, unsigned attributes) {
    AddEntry(path, attributes | kAttributeFolder);
}

void MemoryFileSystem::AddFile(const std::string& path, std::string contents, unsigned attributes) {
    AddEntry(path, attributes & ~unsigned(kAttributeFolder)).contents = std::move(contents);
}

void MemoryFileSystem::AddLink(const std::string& path, bool toFolder) {
    AddEntry(path, kAttributeLink | (toFolder ? unsigned(kAttributeFolder) : 0u));
}

void MemoryFileSystem::RefuseListing(const std::string& folder) {
    AddFolder(folder);
    Find(folder)->refuseListing = true;
}

void MemoryFileSystem::ThrowOnListing(const std::string& folder) {
    AddFolder(folder);
    Find(folder)->throwOnListing = true;
}

void MemoryFileSystem::FailReading(const std::string& path, std::size_t afterBytes) {
    Node* node = Find(path);
    if (node == nullptr)
        node = &AddEntry(path, 0);
    node->failReadingAfter = afterBytes;
}

std::unique_ptr<DirectoryListing> MemoryFileSystem::List(const std::string& folder) {
    listed_.push_back(folder);
    const Node* node = Find(folder);
    if (node == nullptr || (node->attributes & kAttributeFolder) == 0 ||
        (node->attributes & kAttributeLink) != 0 || node->refuseListing)
        return nullptr;
    if (node->throwOnListing)
        throw IoError("cannot list \"" + folder + "\": injected failure");
    const std::string base = Normalized(folder);
    std::vector<MemoryListing::Item> items{{".", kAttributeFolder}, {"..", kAttributeFolder}};
    for (const std::string& name : node->children) {
        const std::string child = base == "/" ? "/" + name : base + "/" + name;
        items.push_back({name, nodes_.at(child).attributes});
    }
    return std::make_unique<MemoryListing>(std::move(items));
}

std::unique_ptr<InputFile> MemoryFileSystem::OpenForReading(const std::string& path) {
    const Node* node = Find(path);
    if (node == nullptr || (node->attributes & kAttributeFolder) != 0)
        throw IoError("cannot open \"" + path + "\": No such file or directory");
    return std::make_unique<MemoryInputFile>(path, node->contents, node->failReadingAfter);
}

}  // namespace util
