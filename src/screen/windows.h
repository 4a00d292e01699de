// Windows on the console: regions saved to WinPush.tmp and restored, the
// current window, frames, scrolling and the message box.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "screen/colours.h"
#include "screen/screen.h"

namespace qp {

struct Rect {
    int top = 0, left = 0, bottom = 0, right = 0;
    bool operator==(const Rect&) const = default;
};

class Windows {
public:
    // tempDir is the session's TempDir (ends in "\" or ":", or is empty).
    Windows(Screen& screen, Colours& colours, Platform& platform, std::string tempDir);
    // The signal-time rollback of WinPush.tmp belongs to this stack of
    // windows: it is let go with it, whatever windows are still open.
    ~Windows();
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    int ScreenRows();
    int ScreenColumns();

    void PushScreenRegion(int top, int left, int bottom, int right);
    void PopScreenRegion();

    void LocateInWindow(int row, int column);
    int WindowInnerTop() const;
    int WindowInnerLeft() const;
    int WindowInnerRight();

    // Style 0 blanks, 1 single line, 2 double line; blanks the inside too.
    void DrawWindowFrame(int style);
    void ScrollRegion(int top, int left, int bottom, int right, int lines);
    // Leaves the box open as the current window; the caller pops it.
    void ShowMessageBox(int row, const std::string& text);

    int WindowDepth() const { return depth_; }
    Rect CurrentWindow() const { return current_; }
    std::string WinPushPath() const { return tempDir_ + "WinPush.tmp"; }

    Screen& screen() { return screen_; }
    Colours& colours() { return colours_; }

private:
    // What this process knows of each of its pushes, newest last. The file's
    // two-digit fields cannot hold coordinates of 100 or more, so the process
    // restores its own regions from here; the file is kept for the other
    // programs of the suite that share it, when it is this user's own file
    // (never through a link; a region is saved in memory whatever the file).
    struct SavedRegion {
        bool saved = false;  // false: the push saved nothing and its pop does nothing
        Rect region;
        Rect previous;
        int cursorRow = 0;
        int cursorColumn = 0;
        std::vector<Cell> cells;
        bool inFile = false;         // the record was written and the stack top moved past it
        std::int64_t fileStart = 0;  // 1-based position of the record in WinPush.tmp
        std::int64_t fileEnd = 0;    // position just after it
    };

    bool InsideScreen(const Rect& r);
    void WriteRecord(SavedRegion& region);
    void DropRecord(const SavedRegion& region);
    void PopForeignRegion();
    void RepaintCells(const Rect& region, const std::vector<Cell>& cells);
    void PushNothing();

    Screen& screen_;
    Colours& colours_;
    Platform& platform_;
    std::string tempDir_;
    int depth_ = 0;
    Rect current_;
    std::vector<SavedRegion> saved_;
};

}  // namespace qp
