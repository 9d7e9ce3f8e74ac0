#include "spreadsheet/xlsx/ZipPackage.h"

#include <zip.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/xlsx/ZipCopy.h"

namespace spreadsheet::xlsx {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string ArchiveErrorText(zip_t* archive) {
    return zip_error_strerror(zip_get_error(archive));
}

struct SourceCloser {
    void operator()(zip_source_t* s) const { zip_source_free(s); }
};
struct FileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

}  // namespace

ZipPackage::ZipPackage(std::string label, std::string bytes)
    : label_(std::move(label)), bytes_(std::move(bytes)) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes_.data(), bytes_.size(), 0, &error);
    if (!source) {
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        Fail("cannot read the zip container: " + text);
    }
    archive_ = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive_) {
        zip_source_free(source);
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        Fail("not a readable zip package (" + text + ")");
    }
    zip_error_fini(&error);

    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    if (count < 0 || static_cast<std::uint64_t>(count) > kMaxEntries) {
        Fail("the zip package has too many entries");
    }
    std::uint64_t total = 0;
    entries_.reserve(static_cast<std::size_t>(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive_, static_cast<zip_uint64_t>(i), 0, &st) != 0) {
            Fail("damaged zip directory (" + ArchiveErrorText(archive_) + ")");
        }
        if (!(st.valid & ZIP_STAT_NAME) || !(st.valid & ZIP_STAT_SIZE)) {
            Fail("damaged zip directory entry");
        }
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
            Fail(std::string("the zip entry ") + st.name + " is encrypted");
        }
        total += st.size;
        if (st.size > kMaxTotalUncompressedBytes || total > kMaxTotalUncompressedBytes) {
            Fail("the zip package decompresses to more than " +
                 std::to_string(kMaxTotalUncompressedBytes >> 20) + " MiB (a zip bomb?); refused");
        }
        entries_.push_back({st.name, st.size});
    }
}

ZipPackage::~ZipPackage() {
    if (archive_)
        zip_discard(archive_);
}

void ZipPackage::Fail(const std::string& reason) const {
    if (archive_) {
        zip_discard(const_cast<ZipPackage*>(this)->archive_);
        const_cast<ZipPackage*>(this)->archive_ = nullptr;
    }
    throw SpreadsheetError(label_ + ": " + reason);
}

std::optional<std::string> ZipPackage::Find(std::string_view partName) const {
    while (!partName.empty() && partName.front() == '/')
        partName.remove_prefix(1);
    for (const Entry& e : entries_)
        if (e.name == partName)
            return e.name;
    for (const Entry& e : entries_)
        if (EqualsIgnoringCase(e.name, partName))
            return e.name;
    return std::nullopt;
}

std::string ZipPackage::Read(std::string_view partName) const {
    const auto name = Find(partName);
    if (!name)
        throw SpreadsheetError(label_ + ": the package has no part " + std::string(partName));
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const Entry& e) { return e.name == *name; });
    const zip_int64_t index = zip_name_locate(archive_, name->c_str(), 0);
    if (index < 0)
        throw SpreadsheetError(label_ + ": cannot find " + *name);
    std::unique_ptr<zip_file_t, FileCloser> file(
        zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0));
    if (!file) {
        throw SpreadsheetError(label_ + ": cannot read " + *name + " (" +
                               ArchiveErrorText(archive_) + ")");
    }
    std::string out;
    out.reserve(static_cast<std::size_t>(it->size));
    char chunk[kReadChunk];
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), chunk, sizeof chunk);
        if (n < 0) {
            throw SpreadsheetError(label_ + ": damaged zip entry " + *name + " (" +
                                   zip_error_strerror(zip_file_get_error(file.get())) + ")");
        }
        if (n == 0)
            break;
        // Never more than the directory declared: the total cap was checked against those sizes.
        if (out.size() + static_cast<std::uint64_t>(n) > it->size) {
            throw SpreadsheetError(label_ + ": the zip entry " + *name +
                                   " decompresses to more than its declared size; refused");
        }
        out.append(chunk, static_cast<std::size_t>(n));
    }
    if (out.size() != it->size) {
        throw SpreadsheetError(label_ + ": the zip entry " + *name + " is shorter than declared");
    }
    return out;
}

std::string ZipPackage::Rewrite(
    const std::map<std::string, std::optional<std::string>>& changes) const {
    if (auto direct = RewriteByCopying(bytes_, changes))
        return std::move(*direct);
    return RewriteWithLibzip(changes);
}

std::string ZipPackage::RewriteWithLibzip(
    const std::map<std::string, std::optional<std::string>>& changes) const {
    zip_error_t error;
    zip_error_init(&error);
    // The writer works on its own copy of the old archive and leaves the result in it.
    // libzip takes this copy over (it frees the old buffer when it commits the new archive).
    void* copy = std::malloc(bytes_.size() ? bytes_.size() : 1);
    if (!copy)
        throw SpreadsheetError(label_ + ": out of memory for the save");
    std::memcpy(copy, bytes_.data(), bytes_.size());
    std::unique_ptr<zip_source_t, SourceCloser> buffer(
        zip_source_buffer_create(copy, bytes_.size(), 1, &error));
    if (!buffer)
        std::free(copy);
    if (!buffer) {
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw SpreadsheetError(label_ + ": cannot prepare the save (" + text + ")");
    }
    zip_t* archive = zip_open_from_source(buffer.get(), 0, &error);
    if (!archive) {
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw SpreadsheetError(label_ + ": cannot prepare the save (" + text + ")");
    }
    zip_error_fini(&error);
    zip_source_keep(buffer.get());  // the archive releases it on close; we still read it

    auto fail = [&](const std::string& what) {
        const std::string text = ArchiveErrorText(archive);
        zip_discard(archive);
        throw SpreadsheetError(label_ + ": cannot save (" + what + ": " + text + ")");
    };
    for (const auto& [partName, data] : changes) {
        const auto existing = Find(partName);
        zip_int64_t index = -1;
        if (existing)
            index = zip_name_locate(archive, existing->c_str(), 0);
        if (!data) {
            if (index >= 0 && zip_delete(archive, static_cast<zip_uint64_t>(index)) != 0) {
                fail("removing " + partName);
            }
            continue;
        }
        zip_source_t* content = zip_source_buffer(archive, data->data(), data->size(), 0);
        if (!content)
            fail("adding " + partName);
        if (index >= 0) {
            if (zip_file_replace(archive, static_cast<zip_uint64_t>(index), content, 0) != 0) {
                zip_source_free(content);
                fail("replacing " + partName);
            }
        } else {
            index = zip_file_add(archive, partName.c_str(), content, ZIP_FL_ENC_UTF_8);
            if (index < 0) {
                zip_source_free(content);
                fail("adding " + partName);
            }
        }
        if (zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                     6) != 0) {
            fail("compressing " + partName);
        }
    }
    if (zip_close(archive) != 0)
        fail("writing the archive");

    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(buffer.get(), &st) != 0 || !(st.valid & ZIP_STAT_SIZE) ||
        zip_source_open(buffer.get()) != 0) {
        throw SpreadsheetError(label_ + ": cannot read back the saved archive");
    }
    std::string out(static_cast<std::size_t>(st.size), '\0');
    const zip_int64_t n = zip_source_read(buffer.get(), out.data(), out.size());
    zip_source_close(buffer.get());
    if (n < 0 || static_cast<std::uint64_t>(n) != st.size) {
        throw SpreadsheetError(label_ + ": cannot read back the saved archive");
    }
    return out;
}

}  // namespace spreadsheet::xlsx
