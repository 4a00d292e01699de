// A console in memory: a cell grid, a cursor and a queue of scripted input.
// Used by the tests, and wherever the program must run without a terminal.
#pragma once

#include <deque>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "screen/console.h"

namespace qp {

// Thrown when the program waits for input that the test's script never gives.
struct InputScriptExhausted : std::runtime_error {
    InputScriptExhausted() : std::runtime_error("the input script ran out while the program waits for a key") {}
};

class MemoryConsole : public Console {
public:
    explicit MemoryConsole(int rows = 25, int columns = 80);

    int Rows() override { return rows_; }
    int Columns() override { return columns_; }
    int BufferRows() override { return rows_; }
    int BufferColumns() override { return columns_; }
    int VisibleRows() override { return visibleRows_ > 0 ? visibleRows_ : rows_; }
    int VisibleColumns() override { return visibleColumns_ > 0 ? visibleColumns_ : columns_; }
    void SetCursor(int row, int column) override;
    int CursorRow() override { return cursorRow_; }
    int CursorColumn() override { return cursorColumn_; }
    void SetCursorSize(int percent) override { cursorSize_ = percent; }
    int CursorSize() override { return cursorSize_; }
    Cell ReadCell(int row, int column) override;
    void WriteCells(int row, int column, const Cell* cells, int count) override;
    void Scroll(int top, int left, int bottom, int right, int lines, Cell fill) override;
    bool PollEvent(InputEvent& event) override;
    void FlushInput() override;
    void SetMouseReporting(bool on) override { mouseReporting_ = on; }
    int MouseButtons() override { return mouseButtons_; }
    bool InsertToggle() override { return insert_; }
    void SetInsertToggle(bool on) override { insert_ = on; }
    std::string Clipboard() override { return clipboard_; }
    void SetClipboard(const std::string& text) override { clipboard_ = text; }
    void Beep() override { ++beeps_; }

    // --- test helpers ---
    void Resize(int rows, int columns);
    // As a terminal smaller than the console's grid: the grid stays, the
    // operator sees only rows x columns of it (0, 0: the whole grid again).
    void ShowOnly(int rows, int columns) {
        visibleRows_ = rows;
        visibleColumns_ = columns;
    }
    // Row text in code page 850 (characters outside it as '?'), all columns.
    std::string RowText(int row);
    // The characters of a row as Unicode, for glyphs outside the code page.
    std::u32string RowU32(int row);
    std::uint8_t AttrAt(int row, int column);
    // The key press that types one code page 850 character.
    static InputEvent CharacterEvent(unsigned char ch);
    // Queues each byte of a code page 850 text as a key press.
    void TypeText(std::string_view text);
    // Queues a named key ("Enter", "Ctrl+Left", "Alt+X", "F4", "a"); throws on an unknown name.
    void PressKey(std::string_view name);
    void PressKeys(std::initializer_list<std::string_view> names);
    // Queues a raw event.
    void Queue(const InputEvent& event) { queue_.push_back(event); }
    // Queues a mouse click (release) at a 1-based position; button 1 left, 2 right.
    void Click(int column, int row, int button = 1);
    std::size_t QueuedEvents() const { return queue_.size(); }
    int beeps() const { return beeps_; }
    bool mouseReporting() const { return mouseReporting_; }
    void setMouseButtons(int n) { mouseButtons_ = n; }
    // How many empty polls in a row count as a program stuck waiting.
    void setStarvationLimit(long polls) { starvationLimit_ = polls; }
    int flushes() const { return flushes_; }  // calls of FlushInput

private:
    bool Inside(int row, int column) const;
    Cell& At(int row, int column);

    int rows_;
    int columns_;
    int visibleRows_ = 0;  // 0: the whole grid is seen
    int visibleColumns_ = 0;
    std::vector<Cell> cells_;
    int cursorRow_ = 1;
    int cursorColumn_ = 1;
    int cursorSize_ = 25;
    std::deque<InputEvent> queue_;
    bool mouseReporting_ = false;
    int mouseButtons_ = 2;
    bool insert_ = false;
    std::string clipboard_;
    int beeps_ = 0;
    int flushes_ = 0;
    long emptyPolls_ = 0;
    long starvationLimit_ = 200000;
};

}  // namespace qp
