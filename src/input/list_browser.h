// The pop-up list browser: one list of the form tables in a framed window,
// its lines supplied by the program's hooks from a record file read in key
// order, fetched on demand and cached in Browse.tmp so that scrolling back
// never reads the record file again.
//
// Browse.tmp is a file of entries written one after another; positions in it
// are counted from 1. Each entry is
//   offset 0, 4 bytes: position of the previous entry's header (signed,
//                      little-endian); 0 for the first entry
//   offset 4, 4 bytes: position of the entry's record in the record file
//                      (as GetDirect reports it); 0 when there is none
//   offset 8, 2 bytes: length n of the line (little-endian)
//   offset 10, n bytes: the line, code page 850, no terminator
// so the first entry starts at position 1 and the second at 11 + n1.
#pragma once

#include <cstdint>
#include <string>

#include "input/form_engine.h"
#include "input/form_hooks.h"
#include "input/form_tables.h"
#include "input/keyboard.h"
#include "platform/platform.h"
#include "records/record_files.h"
#include "screen/colours.h"
#include "screen/windows.h"

namespace qp {

class ListPopup {
public:
    // tempDir is the session's TempDir (with its trailing separator); the
    // cache is tempDir + "Browse.tmp".
    ListPopup(FormTables& tables, FormHooks& hooks, FormEngine& engine, RecordFiles& records, Keyboard& keyboard,
              Windows& windows, Colours& colours, Platform& platform, std::string tempDir);

    // Shows list `list` until the operator leaves it. 0: an entry was chosen;
    // -1: left without choosing, chose in an empty list, or the list cannot
    // be shown; otherwise ListStart's refusal or the status of reading the
    // chosen record again.
    std::int16_t ListBrowser(std::int16_t list);

    // The entry chosen last in a list without record file.
    std::int32_t SelectedListPosition() const { return selectedPosition_; }
    const std::string& SelectedListLine() const { return selectedLine_; }

    std::string BrowsePath() const { return tempDir_ + "Browse.tmp"; }

private:
    class Run;  // one open list; nested lists (F4) each get their own

    FormTables& tables_;
    FormHooks& hooks_;
    FormEngine& engine_;
    RecordFiles& records_;
    Keyboard& keyboard_;
    Windows& windows_;
    Colours& colours_;
    Platform& platform_;
    std::string tempDir_;

    std::int32_t selectedPosition_ = 0;
    std::string selectedLine_;
};

}  // namespace qp
