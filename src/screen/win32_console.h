// The Windows console backend (built on Windows only).
#pragma once

#include <memory>
#include <string>

#include "screen/console.h"

namespace qp {

class Win32Console : public Console {
public:
    // Takes the process's console; nullptr and a reason when there is none.
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
    void FlushInput() override;
    void SetMouseReporting(bool on) override;
    int MouseButtons() override;
    bool InsertToggle() override;
    void SetInsertToggle(bool on) override;
    std::string Clipboard() override;
    void SetClipboard(const std::string& text) override;
    void Beep() override;

    struct Handles;  // the console handles and what to restore at the end

private:
    explicit Win32Console(std::unique_ptr<Handles> handles);
    void RefreshOrigin();
    bool Translate(const void* record, InputEvent& event);

    std::unique_ptr<Handles> h_;
    int cursorSize_ = 25;
    int originRow_ = 0;     // buffer row of the visible window's top
    int originColumn_ = 0;  // buffer column of its left edge
    int insertEchoes_ = 0;  // Ins presses we injected ourselves, to be dropped
    unsigned mouseButtonsDown_ = 0;
};

}  // namespace qp
