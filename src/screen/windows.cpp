#include "screen/windows.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

#include "format/text_utils.h"
#include "platform/file_rollback.h"
#include "text/cp850.h"

namespace qp {
namespace {

// WinPush.tmp: positions 1-4 hold the stack top (the position just after the
// last record, 5 when empty); each record is ten two-digit fields, the cells
// and a five-digit record length.
constexpr std::int64_t kEmptyTop = 5;
constexpr int kFieldCount = 10;
constexpr int kFieldBytes = 2 * kFieldCount;
constexpr int kLengthBytes = 5;
constexpr std::int64_t kRecordOverhead = kFieldBytes + kLengthBytes;
constexpr std::int64_t kLongestRecord = 99999;

std::string TwoDigits(int value) {
    // Only the last two digits fit; larger coordinates are kept in memory.
    int v = ((value % 100) + 100) % 100;
    return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

std::string FiveDigits(std::int64_t value) {
    std::string out(kLengthBytes, '0');
    for (int i = kLengthBytes - 1; i >= 0; --i, value /= 10)
        out[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    return out;
}

std::optional<int> ParseDigits(std::string_view text) {
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool ReadExactly(File& file, std::int64_t position, std::string& out, std::size_t n) {
    out.assign(n, '\0');
    return file.ReadAt(position - 1, out.data(), n) == static_cast<std::int64_t>(n);
}

std::optional<std::int64_t> ReadStackTop(File& file) {
    std::string bytes;
    if (!ReadExactly(file, 1, bytes, 4)) return std::nullopt;
    std::uint32_t raw = 0;
    for (int i = 3; i >= 0; --i) raw = (raw << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(raw);
}

bool WriteStackTop(File& file, std::int64_t top) {
    auto raw = static_cast<std::uint32_t>(static_cast<std::int32_t>(top));
    std::array<unsigned char, 4> bytes {};
    for (std::size_t i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(raw >> (8 * i));
    return file.WriteAt(0, bytes.data(), bytes.size()).ok;
}

// A record read back from the file; every field has been checked against the
// others and against the file's size.
struct FileRecord {
    std::int64_t start = 0;
    int cursorRow = 0;
    int cursorColumn = 0;
    Rect region;
    std::string cells;  // character, attribute, ...
};

std::optional<FileRecord> ReadRecordEndingAt(File& file, std::int64_t top, bool withCells) {
    const std::int64_t size = file.Size();
    if (size < 0 || top < kEmptyTop + kRecordOverhead || top - 1 > size) return std::nullopt;
    std::string text;
    if (!ReadExactly(file, top - kLengthBytes, text, kLengthBytes)) return std::nullopt;
    auto length = ParseDigits(text);
    if (!length || *length < kRecordOverhead || top - *length < kEmptyTop) return std::nullopt;

    FileRecord record;
    record.start = top - *length;
    if (!ReadExactly(file, record.start, text, kFieldBytes)) return std::nullopt;
    std::array<int, kFieldCount> fields {};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        auto value = ParseDigits(std::string_view(text).substr(2 * i, 2));
        if (!value) return std::nullopt;
        fields[i] = *value;
    }
    record.cursorRow = fields[0];
    record.cursorColumn = fields[1];
    record.region = Rect {fields[6], fields[7], fields[8], fields[9]};
    const Rect& r = record.region;
    if (r.top > r.bottom || r.left > r.right) return std::nullopt;
    const std::int64_t cellCount = std::int64_t {r.bottom - r.top + 1} * (r.right - r.left + 1);
    if (kRecordOverhead + 2 * cellCount != *length) return std::nullopt;
    if (withCells && !ReadExactly(file, record.start + kFieldBytes, record.cells, static_cast<std::size_t>(2 * cellCount)))
        return std::nullopt;
    return record;
}

}  // namespace

Windows::Windows(Screen& screen, Colours& colours, Platform& platform, std::string tempDir)
    : screen_(screen), colours_(colours), platform_(platform), tempDir_(std::move(tempDir)) {}

Windows::~Windows() {
    if (std::any_of(saved_.begin(), saved_.end(), [](const SavedRegion& s) { return s.inFile; })) DisarmFileRollback();
}

int Windows::ScreenRows() { return screen_.console().Rows(); }
int Windows::ScreenColumns() { return screen_.console().Columns(); }

bool Windows::InsideScreen(const Rect& r) {
    const int rows = ScreenRows();
    const int columns = ScreenColumns();
    auto inRows = [&](int v) { return v >= 1 && v <= rows; };
    auto inColumns = [&](int v) { return v >= 1 && v <= columns; };
    return inRows(r.top) && inColumns(r.left) && inRows(r.bottom) && inColumns(r.right);
}

void Windows::PushNothing() { saved_.push_back(SavedRegion {}); }

void Windows::PushScreenRegion(int top, int left, int bottom, int right) {
    const Rect region {top, left, bottom, right};
    // A reversed rectangle would make the record's cell count disagree with its size.
    if (!InsideScreen(region) || top > bottom || left > right) {
        PushNothing();
        return;
    }
    Console& console = screen_.console();
    SavedRegion saved;
    saved.saved = true;
    saved.region = region;
    saved.previous = current_;
    saved.cursorRow = console.CursorRow();
    saved.cursorColumn = console.CursorColumn();
    saved.cells.reserve(static_cast<std::size_t>((bottom - top + 1) * (right - left + 1)));
    for (int row = top; row <= bottom; ++row)
        for (int column = left; column <= right; ++column) saved.cells.push_back(console.ReadCell(row, column));

    WriteRecord(saved);
    saved_.push_back(std::move(saved));
    current_ = region;
    ++depth_;
}

void Windows::WriteRecord(SavedRegion& saved) {
    const std::int64_t length = kRecordOverhead + 2 * static_cast<std::int64_t>(saved.cells.size());
    if (length > kLongestRecord) return;  // the length field cannot hold it; memory restores it

    std::string record;
    record.reserve(static_cast<std::size_t>(length));
    for (int v : {saved.cursorRow, saved.cursorColumn, saved.previous.top, saved.previous.left, saved.previous.bottom,
                  saved.previous.right, saved.region.top, saved.region.left, saved.region.bottom, saved.region.right})
        record += TwoDigits(v);
    for (const Cell& cell : saved.cells) {
        record.push_back(static_cast<char>(UnicodeToCp850(cell.ch)));
        record.push_back(static_cast<char>(cell.attr));
    }
    record += FiveDigits(length);

    // Before this process's first record, note the file as the program that
    // started us left it: a signal that ends us then gives it back so. The
    // file lies in a shared folder: one that is not this user's own (a link,
    // another user's file) is left alone, and the region lives in memory only.
    auto ownInFile = std::find_if(saved_.rbegin(), saved_.rend(), [](const SavedRegion& s) { return s.inFile; });
    const bool first = ownInFile == saved_.rend();
    if (first && !ArmFileRollback(WinPushPath())) return;
    // A first record that cannot be written leaves the file as it was found.
    auto giveUp = [first] {
        if (first) RollBackFileOnSignal();
    };
    auto file = platform_.Open(WinPushPath(), OpenMode::Private);
    if (!file) return giveUp();

    // After our own last record; at our first push after whatever stack the
    // file already holds (other programs of the suite share it), unless that
    // stack cannot be read, and then the file starts afresh.
    std::int64_t start = kEmptyTop;
    if (ownInFile != saved_.rend()) {
        start = ownInFile->fileEnd;
    } else if (auto top = ReadStackTop(*file); top && *top > kEmptyTop && ReadRecordEndingAt(*file, *top, false)) {
        start = *top;
    }
    const std::int64_t end = start + length;
    if (end > std::numeric_limits<std::int32_t>::max()) return giveUp();
    if (!file->WriteAt(start - 1, record.data(), record.size()).ok || !WriteStackTop(*file, end)) {
        file.reset();
        return giveUp();
    }
    saved.inFile = true;
    saved.fileStart = start;
    saved.fileEnd = end;
}

void Windows::PopScreenRegion() {
    if (saved_.empty()) {
        PopForeignRegion();
        return;
    }
    SavedRegion saved = std::move(saved_.back());
    saved_.pop_back();
    if (!saved.saved) return;

    RepaintCells(saved.region, saved.cells);
    screen_.Locate(saved.cursorRow, saved.cursorColumn);
    current_ = saved.previous;
    --depth_;
    if (saved.inFile) DropRecord(saved);
}

void Windows::DropRecord(const SavedRegion& saved) {
    if (std::none_of(saved_.begin(), saved_.end(), [](const SavedRegion& s) { return s.inFile; })) DisarmFileRollback();
    const std::string path = WinPushPath();
    if (!platform_.Exists(path)) return;
    auto file = platform_.Open(path, OpenMode::Private);
    if (!file) return;  // whatever took the file's place meanwhile is not ours to change
    WriteStackTop(*file, saved.fileStart);
    file.reset();
    if (saved.fileStart <= kEmptyTop) platform_.Remove(path);
}

// A pop with nothing of this process's own on the stack: the file's top record,
// left by another program or an earlier run, is put back when it reads as a
// sound record. The window state stays "no window", as this process opened none.
void Windows::PopForeignRegion() {
    const std::string path = WinPushPath();
    if (!platform_.Exists(path)) return;
    auto file = platform_.Open(path, OpenMode::Private);
    if (!file) return;  // not this user's own file: neither shown nor removed
    std::int64_t top = kEmptyTop;
    auto stackTop = ReadStackTop(*file);
    if (auto record = stackTop ? ReadRecordEndingAt(*file, *stackTop, true) : std::nullopt) {
        std::vector<Cell> cells;
        cells.reserve(record->cells.size() / 2);
        for (std::size_t i = 0; i + 1 < record->cells.size(); i += 2)
            cells.push_back(Cell {Cp850ToUnicode(static_cast<unsigned char>(record->cells[i])),
                                  static_cast<std::uint8_t>(record->cells[i + 1])});
        RepaintCells(record->region, cells);
        screen_.Locate(record->cursorRow, record->cursorColumn);
        top = record->start;
        WriteStackTop(*file, top);
    }
    file.reset();
    // An empty stack, or one that cannot be read, leaves nothing worth keeping.
    if (top <= kEmptyTop) platform_.Remove(path);
}

void Windows::RepaintCells(const Rect& region, const std::vector<Cell>& cells) {
    Console& console = screen_.console();
    const int width = region.right - region.left + 1;
    const int firstColumn = std::max(region.left, 1);
    const int lastColumn = std::min(region.right, console.BufferColumns());
    const int lastRow = std::min(region.bottom, console.BufferRows());
    for (int row = std::max(region.top, 1); row <= lastRow && firstColumn <= lastColumn; ++row) {
        const auto offset = static_cast<std::size_t>((row - region.top) * width + (firstColumn - region.left));
        console.WriteCells(row, firstColumn, cells.data() + offset, lastColumn - firstColumn + 1);
    }
    // The colour in use is that of the last cell put back.
    if (!cells.empty()) screen_.SetAttribute(cells.back().attr);
}

void Windows::LocateInWindow(int row, int column) {
    if (depth_ != 0)
        screen_.Locate(current_.top + row, current_.left + column);
    else
        screen_.Locate(row, column);
}

int Windows::WindowInnerTop() const { return depth_ != 0 ? current_.top + 1 : 1; }
int Windows::WindowInnerLeft() const { return depth_ != 0 ? current_.left + 1 : 1; }
int Windows::WindowInnerRight() { return depth_ != 0 ? current_.right - 1 : ScreenColumns(); }

void Windows::DrawWindowFrame(int style) {
    if (depth_ == 0) return;
    struct Frame {
        unsigned char topLeft, topRight, bottomLeft, bottomRight, horizontal, vertical;
    };
    static constexpr std::array<Frame, 3> kFrames {{
        {' ', ' ', ' ', ' ', ' ', ' '},
        {0xDA, 0xBF, 0xC0, 0xD9, 0xC4, 0xB3},
        {0xC9, 0xBB, 0xC8, 0xBC, 0xCD, 0xBA},
    }};
    const Frame& f = kFrames[(style == 1 || style == 2) ? static_cast<std::size_t>(style) : 0];
    const Rect& w = current_;
    const auto width = static_cast<std::size_t>(w.right - w.left + 1);
    auto line = [&](unsigned char first, unsigned char fill, unsigned char last) {
        std::string text(width, static_cast<char>(fill));
        text.front() = static_cast<char>(first);
        if (width > 1) text.back() = static_cast<char>(last);
        return text;
    };
    screen_.Locate(w.top, w.left);
    screen_.Print(line(f.topLeft, f.horizontal, f.topRight));
    const std::string middle = line(f.vertical, ' ', f.vertical);
    for (int row = w.top + 1; row <= w.bottom - 1; ++row) {
        screen_.Locate(row, w.left);
        screen_.Print(middle);
    }
    // Always written: on a one-row window the bottom line covers the top one.
    screen_.Locate(w.bottom, w.left);
    screen_.Print(line(f.bottomLeft, f.horizontal, f.bottomRight));
}

void Windows::ScrollRegion(int top, int left, int bottom, int right, int lines) {
    Console& console = screen_.console();
    const int t = std::max(top + 1, 1);
    const int l = std::max(left + 1, 1);
    const int b = std::min(bottom + 1, console.BufferRows());
    const int r = std::min(right + 1, console.BufferColumns());
    if (t > b || l > r) return;
    const int height = b - t + 1;
    // Positive moves the content up; zero counts as one row down.
    const int moved = std::clamp(lines == 0 ? -1 : lines, -height, height);
    console.Scroll(t, l, b, r, moved, Cell {U' ', screen_.Attribute()});
}

void Windows::ShowMessageBox(int row, const std::string& text) {
    constexpr int kLineWidth = 76;
    colours_.SetColour("+rh");
    std::string lines = text;
    FormatParagraph(lines, 0, kLineWidth, "i");
    const int n = static_cast<int>(lines.size() / kLineWidth);

    int top = std::max(row - (n + 1) / 2 - 2, 1);
    int bottom = top + n + 1;
    if (bottom > ScreenRows()) {
        bottom = ScreenRows();
        top = bottom - n - 1;
    }
    int left = 0;
    int right = 0;
    std::vector<std::string> shown;
    for (int i = 0; i < n; ++i) {
        shown.push_back(TrimTrailingBlanks(std::string_view(lines).substr(static_cast<std::size_t>(i * kLineWidth), kLineWidth)));
        const int w = static_cast<int>(shown.back().size());
        if (right - left < w + 4) {
            left = 41 - (w + 1) / 2 - 2;
            right = 41 + w / 2 + 1;
        }
    }
    // The caller pops the box whatever happens; a box that cannot be shown
    // still pushes an empty entry so that this pop does not close the caller's window.
    if (top < 1) {
        PushNothing();
        colours_.SetColour("-");
        return;
    }
    PushScreenRegion(top, left, bottom, right);
    if (saved_.back().saved) {
        DrawWindowFrame(1);
        for (int i = 0; i < n; ++i) {
            LocateInWindow(i + 1, 2);
            screen_.Print(shown[static_cast<std::size_t>(i)]);
        }
    }
    colours_.SetColour("-");
}

}  // namespace qp
