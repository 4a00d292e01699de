#include "editor/form_loader.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "text/field_reader.h"
#include "text/cp850.h"

namespace qp {
namespace {

constexpr int kInt16Min = std::numeric_limits<std::int16_t>::min();
constexpr int kInt16Max = std::numeric_limits<std::int16_t>::max();
// Every item's value is held Length characters wide from the start, so a few
// bytes of Length would otherwise buy 32 KB each. No screen comes near this.
constexpr long kMostValueCharacters = 1L << 20;
// Each item takes a hundred bytes or so whatever the few bytes of its record,
// and a translation can make a one-letter label of the file a long text:
// the form is held to what a screen of the suite could use, far beyond any.
constexpr long kMostItems = 8192;
constexpr std::size_t kMostTextBytes = std::size_t {4} << 20;

// A field as it may be quoted in a message: printable ASCII, shortened.
std::string Excerpt(std::string_view field) {
    constexpr std::size_t kLongest = 24;
    std::string out;
    for (char c : field.substr(0, kLongest)) out += (c >= 0x20 && c < 0x7F) ? c : '?';
    if (field.size() > kLongest) out += "...";
    return "\"" + out + "\"";
}

std::optional<int> WholeNumber(std::string_view field) {
    std::string text = TrimBlanks(field);
    std::size_t i = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) return std::nullopt;
    long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > kInt16Max + 1L) return std::nullopt;
    }
    value = negative ? -value : value;
    if (value < kInt16Min || value > kInt16Max) return std::nullopt;
    return static_cast<int>(value);
}

// Reads the file section by section and stops at the first fault.
class FormParser {
public:
    FormParser(std::string bytes, Translator& translator, FormTables& tables)
        : reader_(std::move(bytes)), translator_(translator), tables_(tables) {}

    // Empty when the file was read whole; otherwise what is wrong with it.
    std::string Run() {
        if (ReadHeader() && ReadScreens() && ReadLists()) CheckListNumbers();
        return fault_;
    }

private:
    // Keeps the first fault only: later ones follow from it.
    bool Fail(int line, const std::string& what) {
        if (fault_.empty()) fault_ = (line > 0 ? "line " + std::to_string(line) + ": " : std::string()) + what;
        return false;
    }

    // Comment lines may stand between records. Where the next record starts
    // with a number, blank lines are stepped over too, since there they
    // could only ever be a fault.
    void SkipComments(bool blankLinesToo) {
        while (!reader_.AtEnd()) {
            std::optional<char> opening = reader_.LineOpening();
            if (opening != '\'' && !(blankLinesToo && !opening)) return;
            reader_.SkipLine();
        }
    }

    // Inside a screen record a comment line would be read as fields and
    // shift every item after it: refuse it by name instead.
    bool CommentInsideScreen() {
        if (reader_.LineNumber() == lastFieldLine_) return false;
        return reader_.LineOpening() == '\'';
    }

    bool Text(const std::string& what, std::string& out) {
        if (inScreen_ && CommentInsideScreen())
            return Fail(reader_.LineNumber(), "a comment line inside " + where_ +
                                                  "; comments may stand only between records");
        fieldLine_ = reader_.LineNumber();
        std::optional<std::string> field = reader_.NextField();
        lastFieldLine_ = fieldLine_;
        if (!field) return Fail(0, "the file ends inside " + where_ + " (" + what + " is missing)");
        out = std::move(*field);
        return true;
    }

    bool Number(const std::string& what, int low, int high, std::int16_t& out) {
        std::string field;
        if (!Text(what, field)) return false;
        std::optional<int> value = WholeNumber(field);
        std::string range = " from " + std::to_string(low) + " to " + std::to_string(high);
        if (!value) return Fail(fieldLine_, what + " of " + where_ + " must be a whole number" + range + ", not " + Excerpt(field));
        if (*value < low || *value > high)
            return Fail(fieldLine_, what + " of " + where_ + " is " + std::to_string(*value) + "; it must be" + range);
        out = static_cast<std::int16_t>(*value);
        return true;
    }

