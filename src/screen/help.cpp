#include "screen/help.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "screen/colours.h"
#include "text/cp850.h"

namespace qp {
namespace {

// Help files are written for 80-column consoles, one 80-byte record per line,
// whatever the width of the console that shows them.
constexpr std::int64_t kRecordLength = 80;
constexpr int kShownBytes = 76;
constexpr unsigned char kHighlight = 30, kUnderline = 31, kReverse = 16;

constexpr int kF1 = 0x3B00, kUp = 0x4800, kDown = 0x5000, kPgUp = 0x4900, kPgDn = 0x5100;
constexpr int kHome = 0x4700, kEnd = 0x4F00, kEsc = 27;

constexpr std::string_view kMenuHelpTopic = "QPMENUEX";
constexpr std::string_view kCatalan = "CAT";  // its pages are in AJUDA itself

// The folder of AJUDA that holds the session language's pages, with its
// separator; empty for Catalan. The code comes from a file: only three
// letters that make a plain name become a folder.
std::string LanguageFolder(std::string_view languageCode) {
    const std::string code = TrimBlanks(languageCode);
    const bool letters = std::all_of(code.begin(), code.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
    if (code.size() != 3 || !letters || !IsHelpTopic(code) || UpperForCompare(code) == kCatalan) return {};
    return code + "\\";
}

// The file length in records, a half rounding to the even neighbour.
std::int64_t LineCount(std::int64_t size) {
    if (size <= 0) return 0;
    std::int64_t whole = size / kRecordLength;
    const std::int64_t twice = 2 * (size % kRecordLength);
    if (twice > kRecordLength || (twice == kRecordLength && whole % 2 == 1)) ++whole;
    return whole;
}

// The pager's keys on its bottom border, Catalan, shown through Translate.
// Code page 850: 0x18 and 0x19 are the console's up and down arrows, 0x85
// is "a" with a grave accent, 0xFA the middle dot.
const std::string kPagerKeys = "\x18\x19 ReP\x85g AvP\x85g \xFA Esc";

// One pager window over one open help file. The numbers follow the pager's
// rule: the lines shown are next - V to next - 1. The window takes the rows
// and columns the operator sees, which on a terminal smaller than the
// program's screen are fewer than the screen's.
class Pager {
public:
    Pager(Windows& windows, std::unique_ptr<File> file, std::string keys)
        : windows_(windows), screen_(windows.screen()), colours_(windows.colours()), file_(std::move(file)),
          keys_(std::move(keys)) {
        Console& console = screen_.console();
        rows_ = std::min(console.VisibleRows(), windows_.ScreenRows());
        columns_ = std::min(console.VisibleColumns(), windows_.ScreenColumns());
        lines_ = file_ ? LineCount(file_->Size()) : 0;
        view_ = rows_ - 8;
        // Text from window column 2 up to the frame; 76 bytes on an 80-column console.
        shownLimit_ = std::min(kShownBytes, columns_ - 3);
    }

    int ViewRows() const { return view_; }

    void Open() {
        colours_.SetColour("+h");
        windows_.PushScreenRegion(4, 1, BottomRow(), columns_);
        windows_.DrawWindowFrame(2);
        colours_.SetColour("n");
        ShowLines(1, view_, 1);
        next_ = view_ + 1;
        DrawBottomBorder();
    }

    void Close() {
        file_.reset();
        windows_.PopScreenRegion();
        colours_.SetColour("-");
    }

    void Act(int key) {
        Move(key);
        DrawBottomBorder();
    }

private:
    int BottomRow() const { return rows_ - 3; }

    void Move(int key) {
        const std::int64_t v = view_;
        const bool more = lines_ >= next_;
        const bool earlier = next_ - v > 1;
        switch (key) {
            case kDown:
                if (!more) break;
                Scroll(1);
                ShowLine(next_, view_);
                ++next_;
                break;
            case kUp:
                if (!earlier) break;
                --next_;
                Scroll(-1);
                ShowLine(next_ - v, 1);
                break;
            case kPgDn:
                if (!more) break;
                Scroll(view_);
                if (lines_ < next_ + v - 1) next_ = lines_ - v + 1;
                ShowLines(next_, next_ + v - 1, 1);
                next_ += v;
                break;
            case kPgUp:
                if (!earlier) break;
                Scroll(-view_);
                if (next_ - 2 * v < 1) next_ = 2 * v;
                ShowLines(next_ - 2 * v + 1, next_ - v, 1);
                next_ = next_ - v + 1;
                break;
            case kHome:
                if (!earlier) break;
                Scroll(-view_);
                ShowLines(1, v, 1);
                next_ = v + 1;
                break;
            case kEnd:
                if (!more) break;
                Scroll(view_);
                next_ = lines_ - v + 1;
                ShowLines(next_, lines_, 1);
                next_ = lines_ + 1;
                break;
            default: break;
        }
    }

    // The frame's bottom line again, with the keys in its middle and the
    // lines shown at its right; the rows of text are not touched.
    void DrawBottomBorder() {
        colours_.SetColour("h");
        screen_.Locate(BottomRow(), 1);
        screen_.Print(PagerBottomLine(keys_, next_ - view_, next_ - 1, lines_, columns_));
        colours_.SetColour("n");
    }

    void Scroll(int lines) { windows_.ScrollRegion(4, 1, rows_ - 5, columns_ - 2, lines); }

    void ShowLines(std::int64_t first, std::int64_t last, int row) {
        for (std::int64_t n = first; n <= last; ++n, ++row) ShowLine(n, row);
    }

    // Beyond the end of the file a record reads as zero bytes, shown blank.
    std::string ReadRecord(std::int64_t n) {
        std::string record(static_cast<std::size_t>(kRecordLength), '\0');
        if (file_ && n >= 1) file_->ReadAt((n - 1) * kRecordLength, record.data(), record.size());
        return record;
    }

    void Put(unsigned char byte) {
        char shown = byte == 0 ? ' ' : static_cast<char>(byte);
        screen_.Print(std::string_view(&shown, 1));
    }

    void ShowLine(std::int64_t n, int row) {
        colours_.SetColour("n");
        windows_.LocateInWindow(row, 2);
        const std::string record = ReadRecord(n);
        bool highlight = false, underline = false, reverse = false;
        int count = 0;
        for (char c : record) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte == kHighlight) {
                highlight = !highlight;
                if (!underline) colours_.SetColour(highlight ? "h" : "n");
            } else if (byte == kUnderline) {
                underline = !underline;
                colours_.SetColour(underline ? "u" : "n");
            } else if (byte == kReverse) {
                reverse = !reverse;
                colours_.SetColour(reverse ? "r" : "n");
            } else if (++count <= shownLimit_) {
                Put(byte);
            }
        }
    }

