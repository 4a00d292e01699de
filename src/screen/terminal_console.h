// The console on an xterm-compatible terminal (POSIX): raw mode on the
// alternate screen, drawn by difference, keys decoded into Windows-style events.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "screen/console.h"
#include "screen/terminal_decoder.h"
#include "screen/terminal_renderer.h"

namespace qp {

class TerminalConsole : public Console {
public:
    // Takes over the terminal on stdin/stdout; nullptr and a reason when they
    // are not a terminal. The terminal is given back by the destructor, and on
    // SIGINT, SIGTERM, SIGHUP, SIGQUIT, exit() and std::terminate.
    static std::unique_ptr<TerminalConsole> Open(std::string& reason);
    ~TerminalConsole() override;
    TerminalConsole(const TerminalConsole&) = delete;
    TerminalConsole& operator=(const TerminalConsole&) = delete;

    int Rows() override;
    int Columns() override;
    int BufferRows() override;
    int BufferColumns() override;
    int VisibleRows() override;
    int VisibleColumns() override;
    void SetCursor(int row, int column) override;
    int CursorRow() override { return cursorRow_; }
    int CursorColumn() override { return cursorColumn_; }
    void SetCursorSize(int percent) override;
    int CursorSize() override { return cursorSize_; }
    Cell ReadCell(int row, int column) override;
    void WriteCells(int row, int column, const Cell* cells, int count) override;
    void Scroll(int top, int left, int bottom, int right, int lines, Cell fill) override;
    bool PollEvent(InputEvent& event) override;
    void WaitForInput() override;
    void FlushInput() override;
    void SetMouseReporting(bool on) override { mouseWanted_ = on; }
    int MouseButtons() override { return 2; }
    bool InsertToggle() override { return insert_; }
    void SetInsertToggle(bool on) override { insert_ = on; }
    std::string Clipboard() override { return clipboard_; }
    void SetClipboard(const std::string& text) override;
    void Beep() override { pending_ += '\a'; }
    void SetSizeNotice(std::function<std::string(int rows, int columns)> notice) override;
    void Flush() override;

private:
    TerminalConsole() = default;
    void FollowTerminalSize();
    void ResizeBuffer(int rows, int columns);
    Cell& At(int row, int column);
    bool Inside(int row, int column) const;
    // Reads what the terminal has sent, without waiting.
    void ReadInput();
    // Milliseconds until a lone Esc is known to be a key; -1 when none is pending.
    int LoneEscMillisecondsLeft() const;
    bool TakeEvent(InputEvent& event);
    void WriteAll(const std::string& bytes);

    int visibleRows_ = 25;
    int visibleColumns_ = 80;
    int bufferRows_ = 25;
    int bufferColumns_ = 80;
    std::vector<Cell> cells_;
    int cursorRow_ = 1;
    int cursorColumn_ = 1;
    int cursorSize_ = 0;
    bool dirty_ = true;
    TerminalRenderer renderer_;
    TerminalDecoder decoder_;
    std::chrono::steady_clock::time_point lastInput_ {};
    std::string pending_;  // bytes not yet written (beeps, clipboard, modes)
    bool mouseWanted_ = false;
    bool mouseShown_ = false;
    bool insert_ = false;
    std::string clipboard_;
    std::function<std::string(int rows, int columns)> sizeNotice_;
    int wakeRead_ = -1;  // read end of the pipe a resize writes to
};

}  // namespace qp