    bool AnyNumber(const std::string& what, std::int16_t& out) { return Number(what, kInt16Min, kInt16Max, out); }

    std::string Translated(const std::string& text) { return text.empty() ? text : translator_.Translate(text); }

    bool ReadHeader() {
        SkipComments(true);
        if (reader_.AtEnd()) return Fail(0, "the file is empty: the header (ScreenCount, MaxItems) is missing");
        where_ = "the header";
        return Number("ScreenCount", 1, kInt16Max, tables_.ScreenCount) &&
               Number("MaxItems", 1, kInt16Max, tables_.MaxItems);
    }

    bool ReadScreens() {
        for (int s = 1; s <= tables_.ScreenCount; ++s) {
            SkipComments(false);
            // Screens are added as they are read, so a header that promises
            // more than the file holds costs no memory.
            tables_.screens.emplace_back();
            where_ = "screen " + std::to_string(s);
            if (!ReadScreen(s, tables_.screens.back())) return false;
        }
        return true;
    }

    bool ReadScreen(int s, FormScreen& screen) {
        if (!Text("ScreenExitKeys", screen.ScreenExitKeys)) return false;
        inScreen_ = true;
        if (!Number("ItemCount", 0, tables_.MaxItems, screen.ItemCount) ||
            !Number("ParentScreen", 0, tables_.ScreenCount, screen.ParentScreen) || !ReadWindow(screen))
            return false;
        // Each screen holds its own items only, added as they are read: MaxItems
        // is a promise of the header, not something to allocate for every screen.
        for (int i = 1; i <= screen.ItemCount; ++i) {
            where_ = "item " + std::to_string(i) + " of screen " + std::to_string(s);
            if (++items_ > kMostItems)
                return Fail(reader_.LineNumber(), "the form holds more than " + std::to_string(kMostItems) +
                                            " items, more than any form of the suite; " + where_ + " is one too many");
            if (!ReadItem(screen.items.emplace_back())) return false;
        }
        inScreen_ = false;
        return true;
    }

    bool ReadWindow(FormScreen& screen) {
        if (!Number("WindowTop", 0, kInt16Max, screen.WindowTop) ||
            !Number("WindowLeft", 0, kInt16Max, screen.WindowLeft) ||
            !Number("WindowBottom", 0, kInt16Max, screen.WindowBottom) ||
            !Number("WindowRight", 0, kInt16Max, screen.WindowRight))
            return false;
        if (screen.WindowTop == 0) return true;
        // A reversed or partly unset box would be saved and restored wrongly.
        if (screen.WindowLeft < 1 || screen.WindowBottom < screen.WindowTop || screen.WindowRight < screen.WindowLeft)
            return Fail(fieldLine_, "the window of " + where_ + " (" + std::to_string(screen.WindowTop) + ", " +
                                        std::to_string(screen.WindowLeft) + ", " + std::to_string(screen.WindowBottom) +
                                        ", " + std::to_string(screen.WindowRight) +
                                        ") must have its top left corner above and left of its bottom right one");
        return true;
    }

    bool ReadItem(FormItem& item) {
        std::string label;
        std::string options;
        if (!AnyNumber("Row", item.Row) || !AnyNumber("Column", item.Column) || !Text("Label", label) ||
            !Number("Length", 0, kInt16Max, item.Length) || !ValueFits(item.Length) ||
            !Number("WrapWidth", 0, kInt16Max, item.WrapWidth) ||
            !Number("DescWidth", 0, kInt16Max, item.DescWidth) || !Number("Flags", 0, kInt16Max, item.Flags) ||
            !AnyNumber("HookCode", item.HookCode) || !Number("ListNo", 0, kInt16Max, item.ListNo) ||
            !Text("Options", options))
            return false;
        item.Label = Translated(label);
        item.Options = Translated(options);
        item.Assign("");
        return TextsFit(item.Label.size() + item.Options.size());
    }

    bool TextsFit(std::size_t bytes) {
        textBytes_ += bytes;
        if (textBytes_ <= kMostTextBytes) return true;
        return Fail(fieldLine_, "the labels, options and list titles read up to " + where_ + " come to more than " +
                                    std::to_string(kMostTextBytes) + " bytes, more than any form of the suite");
    }

