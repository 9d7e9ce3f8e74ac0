#include "merge/FakeSpreadsheet.h"

#include "util/Utf.h"

namespace fake {

using automation::Arg;
using automation::AutomationError;
using automation::DispatchObject;
using automation::InvokeKind;
using automation::MemberNameEquals;

namespace {

struct AppState;

const Arg& Nth(std::span<const Arg> args, std::size_t i) {
    if (i >= args.size())
        throw AutomationError("missing argument");
    return args[i];
}

std::string DescribeArgs(std::span<const Arg> args) {
    std::string out;
    for (const Arg& a : args) {
        if (!out.empty())
            out += ", ";
        if (a.byRef())
            out += "&";
        out += automation::DescribeVariant(a.value());
    }
    return out;
}

struct OpenBook {
    std::string path;
    Book book;
};

struct AppState {
    World* world;
    char name;  // 'T' for the first instance, 'S' for the second ...
    std::vector<std::shared_ptr<OpenBook>> books;
    std::shared_ptr<OpenBook> active;
    int activeSheet = 0;
    bool quit = false;

    void Log(const char* object, std::string_view member, InvokeKind kind,
             std::span<const Arg> args) {
        world->log.push_back(std::string(1, name) + ":" + object + "." + std::string(member) + " " +
                             automation::InvokeKindName(kind) + "(" + DescribeArgs(args) + ")");
    }
    void Check() const {
        if (quit)
            throw AutomationError("the instance has quit");
    }
};

class CellObject : public DispatchObject {
  public:
    CellObject(std::shared_ptr<AppState> app, std::shared_ptr<OpenBook> book, int sheet, int row,
               int column)
        : app_(std::move(app)), book_(std::move(book)), sheet_(sheet), row_(row), column_(column) {}
    Variant Invoke(std::string_view member, InvokeKind kind, std::span<const Arg> args) override {
        app_->Log("Cell", member, kind, args);
        app_->Check();
        if (!MemberNameEquals(member, "Value"))
            automation::ThrowUnknownMember("Cell", member);
        auto& cells = book_->book.sheets[sheet_];
        if (kind == InvokeKind::PropertyPut) {
            cells[{row_, column_}] = args.back().value();
            return {};
        }
        auto it = cells.find({row_, column_});
        return it == cells.end() ? Variant() : it->second;
    }

  private:
    std::shared_ptr<AppState> app_;
    std::shared_ptr<OpenBook> book_;
    int sheet_, row_, column_;
};

class SheetObject : public DispatchObject {
  public:
    SheetObject(std::shared_ptr<AppState> app, std::shared_ptr<OpenBook> book, int sheet)
        : app_(std::move(app)), book_(std::move(book)), sheet_(sheet) {}
    Variant Invoke(std::string_view member, InvokeKind kind, std::span<const Arg> args) override {
        app_->Log("Sheet", member, kind, args);
        app_->Check();
        if (!MemberNameEquals(member, "Activate"))
            automation::ThrowUnknownMember("Sheet", member);
        app_->active = book_;
        app_->activeSheet = sheet_;
        return {};
    }

  private:
    std::shared_ptr<AppState> app_;
    std::shared_ptr<OpenBook> book_;
    int sheet_;
};

class WorkbookObject : public DispatchObject {
  public:
    WorkbookObject(std::shared_ptr<AppState> app, std::shared_ptr<OpenBook> book)
        : app_(std::move(app)), book_(std::move(book)) {}
    Variant Invoke(std::string_view member, InvokeKind kind, std::span<const Arg> args) override {
        app_->Log("Workbook", member, kind, args);
        app_->Check();
        if (!MemberNameEquals(member, "Save"))
            automation::ThrowUnknownMember("Workbook", member);
        if (app_->world->failSave)
            throw AutomationError("the disk is full");
        app_->world->files[book_->path] = book_->book;
        return {};
    }

