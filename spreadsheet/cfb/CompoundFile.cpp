#include "spreadsheet/cfb/CompoundFile.h"

#include "spreadsheet/model/Workbook.h"

namespace spreadsheet::cfb {

bool LooksLikeCompoundFile(std::string_view bytes) {
    static constexpr std::string_view kSignature{"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8};
    return bytes.substr(0, kSignature.size()) == kSignature;
}

CompoundFile CompoundFile::Parse(std::string_view) {
    throw SpreadsheetError("compound file reader not built yet");
}
bool CompoundFile::HasStream(std::string_view) const {
    return false;
}
std::string CompoundFile::ReadStream(std::string_view) const {
    throw SpreadsheetError("compound file reader not built yet");
}
std::string CompoundFile::Serialize(const std::map<std::string, std::string>&) const {
    throw SpreadsheetError("compound file writer not built yet");
}

}  // namespace spreadsheet::cfb