    Windows& windows_;
    Screen& screen_;
    Colours& colours_;
    std::unique_ptr<File> file_;
    std::string keys_;
    int rows_ = 0;
    int columns_ = 0;
    std::int64_t lines_ = 0;
    std::int64_t next_ = 0;
    int view_ = 0;
    int shownLimit_ = kShownBytes;
};

}  // namespace

std::string PagerBottomLine(const std::string& keys, std::int64_t first, std::int64_t last, std::int64_t lines,
                            int width) {
    constexpr char kCorner[] = "\xC8", kOtherCorner[] = "\xBC", kRule = '\xCD';
    if (width < 2) return {};
    std::string line = kCorner + std::string(static_cast<std::size_t>(width - 2), kRule) + kOtherCorner;
    // Between blanks, and clear of the corners.
    const std::string shownKeys = " " + keys + " ";
    std::size_t keysEnd = 0;
    if (shownKeys.size() + 4 <= static_cast<std::size_t>(width)) {
        const std::size_t start = (static_cast<std::size_t>(width) - shownKeys.size()) / 2;
        line.replace(start, shownKeys.size(), shownKeys);
        keysEnd = start + shownKeys.size();
    }
    if (lines > 0) {
        const std::string position =
            " " + std::to_string(first) + "-" + std::to_string(std::min(last, lines)) + "/" + std::to_string(lines) + " ";
        // One rule before the corner; never over the keys.
        const std::size_t room = static_cast<std::size_t>(width) - 2;
        if (position.size() < room && room - position.size() > keysEnd)
            line.replace(room - position.size(), position.size(), position);
    }
    return line;
}

