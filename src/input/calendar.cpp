#include "input/calendar.h"

#include <algorithm>

#include "format/dates.h"
#include "format/numbers.h"
#include "format/text_utils.h"
#include "input/popup_scope.h"
#include "text/cp850.h"

namespace qp {
namespace {

constexpr int kInnerWidth = 20;
constexpr int kWindowWidth = 22;
constexpr int kWindowRows = 24;
constexpr int kFirstYear = 1, kLastYear = 9999;

std::string PackedDate(int year, int month, int day) {
    return PackDigits(ZeroPadNumber(static_cast<long long>(year) * 10000 + month * 100 + day, 8));
}

int Weekday(int year, int month, int day) { return DayOfWeek(PackedDate(year, month, day)); }

// Month moves that leave the four-digit years are refused.
bool ShiftMonth(CalendarDate& d, int months) {
    int index = d.year * 12 + (d.month - 1) + months;
    int year = index / 12;
    if (index < 0 || year < kFirstYear || year > kLastYear) return false;
    d.year = year;
    d.month = index % 12 + 1;
    return true;
}

std::string DayNames(const std::string& language) {
    if (language == "SPA" || language == "GLG") return " L  M  X  J  V  S  D";
    if (language == "OCI") return "DL DT DC DJ DD DS DG";
    return "DL DT DC DJ DV DS DG";
}

std::string TwoDigits(int n) { return n < 10 ? " " + std::to_string(n) : std::to_string(n); }

}  // namespace

int DaysInMonth(int year, int month) {
    if (month == 2) return (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 29 : 28;
    return 30 + ((1 + (month + 1) % 9) % 2);
}

int FirstShownMonth(int month) { return ((month - 1) / 3) * 3 + 1; }

CalendarDate CalendarStart(const std::string& packed) {
    std::string digits = UnpackDigits(packed.substr(0, 4));
    digits.resize(8, '0');
    CalendarDate d;
    d.year = std::clamp(static_cast<int>(NumericValue(digits.substr(0, 4))), kFirstYear, kLastYear);
    d.month = std::clamp(static_cast<int>(NumericValue(digits.substr(4, 2))), 1, 12);
    d.day = std::clamp(static_cast<int>(NumericValue(digits.substr(6, 2))), 1, DaysInMonth(d.year, d.month));
    return d;
}

CalendarMove MoveCalendar(CalendarDate& d, key::Code code) {
    const CalendarDate before = d;
    auto result = [&] {
        bool sameQuarter = d.year == before.year && FirstShownMonth(d.month) == FirstShownMonth(before.month);
        return sameQuarter ? CalendarMove::Moved : CalendarMove::Redraw;
    };
    int step = 0;
    switch (code) {
        case key::Right: step = 1; break;
        case key::Left: step = -1; break;
        case key::Down: step = 7; break;
        case key::Up: step = -7; break;
        case key::PgDn:
        case key::PgUp:
            if (!ShiftMonth(d, code == key::PgDn ? 3 : -3)) return CalendarMove::Ignored;
            d.day = std::min(d.day, DaysInMonth(d.year, d.month));
            return result();
        case key::Home: d.month = 1; return result();
        case key::End: d.month = 12; return result();
        case 'F': case 'f': case key::AltF: return CalendarMove::Accept;
        case key::Esc: return CalendarMove::Cancel;
        default: return CalendarMove::Ignored;
    }
    d.day += step;
    if (d.day < 1) {
        if (!ShiftMonth(d, -1)) {
            d = before;
            return CalendarMove::Ignored;
        }
        d.day += DaysInMonth(d.year, d.month);
    } else if (d.day > DaysInMonth(d.year, d.month)) {
        int length = DaysInMonth(d.year, d.month);
        if (!ShiftMonth(d, 1)) {
            d = before;
            return CalendarMove::Ignored;
        }
        d.day -= length;
    }
    return result();
}

Calendar::Calendar(Keyboard& keyboard, Windows& windows, Colours& colours, UserPreferences& prefs,
                   const std::string& languageCode, const std::string& workDate)
    : keyboard_(keyboard), windows_(windows), colours_(colours), prefs_(prefs), languageCode_(languageCode),
      workDate_(workDate) {}

void Calendar::PrintInWindow(int row, int column, const std::string& text) {
    windows_.LocateInWindow(row, column);
    windows_.screen().Print(text);
}

void Calendar::DrawDay(const CalendarDate& date, int day, int blockMonth) {
    int k = (blockMonth - 1) % 3;
    int w1 = Weekday(date.year, blockMonth, 1);
    int w = Weekday(date.year, blockMonth, day);
    PrintInWindow(2 + 7 * k + (w1 + day - 2) / 7 + 1, w * 3 - 2, TwoDigits(day));
}

void Calendar::DrawQuarter(const CalendarDate& date) {
    TextUtils text;
    colours_.SetColour("n");
    std::string year = " " + ZeroPadNumber(date.year, 4) + " ";
    PrintInWindow(0, (kInnerWidth - 6) / 2 + 1, year);
    PrintInWindow(1, 1, DayNames(languageCode_));
    int first = FirstShownMonth(date.month);
    for (int k = 0; k < 3; ++k) {
        int month = first + k;
        colours_.SetColour("n");
        PrintInWindow(2 + 7 * k, 1, std::string(kInnerWidth, ' '));
        std::string name = text.UpperText(FormatDate(prefs_, languageCode_, PackedDate(date.year, month, 1), 2, "m"));
        PrintInWindow(2 + 7 * k, (kInnerWidth - static_cast<int>(name.size())) / 2 + 1, name);
        colours_.SetColour("h");
        int w1 = Weekday(date.year, month, 1);
        int length = DaysInMonth(date.year, month);
        for (int cell = 0; cell < 42; ++cell) {
            int day = cell - (w1 - 1) + 1;
            std::string shown = (day >= 1 && day <= length) ? TwoDigits(day) : std::string("  ");
            PrintInWindow(3 + 7 * k + cell / 7, (cell % 7) * 3 + 1, shown);
        }
    }
}

std::string Calendar::CalendarPopup() {
    // At the right edge of what the operator sees: on a terminal smaller
    // than the program's screen, the screen's own edge may be out of sight.
    const int columns = windows_.screen().console().VisibleColumns();
    if (!windows_.screen().ShowsWhole(kWindowRows, kWindowWidth)) {
        keyboard_.RefusePopup("El calendari", kWindowRows, kWindowWidth);  // draws nothing over a screen not saved
        return {};
    }
    PopupScope scope(keyboard_, colours_, windows_.screen().console(), "+ea",
                     "4d00,4b00,5000,4800,5100,4900,4700,4f00,2100,1b");
    // At the right edge: columns 59 to 80 of an 80-column console.
    windows_.PushScreenRegion(1, columns - kWindowWidth + 1, kWindowRows, columns);
    windows_.DrawWindowFrame(1);

    CalendarDate date = CalendarStart(workDate_);
    DrawQuarter(date);
    std::string result;
    for (bool open = true; open;) {
        colours_.SetColour("+u");
        DrawDay(date, date.day, date.month);
        key::Code k = keyboard_.WaitKey();
        colours_.SetColour("-");
        DrawDay(date, date.day, date.month);
        switch (MoveCalendar(date, k)) {
            case CalendarMove::Redraw: DrawQuarter(date); break;
            case CalendarMove::Accept:
                result = FormatDate(prefs_, languageCode_, PackedDate(date.year, date.month, date.day), 0, "dma");
                open = false;
                break;
            case CalendarMove::Cancel: open = false; break;
            case CalendarMove::Moved:
            case CalendarMove::Ignored: break;
        }
    }
    windows_.PopScreenRegion();
    return result;
}

}  // namespace qp
