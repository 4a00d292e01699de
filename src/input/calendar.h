// The three-month calendar (Alt+C): the chosen day is typed into the field
// being edited as a date text in the user's format.
#pragma once

#include <string>

#include "format/preferences.h"
#include "input/keyboard.h"
#include "screen/colours.h"
#include "screen/windows.h"

namespace qp {

struct CalendarDate {
    int year = 0;
    int month = 1;
    int day = 1;
    bool operator==(const CalendarDate&) const = default;
};

enum class CalendarMove { Moved, Redraw, Accept, Cancel, Ignored };

int DaysInMonth(int year, int month);
int FirstShownMonth(int month);
// The date a packed working date stands for, made valid (month 1-12, day within the month).
CalendarDate CalendarStart(const std::string& packedWorkDate);
// Applies one key; Redraw when the shown quarter changed.
CalendarMove MoveCalendar(CalendarDate& date, key::Code code);

class Calendar {
public:
    Calendar(Keyboard& keyboard, Windows& windows, Colours& colours, UserPreferences& prefs,
             const std::string& languageCode, const std::string& workDate);

    // The chosen date as FormatDate mode 0 "dma" gives it; empty when cancelled or no room.
    std::string CalendarPopup();

private:
    void DrawQuarter(const CalendarDate& date);
    void DrawDay(const CalendarDate& date, int day, int blockMonth);
    void PrintInWindow(int row, int column, const std::string& text);

    Keyboard& keyboard_;
    Windows& windows_;
    Colours& colours_;
    UserPreferences& prefs_;
    const std::string& languageCode_;
    const std::string& workDate_;
};

}  // namespace qp
