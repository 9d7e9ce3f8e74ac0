#include "spreadsheet/xls/XlsFormat.h"

#include <map>
#include <memory>
#include <type_traits>

#include "spreadsheet/cfb/CompoundFile.h"
#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/BiffRecords.h"
#include "spreadsheet/xls/XlsCodec.h"
#include "spreadsheet/xls/XlsReader.h"

namespace spreadsheet::xls {
namespace {

const char* const kBiff8StreamName = "Workbook";
const char* const kBiff5StreamName = "Book";

// Some programs write the workbook stream as the whole file, with no container around it.
bool LooksLikeBareWorkbookStream(std::string_view bytes) {
    if (bytes.size() < kRecordHeaderSize)
        return false;
    const std::uint16_t id = GetU16(bytes, 0);
    const std::uint16_t length = GetU16(bytes, 2);
    const bool bof =
        id == rec::kBof || id == rec::kBofBiff2 || id == rec::kBofBiff3 || id == rec::kBofBiff4;
    return bof && length >= 4 && length <= 20;
}

template <class T>
auto& Deref(T& value) {
    if constexpr (std::is_pointer_v<T> || requires { value.get(); }) {
        return *value;
    } else {
        return value;
    }
}

}  // namespace

std::unique_ptr<Workbook> LoadXls(const std::string& path, std::string_view bytes) {
    std::string stream;
    XlsCodec::Container container;
    if (cfb::LooksLikeCompoundFile(bytes)) {
        auto parsed = [&] {
            try {
                return cfb::CompoundFile::Parse(bytes);
            } catch (const SpreadsheetError&) {
                throw;
            } catch (const std::exception& e) {
                throw SpreadsheetError(path + ": damaged compound file: " + e.what());
            }
        }();
        auto holder = std::make_shared<decltype(parsed)>(std::move(parsed));
        auto& file = Deref(*holder);
        if (file.HasStream(kBiff8StreamName)) {
            stream = file.ReadStream(kBiff8StreamName);
            // Saving replaces it: the container need not keep a second copy.
            for (auto& entry : file.root().children) {
                if (entry.kind == cfb::Entry::Kind::Stream && entry.data == stream &&
                    entry.name.size() == std::string_view(kBiff8StreamName).size()) {
                    std::string().swap(entry.data);
                    break;
                }
            }
        } else if (file.HasStream(kBiff5StreamName)) {
            stream = file.ReadStream(kBiff5StreamName);
        } else {
            throw SpreadsheetError(
                path + ": the file holds no workbook (no \"Workbook\" or \"Book\" stream)");
        }
        container = [holder](std::string workbookStream) {
            std::map<std::string, std::string> replaced;
            replaced.emplace(kBiff8StreamName, std::move(workbookStream));
            return Deref(*holder).Serialize(std::move(replaced));
        };
    } else if (LooksLikeBareWorkbookStream(bytes)) {
        stream = std::string(bytes);
        container = [](std::string workbookStream) { return workbookStream; };
    } else {
        throw SpreadsheetError(path + ": not an Excel workbook");
    }
    auto parsed = ParseWorkbookStream(path, std::move(stream));
    auto workbook = std::move(parsed.workbook);
    workbook->setCodec(std::make_unique<XlsCodec>(std::move(parsed.document), std::string(bytes),
                                                  std::move(container), *workbook));
    return workbook;
}

}  // namespace spreadsheet::xls