bool IsHelpTopic(std::string_view topic) {
    constexpr std::size_t kLongestTopic = 64;
    if (topic.empty() || topic.size() > kLongestTopic) return false;
    for (char c : topic) {
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '_' && c != '-') return false;
    }
    const std::string upper = UpperForCompare(topic);
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (upper == device) return false;
    // COM0 and LPT0 too: Windows lists them among its reserved names.
    const bool numberedDevice = upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
                                upper[3] >= '0' && upper[3] <= '9';
    return !numberedDevice;
}

Help::Help(Windows& windows, Platform& platform, std::string hostKind, std::string languageCode,
           Translator* translator)
    : windows_(windows), platform_(platform), hostKind_(std::move(hostKind)),
      languageFolder_(LanguageFolder(languageCode)), translator_(translator) {}

HelpOutcome Help::ShowHelp(const std::string& topic) {
    // The topic comes from a file that others may write; it goes into a
    // file name and, on Windows, a command line.
    if (!IsHelpTopic(topic)) {
        windows_.screen().console().Beep();
        return HelpOutcome::NoPage;
    }
    // Only Windows has QPOPEN; elsewhere no command line is ever built.
    if (platform_.IsWindowsHost() && hostKind_.compare(0, 3, "WIN") == 0) {
        // The console is left as it is: the page opens in its own window.
        platform_.RunCommand(platform_.GetEnv("COMSPEC") + " /C QPOPEN " + HtmlPage(topic));
        return HelpOutcome::Shown;
    }
    return ShowTextHelp(topic);
}

std::string Help::HtmlPage(const std::string& topic) {
    if (!languageFolder_.empty()) {
        std::string own = "AJUDA\\" + languageFolder_ + topic + ".HTM";
        if (platform_.Exists(own)) return own;
    }
    return "AJUDA\\" + topic + ".HTM";
}

std::unique_ptr<File> Help::OpenTextPage(const std::string& topic) {
    if (!languageFolder_.empty())
        if (auto own = OpenPage("AJUDA\\" + languageFolder_ + topic + ".HLP")) return own;
    return OpenPage("AJUDA\\" + topic + ".HLP");
}

// Only read: asking for a page that does not exist must not leave an empty
// one in the installation. A page too large for a help page counts as missing.
std::unique_ptr<File> Help::OpenPage(const std::string& path) {
    auto page = platform_.Open(path, OpenMode::ReadShared);
    if (page && page->Size() > kSmallFileLimit) return nullptr;
    return page;
}

HelpOutcome Help::ShowTextHelp(const std::string& topic) {
    // A missing page opens a blank window that Esc closes.
    Pager pager(windows_, OpenTextPage(topic), translator_ ? translator_->Translate(kPagerKeys) : kPagerKeys);
    if (pager.ViewRows() < 1) {
        windows_.screen().console().Beep();  // no room for a single line of text
        return HelpOutcome::NoRoom;
    }
    pager.Open();
    for (int key = WaitForKey(); key != kEsc; key = WaitForKey()) {
        if (key == kF1) {
            if (topic != kMenuHelpTopic) ShowHelp(std::string(kMenuHelpTopic));
        } else {
            pager.Act(key);
        }
    }
    pager.Close();
    return HelpOutcome::Shown;
}

// The pager reads the console itself: no exit keys, hot keys or mouse.
int Help::WaitForKey() {
    Console& console = windows_.screen().console();
    for (;;) {
        InputEvent event;
        if (!console.PollEvent(event)) {
            console.WaitForInput();
            continue;
        }
        if (event.kind != InputEvent::Kind::Key) continue;
        const int code = event.character != 0 ? event.character : event.scan * 256;
        if (code != 0) return code;
    }
}

}  // namespace qp
