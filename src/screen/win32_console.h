// The Windows console backend (built on Windows only).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "screen/console.h"

namespace qp {

class Win32Console : public Console {
public:
    // Takes the process's console; nullptr and a reason when there is none.
    // The console's input mode, cursor and colours are given back when the
    // object is destroyed, and also when the process ends another way: Ctrl+C
    // or Ctrl+Break, the window closed, exit(), std::terminate or a crash.
    static std::unique_ptr<Win32Console> Open(std::string& reason);
    ~Win32Console() override;
    Win32Console(const Win32Console&) = delete;
    Win32Console& operator=(const Win32Console&) = delete;

    int Rows() override;
    int Columns() override;
    int BufferRows() override;
    int BufferColumns() override;
    void SetCursor(int row, int column) override;
    int CursorRow() override;
    int CursorColumn() override;
    void SetCursorSize(int percent) override;
    int CursorSize() override { return cursorSize_; }
    Cell ReadCell(int row, int column) override;
    void WriteCells(int row, int column, const Cell* cells, int count) override;
    void Scroll(int top, int left, int bottom, int right, int lines, Cell fill) override;
    bool PollEvent(InputEvent& event) override;
    void WaitForInput() override;
    void FlushInput() override;
    void SetMouseReporting(bool on) override;
    int MouseButtons() override;
    bool InsertToggle() override { return insert_; }
    void SetInsertToggle(bool on) override;
    std::string Clipboard() override;
    void SetClipboard(const std::string& text) override;
    void Beep() override;

    struct Handles;  // the console's input and output handles

private:
    explicit Win32Console(std::unique_ptr<Handles> handles);
    void RefreshOrigin();
    bool Translate(const void* record, InputEvent& event);
    void FollowSystemInsertToggle();

    std::unique_ptr<Handles> h_;
    int cursorSize_ = 25;
    int originRow_ = 0;     // buffer row of the visible window's top
    int originColumn_ = 0;  // buffer column of its left edge
    unsigned mouseButtonsDown_ = 0;

    // The Insert toggle. The keyboard flips the system's toggle itself when
    // Ins is pressed, and a console program may not see that flip at once (or,
    // under Wine, at all), so the mode is kept here: taken from the system at
    // the start and whenever the window gets the focus back, and written to
    // the system when the program changes it without a key press.
    bool insert_ = false;
    bool systemInsert_ = false;   // the system's toggle when last read
    bool insertPressed_ = false;  // the event just delivered was a real Ins press
    int insertEchoes_ = 0;        // Ins presses injected by us, to be dropped
    std::uint64_t echoDeadline_ = 0;  // after this tick count they are not waited for
};

}  // namespace qp