    bool ValueFits(int length) {
        valueCharacters_ += length;
        if (valueCharacters_ <= kMostValueCharacters) return true;
        return Fail(fieldLine_, "Length of " + where_ + " is " + std::to_string(length) +
                                    ", which makes the values of all items longer than " +
                                    std::to_string(kMostValueCharacters) + " characters");
    }

    bool ReadLists() {
        SkipComments(true);
        tables_.lists.resize(1);  // list 0 is never opened
        if (reader_.AtEnd()) return true;
        where_ = "the list section";
        std::int16_t count = 0;
        if (!Number("ListCount", 0, kInt16Max, count)) return false;
        if (count == 0) return NothingAfterNoLists();
        for (int l = 1; l <= count; ++l) {
            SkipComments(true);
            where_ = "list " + std::to_string(l);
            if (!ReadList(tables_.lists.emplace_back())) return false;
        }
        return true;
    }

    // A list count of 0 ends the file: what followed could not be read as lists.
    bool NothingAfterNoLists() {
        for (;;) {
            SkipComments(true);
            int line = reader_.LineNumber();
            std::optional<std::string> field = reader_.NextField();
            if (!field) return true;
            if (!IsBlank(*field))
                return Fail(line, "a list count of 0 must be the last field of the file, but " + Excerpt(*field) +
                                      " follows it");
        }
    }

    bool ReadList(FormList& list) {
        for (std::size_t k = 0; k < 7; ++k)
            if (!AnyNumber("field " + std::to_string(k + 1), list.fields[k])) return false;
        std::string title;
        if (!Text("the title", title) || !AnyNumber("field 9", list.fields[7])) return false;
        list.Title = Translated(title);
        return TextsFit(list.Title.size());
    }

    // F4 on an item must find its list.
    bool CheckListNumbers() {
        int lists = static_cast<int>(tables_.lists.size()) - 1;
        for (int s = 1; s <= tables_.ScreenCount; ++s) {
            for (int i = 1; i <= tables_.Screen(s).ItemCount; ++i) {
                int listNo = tables_.Item(s, i).ListNo;
                if (listNo > lists)
                    return Fail(0, "item " + std::to_string(i) + " of screen " + std::to_string(s) + " opens list " +
                                       std::to_string(listNo) + ", but the file defines " +
                                       (lists == 0 ? std::string("no lists") : "only " + std::to_string(lists)));
            }
        }
        return true;
    }

    FieldReader reader_;
    Translator& translator_;
    FormTables& tables_;
    std::string fault_;
    std::string where_;
    bool inScreen_ = false;
    int fieldLine_ = 0;      // the line the last field read began on
    int lastFieldLine_ = 0;  // the same, kept for the next field's comment check
    long valueCharacters_ = 0;  // the Lengths of the items read so far
    long items_ = 0;            // the items of all screens read so far
    std::size_t textBytes_ = 0;  // the labels, options and titles kept so far
};

}  // namespace

FormLoadResult LoadFormText(std::string bytes, const std::string& fileName, Translator& translator,
                            FormTables& tables) {
    tables = FormTables {};
    std::string fault = FormParser(std::move(bytes), translator, tables).Run();
    if (fault.empty()) return {};
    tables = FormTables {};
    return {false, fileName + ": " + fault};
}

FormLoadResult LoadForm(Platform& platform, const std::string& rootDir, const std::string& programName,
                        Translator& translator, FormTables& tables) {
    std::string path = rootDir + "FORMS\\" + programName + ".MPN";
    std::string shown = NativePath(path);
    tables = FormTables {};
    std::string reason;
    std::optional<std::string> bytes = ReadWholeFile(platform, path, kLargeFileLimit, &reason);
    if (!bytes) return {false, shown + ": cannot open the form file: " + (reason.empty() ? "unknown reason" : reason)};
    return LoadFormText(std::move(*bytes), shown, translator, tables);
}

}  // namespace qp
