#include "input/list_browser.h"

#include <algorithm>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "text/cp850.h"

namespace qp {
namespace {

constexpr std::int64_t kHeaderBytes = 10;
// Longer lines are cut so that the length field reads the same whether a
// reader takes it as signed or unsigned.
constexpr std::size_t kLongestLine = 32767;
// The back links are 32-bit: nothing is written past what they can address.
constexpr std::int64_t kLastPosition = std::numeric_limits<std::int32_t>::max();
constexpr int kScrollColumns = 8;
constexpr std::string_view kExitKeyList = "d,1b,4800,5000,4900,5100,4b00,4d00";
constexpr std::string_view kSecondListKey = "3e00";

constexpr char32_t kDoubleLine = U'\u2550';       // ═
constexpr char32_t kLeftCorner = U'\u2554';       // ╔
constexpr char32_t kRightCorner = U'\u2557';      // ╗
constexpr char32_t kMoreToTheLeft = U'\u25C4';    // ◄
constexpr char32_t kMoreToTheRight = U'\u25BA';   // ►

std::string LittleEndian(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

std::uint32_t ReadLittleEndian(const char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

struct Entry {
    std::int64_t at = 0;         // position of the header in Browse.tmp
    std::int32_t previous = 0;   // back link as stored
    std::int32_t record = 0;     // record position in the record file
    std::string text;

    std::int64_t Next() const { return at + kHeaderBytes + static_cast<std::int64_t>(text.size()); }
};

// The list window with its frame; at least one line and one column inside,
// and wholly where the operator sees it, or it cannot be shown.
bool WindowFits(const Rect& box, Windows& windows) {
    return box.top >= 1 && box.left >= 1 && windows.screen().ShowsWhole(box.bottom, box.right) &&
           box.bottom - box.top - 1 >= 1 && box.right - box.left - 1 >= 1;
}

Rect WindowOf(const FormList& list) {
    return Rect {list.fields[2], list.fields[3], list.fields[4], list.fields[5]};
}

}  // namespace

// One open list: its cache file, the fetching from the record file, the page
// on the screen and the highlight.
class ListPopup::Run {
public:
    Run(ListPopup& owner, std::int16_t list, const FormList& definition, std::string startKey, std::string keyRange)
        : o_(owner), list_(list), def_(definition), file_(definition.fields[0]), keyNumber_(definition.fields[1]),
          box_(WindowOf(definition)), h_(box_.bottom - box_.top - 1), w_(box_.right - box_.left - 1),
          startKey_(std::move(startKey)), keyRange_(std::move(keyRange)) {}

    // Only the cache this list used is deleted: whatever else goes by its
    // name is not this user's to remove.
    ~Run() {
        if (!store_) return;
        store_.reset();
        if (o_.platform_.Exists(o_.BrowsePath())) o_.platform_.Remove(o_.BrowsePath());
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // Runs the key loop; key (out) is the key that left it.
    std::int16_t Browse(key::Code& key) {
        OpenStore();
        // The title first: it shows while the first page is being fetched.
        DrawTitle();
        DrawPage();
        for (;;) {
            Highlight(true);
            key = NextKey();
            Highlight(false);
            if (!Move(key)) break;
        }
        std::int16_t result = -1;
        if (key == key::Enter && !page_.empty()) result = Choose(page_[static_cast<std::size_t>(line_ - 1)]);
        GiveBackTypedKeys();
        return result;
    }

private:
    // A list with a record file starts from an empty cache; one without shows
    // what the cache already holds. The cache lies in a shared folder: only
    // this user's own file is used, never one reached through a link, and a
    // new one is made for this user alone.
    void OpenStore() {
        const std::string path = o_.BrowsePath();
        if (file_ != 0) {
            if (o_.platform_.Exists(path)) o_.platform_.Remove(path);
            store_ = o_.platform_.Open(path, OpenMode::Private);
            end_ = 1;
        } else if (o_.platform_.Exists(path)) {
            store_ = o_.platform_.Open(path, OpenMode::Private);
            end_ = store_ ? std::max<std::int64_t>(store_->Size(), 0) + 1 : 1;
        }
        endOfData_ = file_ == 0 || !store_;
    }

    // The entry whose header is at `position`, when the cache holds all of it.
    std::optional<Entry> ReadEntry(std::int64_t position) {
        if (!store_ || position < 1 || position + kHeaderBytes > end_) return std::nullopt;
        char header[kHeaderBytes];
        if (store_->ReadAt(position - 1, header, sizeof header) != kHeaderBytes) return std::nullopt;
        Entry entry;
        entry.at = position;
        entry.previous = static_cast<std::int32_t>(ReadLittleEndian(header, 4));
        entry.record = static_cast<std::int32_t>(ReadLittleEndian(header + 4, 4));
        const auto length = static_cast<std::int64_t>(ReadLittleEndian(header + 8, 2));
        if (position + kHeaderBytes + length > end_) return std::nullopt;
        entry.text.resize(static_cast<std::size_t>(length));
        if (length > 0 && store_->ReadAt(position - 1 + kHeaderBytes, entry.text.data(), entry.text.size()) != length)
            return std::nullopt;
        return entry;
    }

    // Like ReadEntry, fetching the next record's line first when the
    // position is the end of what has been fetched.
    std::optional<Entry> EntryAt(std::int64_t position) {
        if (position >= end_ && !endOfData_) FetchLine();
        return ReadEntry(position);
    }

    // The entry before `entry`. A back link counts only when it leads to an
    // entry that ends exactly where this one starts, so a damaged cache can
    // neither loop nor send the browser into the middle of a text: an entry
    // with a broken link is treated as the first.
    std::optional<std::int64_t> PreviousOf(const Entry& entry) {
        if (entry.previous <= 0 || entry.previous + kHeaderBytes > entry.at) return std::nullopt;
        auto previous = ReadEntry(entry.previous);
        if (!previous || previous->Next() != entry.at) return std::nullopt;
        return entry.previous;
    }

    // Reads records until one gives a line, and appends it to the cache; or
    // sets the end of data.
    void FetchLine() {
        RecordFiles& records = o_.records_;
        for (;;) {
            std::int16_t status = 0;
            if (!fetchStarted_) {
                fetchStarted_ = true;
                records.GetByKey(file_, keyNumber_, startKey_, 1, status);
                // Converted after the read, which sets the key number the conversion follows.
                if (status == 0 && !keyRange_.empty()) rangeCollated_ = records.KeyToCollationForm(keyRange_, file_);
            } else {
                if (EscapeTyped()) break;
                records.StepRecords(file_, 1, status);
            }
            if (status != 0 || PastKeyRange()) break;
            std::string line = TrimTrailingBlanks(o_.hooks_.ListLine(list_));
            if (line.empty()) continue;
            if (line.size() > kLongestLine) line.resize(kLongestLine);
            if (!Append(records.GetDirect(file_, 0), line)) break;
            return;
        }
        endOfData_ = true;
    }

    // An empty key range sets no limit. The current key is compared in its
    // collation form as the record layer gives it; converting it a second
    // time would turn binary segments back to their stored order.
    bool PastKeyRange() {
        if (keyRange_.empty()) return false;
        return o_.records_.CurrentKeyCollated(file_).substr(0, rangeCollated_.size()) > rangeCollated_;
    }

    // Looks at the keyboard once, without waiting: Esc ends the fetching;
    // any other key is kept for the key loop.
    bool EscapeTyped() {
        KeyRead read = o_.keyboard_.ReadKeyEvent();
        key::Code code = read.button != 0 ? Keyboard::ClickCode(read.column, read.button, read.row) : read.key;
        if (code == key::Esc) return true;
        if (code != 0) typedAhead_.push_back(code);
        return false;
    }

    bool Append(std::int32_t recordPosition, const std::string& line) {
        const std::int64_t length = kHeaderBytes + static_cast<std::int64_t>(line.size());
        if (!store_ || end_ + length - 1 > kLastPosition) return false;
        std::string bytes = LittleEndian(static_cast<std::uint32_t>(lastHeader_), 4) +
                            LittleEndian(static_cast<std::uint32_t>(recordPosition), 4) +
                            LittleEndian(static_cast<std::uint32_t>(line.size()), 2) + line;
        if (!store_->WriteAt(end_ - 1, bytes.data(), bytes.size()).ok) return false;
        lastHeader_ = static_cast<std::int32_t>(end_);
        end_ += length;
        return true;
    }

    key::Code NextKey() {
        if (typedAhead_.empty()) return o_.keyboard_.WaitKey();
        key::Code code = typedAhead_.front();
        typedAhead_.pop_front();
        return code;
    }

    // Characters typed during a fetch and not used by the list go on to
    // whatever reads keys next.
    void GiveBackTypedKeys() {
        std::string characters;
        for (key::Code code : typedAhead_)
            if (code > 0 && code < 256) characters.push_back(static_cast<char>(code));
        o_.keyboard_.PendingKeys().insert(0, characters);
        typedAhead_.clear();
    }

    // true: the key moved in the list; false: it leaves the list.
    bool Move(key::Code key) {
        switch (key) {
            case key::Left:
                if (offset_ > 1) {
                    offset_ -= kScrollColumns;
                    DrawTitle();
                    DrawPage();
                }
                return true;
            case key::Right:
                if (offset_ <= largestOffset_) {
                    offset_ += kScrollColumns;
                    DrawTitle();
                    DrawPage();
                }
                return true;
            case key::Up: LineUp(); return true;
            case key::Down: LineDown(); return true;
            case key::PgUp: PageUp(); return true;
            case key::PgDn: PageDown(); return true;
            default: return false;
        }
    }

    void LineUp() {
        if (page_.empty()) return;
        if (line_ > 1) {
            --line_;
            return;
        }
        if (auto previous = PreviousOf(page_.front())) {
            pageStart_ = *previous;
            DrawPage();
        }
    }

    void LineDown() {
        if (page_.empty()) return;
        if (line_ < static_cast<int>(page_.size())) {
            ++line_;
            return;
        }
        // A page shorter than the window already met the end of the list.
        if (static_cast<int>(page_.size()) < h_ || !EntryAt(page_.back().Next())) return;
        pageStart_ = page_.front().Next();
        DrawPage();
    }

    // Page and highlight each move back h entries, the page not past the
    // first entry; near the start the highlight lands on the entry h above
    // the one it was on, or on the first entry when fewer than h lie above.
    void PageUp() {
        if (page_.empty()) return;
        Entry start = page_.front();
        int moved = 0;
        while (moved < h_) {
            auto previous = PreviousOf(start);
            if (!previous) break;
            auto entry = ReadEntry(*previous);
            if (!entry) break;
            start = std::move(*entry);
            ++moved;
        }
        if (moved == 0) return;
        pageStart_ = start.at;
        line_ = std::max(1, line_ + moved - h_);
        DrawPage();
    }

    // The next page, when there is an entry on it; the highlight keeps its
    // screen line, or goes to the new page's last entry when that is shorter.
    void PageDown() {
        if (nextPage_ == 0 || !EntryAt(nextPage_)) return;
        pageStart_ = nextPage_;
        DrawPage();
    }

    void DrawPage() {
        const int largestBefore = largestOffset_;
        page_.clear();
        std::int64_t position = pageStart_;
        for (int row = 1; row <= h_; ++row) {
            auto entry = EntryAt(position);
            if (!entry) break;
            largestOffset_ = std::max(largestOffset_, static_cast<int>(entry->text.size()) - w_);
            position = entry->Next();
            page_.push_back(std::move(*entry));
            PrintLine(row, &page_.back());
        }
        for (int row = static_cast<int>(page_.size()) + 1; row <= h_; ++row) PrintLine(row, nullptr);
        nextPage_ = static_cast<int>(page_.size()) == h_ ? position : 0;
        line_ = std::clamp(line_, 1, std::max(1, static_cast<int>(page_.size())));
        // A line longer than any seen before: the title's right arrow may now show.
        if (largestOffset_ != largestBefore) DrawTitle();
    }

    void PrintLine(int row, const Entry* entry) {
        std::string_view text = entry != nullptr ? std::string_view(entry->text) : std::string_view();
        const auto from = static_cast<std::size_t>(offset_ - 1);
        std::string_view shown = from < text.size() ? text.substr(from, static_cast<std::size_t>(w_)) : std::string_view();
        Screen& screen = o_.windows_.screen();
        screen.Locate(box_.top + row, box_.left + 1);
        screen.Print(FitWidth(shown, static_cast<std::size_t>(w_)));
    }

    void Highlight(bool on) {
        o_.colours_.SetColour(on ? "u" : "h");
        PrintLine(line_, page_.empty() ? nullptr : &page_[static_cast<std::size_t>(line_ - 1)]);
    }

    // On the top frame line: blanks of the title show as frame line and
    // underscores as blanks; the corners become arrows where text is hidden.
    void DrawTitle() {
        const std::string& title = def_.Title;
        const auto from = static_cast<std::size_t>(offset_ - 1);
        std::u32string shown;
        shown.push_back(offset_ == 1 ? kLeftCorner : kMoreToTheLeft);
        for (std::size_t i = from; i < from + static_cast<std::size_t>(w_); ++i) {
            if (i >= title.size() || title[i] == ' ')
                shown.push_back(kDoubleLine);
            else if (title[i] == '_')
                shown.push_back(U' ');
            else
                shown.push_back(Cp850ToUnicode(static_cast<unsigned char>(title[i])));
        }
        const bool moreText = offset_ <= largestOffset_ || title.size() > from + static_cast<std::size_t>(w_);
        shown.push_back(moreText ? kMoreToTheRight : kRightCorner);
        o_.colours_.SetColour("n");
        Screen& screen = o_.windows_.screen();
        screen.Locate(box_.top, box_.left);
        screen.PrintU32(shown);
        o_.colours_.SetColour("h");
    }

    std::int16_t Choose(const Entry& entry) {
        if (file_ == 0) {
            o_.selectedPosition_ = entry.record;
            o_.selectedLine_ = entry.text;
            return 0;
        }
        if (entry.record == 0) return -1;
        return static_cast<std::int16_t>(o_.records_.GetDirect(file_, entry.record));
    }

    ListPopup& o_;
    const std::int16_t list_;
    const FormList def_;
    const std::int16_t file_;
    const std::int16_t keyNumber_;
    const Rect box_;
    const int h_;
    const int w_;
    const std::string startKey_;
    const std::string keyRange_;
    std::string rangeCollated_;

    std::unique_ptr<File> store_;
    std::int64_t end_ = 1;           // position just after the last whole entry
    std::int32_t lastHeader_ = 0;    // position of the last header written
    bool fetchStarted_ = false;
    bool endOfData_ = true;
    std::deque<key::Code> typedAhead_;

    std::vector<Entry> page_;        // the entries on the screen, top first
    std::int64_t pageStart_ = 1;
    std::int64_t nextPage_ = 0;      // 0: the page holds the last entry
    int line_ = 1;                   // screen line of the highlight
    int offset_ = 1;                 // first column of the texts shown: 1, 9, 17, ...
    int largestOffset_ = 0;          // longest line seen minus w
};

ListPopup::ListPopup(FormTables& tables, FormHooks& hooks, FormEngine& engine, RecordFiles& records,
                     Keyboard& keyboard, Windows& windows, Colours& colours, Platform& platform, std::string tempDir)
    : tables_(tables), hooks_(hooks), engine_(engine), records_(records), keyboard_(keyboard), windows_(windows),
      colours_(colours), platform_(platform), tempDir_(std::move(tempDir)) {}

std::int16_t ListPopup::ListBrowser(std::int16_t list) {
    if (!tables_.HasList(list)) {
        keyboard_.console().Beep();
        return -1;
    }
    const Rect box = WindowOf(tables_.List(list));
    if (!WindowFits(box, windows_)) {
        keyboard_.RefusePopup("La llista", box.bottom, box.right);
        return -1;
    }
    // A copy: the hooks may change the tables while the list is open.
    const FormList definition = tables_.List(list);
    const auto& fields = definition.fields;
    if (fields[6] != 0) {
        key::Code key = 0;
        engine_.RunScreen(fields[6], 0, 0, key);
        if (key == key::Esc) return -1;
    }
    std::string startKey;
    std::string keyRange;
    std::int16_t result = hooks_.ListStart(list, startKey, keyRange);
    if (result != 0) return result;

    const std::int16_t file = fields[0];
    std::int16_t status = 0;
    if (file != 0) records_.SetLockMode(file, "+d", status);
    colours_.SetColour("+n");
    windows_.PushScreenRegion(box.top, box.left, box.bottom, box.right);
    windows_.DrawWindowFrame(2);
    colours_.SetColour("h");
    keyboard_.SetExitKeys("+ea", kExitKeyList);
    if (fields[7] != 0) keyboard_.SetExitKeys("a", kSecondListKey);

    key::Code key = 0;
    {
        Run run(*this, list, definition, std::move(startKey), std::move(keyRange));
        result = run.Browse(key);
    }  // Browse.tmp is closed and deleted before a second list uses it

    if (key == key::F4 && fields[7] != 0) {
        std::int16_t second = fields[7];
        result = ListBrowser(second);
        if (result == 0) {
            std::int16_t screen = 0;
            std::int16_t item = 0;
            hooks_.AfterListChoice(second, screen, item);
        }
    }
    keyboard_.SetExitKeys("-", "");
    windows_.PopScreenRegion();
    colours_.SetColour("-");
    if (file != 0) records_.SetLockMode(file, "-", status);
    return result;
}

}  // namespace qp
