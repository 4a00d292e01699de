#include <gtest/gtest.h>

#include "format/dates.h"
#include "input/calendar.h"

namespace qp {
namespace {

TEST(CalendarMoves, AcrossMonthsQuartersAndYears) {
    struct Case {
        CalendarDate from;
        key::Code key;
        CalendarDate to;
        CalendarMove move;
    } cases[] = {
        {{2024, 1, 1}, key::Left, {2023, 12, 31}, CalendarMove::Redraw},
        {{2024, 3, 31}, key::Right, {2024, 4, 1}, CalendarMove::Redraw},
        {{2024, 3, 5}, key::Right, {2024, 3, 6}, CalendarMove::Moved},
        {{2024, 2, 28}, key::Down, {2024, 3, 6}, CalendarMove::Moved},
        {{2023, 2, 25}, key::Down, {2023, 3, 4}, CalendarMove::Moved},
        {{2024, 3, 3}, key::Up, {2024, 2, 25}, CalendarMove::Moved},
        {{2024, 11, 29}, key::PgDn, {2025, 2, 28}, CalendarMove::Redraw},
        {{2024, 1, 31}, key::PgDn, {2024, 4, 30}, CalendarMove::Redraw},
        {{2024, 2, 10}, key::PgUp, {2023, 11, 10}, CalendarMove::Redraw},
        {{2024, 2, 10}, key::Home, {2024, 1, 10}, CalendarMove::Moved},
        {{2024, 2, 31}, key::End, {2024, 12, 31}, CalendarMove::Redraw},
        {{2024, 2, 10}, key::Enter, {2024, 2, 10}, CalendarMove::Ignored},
        {{2024, 2, 10}, 'f', {2024, 2, 10}, CalendarMove::Accept},
        {{2024, 2, 10}, key::AltF, {2024, 2, 10}, CalendarMove::Accept},
        {{2024, 2, 10}, key::Esc, {2024, 2, 10}, CalendarMove::Cancel},
        {{9999, 12, 31}, key::Right, {9999, 12, 31}, CalendarMove::Ignored},
        {{1, 1, 1}, key::PgUp, {1, 1, 1}, CalendarMove::Ignored},
    };
    for (const Case& c : cases) {
        CalendarDate d = c.from;
        EXPECT_EQ(MoveCalendar(d, c.key), c.move) << c.from.year << "-" << c.from.month << "-" << c.from.day;
        EXPECT_EQ(d, c.to) << c.from.year << "-" << c.from.month << "-" << c.from.day;
    }
}

TEST(CalendarStart, TakesTheWorkingDateAndMendsADamagedOne) {
    EXPECT_EQ(CalendarStart(PackDigits("20240305")), (CalendarDate {2024, 3, 5}));
    EXPECT_EQ(CalendarStart(PackDigits("20230231")), (CalendarDate {2023, 2, 28}));
    EXPECT_EQ(CalendarStart(PackDigits("20241300")), (CalendarDate {2024, 12, 1}));
    EXPECT_EQ(CalendarStart(""), (CalendarDate {1, 1, 1}));
    EXPECT_EQ(CalendarStart("\x01\xff"), CalendarStart("\x01\xff"));  // defined, whatever the bytes
}

TEST(CalendarMonths, LengthsAndQuarters) {
    const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m) EXPECT_EQ(DaysInMonth(2023, m), lengths[m - 1]) << m;
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(FirstShownMonth(3), 1);
    EXPECT_EQ(FirstShownMonth(4), 4);
    EXPECT_EQ(FirstShownMonth(12), 10);
}

}  // namespace
}  // namespace qp
