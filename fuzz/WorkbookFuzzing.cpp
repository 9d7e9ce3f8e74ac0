#include "fuzz/WorkbookFuzzing.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "spreadsheet/application/WorkbookFile.h"
#include "spreadsheet/cfb/CompoundFile.h"
#include "spreadsheet/core/CellValues.h"
#include "spreadsheet/model/Workbook.h"
#include "util/Env.h"

namespace fuzzing {

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Files kept in memory, so that a save can be read back without touching the disk.
class MemoryEnv : public util::Env {
  public:
    std::map<std::string, std::string> files;

    util::FileInfo Stat(const std::string& path) override {
        util::FileInfo info;
        auto it = files.find(path);
        if (it == files.end())
            return info;
        info.exists = info.isRegular = true;
        info.size = it->second.size();
        info.mode = 0644;
        return info;
    }
    std::string ReadFile(const std::string& path, std::uint64_t maxBytes) override {
        auto it = files.find(path);
        if (it == files.end())
            throw util::IoError("no file " + path);
        if (it->second.size() > maxBytes)
            throw util::IoError("too large: " + path);
        return it->second;
    }
    std::unique_ptr<util::WritableFile> NewWritableFile(const std::string& path,
                                                        unsigned) override {
        if (files.count(path))
            throw util::IoError("exists: " + path);
        files[path];
        return std::make_unique<File>(files[path]);
    }
    void Rename(const std::string& from, const std::string& to) override {
        auto it = files.find(from);
        if (it == files.end())
            throw util::IoError("no file " + from);
        std::string data = std::move(it->second);
        files.erase(it);
        files[to] = std::move(data);
    }
    void RemoveFile(const std::string& path) override { files.erase(path); }
    void SyncDirectory(const std::string&) override {}

  private:
    class File : public util::WritableFile {
      public:
        explicit File(std::string& data) : data_(data) {}
        void Append(std::string_view data) override { data_.append(data); }
        void Sync() override {}
        void Close() override {}

      private:
        std::string& data_;
    };
};

void ExerciseCompoundFile(std::string_view bytes) {
    spreadsheet::cfb::CompoundFile file;
    try {
        file = spreadsheet::cfb::CompoundFile::Parse(bytes);
    } catch (const spreadsheet::SpreadsheetError&) {
        return;
    }
    std::string written;
    try {
        written = file.Serialize({});
    } catch (const spreadsheet::SpreadsheetError&) {
        return;  // names that cannot be written back (too long, two alike)
    }
    spreadsheet::cfb::CompoundFile again = spreadsheet::cfb::CompoundFile::Parse(written);
    for (const spreadsheet::cfb::Entry& e : file.root().children)
        if (e.kind == spreadsheet::cfb::Entry::Kind::Stream &&
            again.ReadStream(e.name) != file.ReadStream(e.name))
            Broken("a stream changed through Serialize and Parse");
}

// Equal values; a NaN (a damaged number) equals itself, as it comes back through a save.
bool SameValue(const automation::Variant& a, const automation::Variant& b) {
    const bool number =
        a.type() == automation::VarType::R8 || a.type() == automation::VarType::Date;
    if (number && a.type() == b.type() && std::isnan(a.doubleValue()) &&
        std::isnan(b.doubleValue()))
        return true;
    return a == b;
}

using Values = std::map<std::tuple<int, std::int32_t, std::int32_t>, automation::Variant>;

Values ReadEveryCell(const spreadsheet::Workbook& book) {
    Values values;
    for (int s = 0; s < book.worksheetCount(); ++s)
        book.worksheet(s).ForEachCell([&](spreadsheet::CellRef ref, const spreadsheet::Cell& cell) {
            values.emplace(std::make_tuple(s, ref.row, ref.column),
                           spreadsheet::CellValue(book, &cell));
        });
    return values;
}

Outcome ExerciseWorkbook(std::string_view bytes) {
    const std::string path = "/fuzz/input.xls";
    std::unique_ptr<spreadsheet::Workbook> book;
    try {
        book = spreadsheet::LoadWorkbookFromBytes(path, std::string(bytes));
    } catch (const spreadsheet::SpreadsheetError&) {
        return Outcome::Refused;
    }
    if (!book)
        Broken("the loader returned no workbook and no error");
    Values before = ReadEveryCell(*book);
    if (book->worksheetCount() == 0)
        return Outcome::Loaded;

    // Write a text and a number into the first sheet, save, and load the result again.
    spreadsheet::Worksheet& sheet = book->worksheet(0);
    const std::u16string text = u"fuzz 文本";
    const std::uint32_t textIndex = book->strings().Append(text);
    struct Written {
        std::int32_t row, column;
        spreadsheet::Cell cell;
    };
    Written writes[] = {{1, 1, {}}, {3, 2, {}}};
    writes[0].cell.type = spreadsheet::CellType::Text;
    writes[0].cell.payload = textIndex;
    writes[1].cell.type = spreadsheet::CellType::Number;
    writes[1].cell.number = 42.5;
    for (Written& w : writes) {
        spreadsheet::Cell& cell =
            sheet.Write(w.row, w.column, book->codec().StyleForNewCell(sheet, w.row, w.column));
        cell.type = w.cell.type;
        cell.payload = w.cell.payload;
        cell.number = w.cell.number;
        cell.formula = false;
        w.cell.style = cell.style;
        before[std::make_tuple(0, w.row, w.column)] = spreadsheet::CellValue(*book, &cell);
    }

    MemoryEnv env;
    env.files[path] = std::string(bytes);
    try {
        book->Save(env);
    } catch (const spreadsheet::SpreadsheetError&) {
        return Outcome::Loaded;  // a format saved only by another program (BIFF5)
    } catch (const util::IoError&) {
        Broken("saving to memory failed on the file system");
    }
    std::unique_ptr<spreadsheet::Workbook> saved;
    try {
        saved = spreadsheet::LoadWorkbookFromBytes(path, env.files.at(path));
    } catch (const spreadsheet::SpreadsheetError& e) {
        std::fprintf(stderr, "reloading the saved workbook: %s\n", e.what());
        Broken("a saved workbook cannot be loaded again");
    }
    const Values after = ReadEveryCell(*saved);
    for (const auto& [where, value] : before) {
        auto it = after.find(where);
        const bool empty = value.type() == automation::VarType::Empty;
        if (it == after.end() ? !empty : !SameValue(it->second, value)) {
            const double valueAfter = it == after.end() ? 0.0 : it->second.doubleValue();
            std::fprintf(stderr,
                         "sheet %d row %d column %d: %s %.17g before the save, %s %.17g after\n",
                         std::get<0>(where), std::get<1>(where), std::get<2>(where),
                         automation::VarTypeName(value.type()), value.doubleValue(),
                         it == after.end() ? "no cell" : automation::VarTypeName(it->second.type()),
                         valueAfter);
            Broken("a cell's value changed through a save");
        }
    }
    return Outcome::Saved;
}

}  // namespace

Outcome ExerciseWorkbookBytes(std::string_view bytes) {
    ExerciseCompoundFile(bytes);
    return ExerciseWorkbook(bytes);
}

}  // namespace fuzzing
