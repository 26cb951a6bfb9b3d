#pragma once
#include <cstdint>
#include <string>

// Calendar arithmetic in UTC without the C library's time zone: header dates must read
// the same on every machine.
namespace httpdate {
// Days since 1970-01-01 of a proleptic Gregorian date; the month is 1..12 and the day
// may lie outside its month (it is counted on from the month's first day).
int64_t daysFromCivil(int64_t year, int month, int64_t day);
// "Www Mmm dd hh:mm:ss yyyy" of seconds since 1970 (UTC).
std::string ctimeText(int64_t secondsSinceEpoch);
extern const char* const kWeekdays[7];  // "Sun" .. "Sat"
extern const char* const kMonths[12];   // "Jan" .. "Dec"
}  // namespace httpdate