  private:
    std::shared_ptr<AppState> app_;
    std::shared_ptr<OpenBook> book_;
};

class BooksObject : public DispatchObject {
  public:
    explicit BooksObject(std::shared_ptr<AppState> app) : app_(std::move(app)) {}
    Variant Invoke(std::string_view member, InvokeKind kind, std::span<const Arg> args) override {
        app_->Log("Workbooks", member, kind, args);
        app_->Check();
        if (MemberNameEquals(member, "Open")) {
            std::string path = util::Utf16ToUtf8(Nth(args, 0).value().text());
            auto& files = app_->world->files;
            if (app_->world->unopenable.count(path) || !files.count(path))
                throw AutomationError("cannot open \"" + path + "\"");
            auto book = std::make_shared<OpenBook>(OpenBook{path, files[path]});
            app_->books.push_back(book);
            app_->active = book;
            app_->activeSheet = 0;
            return {};
        }
        if (MemberNameEquals(member, "Close")) {
            app_->books.clear();
            app_->active.reset();
            return {};
        }
        automation::ThrowUnknownMember("Workbooks", member);
    }

  private:
    std::shared_ptr<AppState> app_;
};

class AppObject : public DispatchObject {
  public:
    explicit AppObject(std::shared_ptr<AppState> state) : app_(std::move(state)) {}
    Variant Invoke(std::string_view member, InvokeKind kind, std::span<const Arg> args) override {
        app_->Log("App", member, kind, args);
        app_->Check();
        if (MemberNameEquals(member, "Visible"))
            return {};
        if (MemberNameEquals(member, "WorkBooks"))
            return Variant(std::make_shared<BooksObject>(app_));
        if (MemberNameEquals(member, "Quit")) {
            app_->quit = true;
            return {};
        }
        if (MemberNameEquals(member, "ActiveWorkbook")) {
            if (!app_->active)
                throw AutomationError("no workbook is open");
            return Variant(std::make_shared<WorkbookObject>(app_, app_->active));
        }
        if (!app_->active)
            throw AutomationError("no workbook is open");
        if (MemberNameEquals(member, "WorkSheets")) {
            int n = automation::ArgToInt32(Nth(args, 0), "sheet");
            if (n < 1 || n > static_cast<int>(app_->active->book.sheets.size()))
                throw AutomationError("no worksheet " + std::to_string(n));
            return Variant(std::make_shared<SheetObject>(app_, app_->active, n - 1));
        }
        if (MemberNameEquals(member, "Cells")) {
            int row = automation::ArgToInt32(Nth(args, 0), "row");
            int column = automation::ArgToInt32(Nth(args, 1), "column");
            if (row < 1 || row > app_->world->maxRow || column < 1 ||
                column > app_->world->maxColumn)
                throw AutomationError("no cell there");
            return Variant(
                std::make_shared<CellObject>(app_, app_->active, app_->activeSheet, row, column));
        }
        automation::ThrowUnknownMember("Application", member);
    }

  private:
    std::shared_ptr<AppState> app_;
};

}  // namespace

automation::ClassRegistry::Factory World::Factory() {
    return [this]() -> std::shared_ptr<DispatchObject> {
        ++created;
        log.push_back("create #" + std::to_string(created));
        if (created == failCreateNumber)
            throw AutomationError("cannot start the application");
        auto state = std::make_shared<AppState>();
        state->world = this;
        state->name = created == 1 ? 'T' : 'S';
        return std::make_shared<AppObject>(state);
    };
}

std::vector<std::string> World::Matching(const std::string& part) const {
    std::vector<std::string> out;
    for (const std::string& line : log)
        if (line.find(part) != std::string::npos)
            out.push_back(line);
    return out;
}

const Variant* World::SavedCell(const std::string& path, int sheet, int row, int column) const {
    auto f = files.find(path);
    if (f == files.end() || sheet >= static_cast<int>(f->second.sheets.size()))
        return nullptr;
    auto& cells = f->second.sheets[sheet];
    auto it = cells.find({row, column});
    return it == cells.end() ? nullptr : &it->second;
}

}  // namespace fake
