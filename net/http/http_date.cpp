#include "net/http/http_date.h"

#include <cstdio>

namespace httpdate {

const char* const kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

namespace {
int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
}  // namespace

// Howard Hinnant's days_from_civil, widened to 64 bits.
int64_t daysFromCivil(int64_t year, int month, int64_t day) {
  year -= month <= 2;
  const int64_t era = floorDiv(year, 400);
  const int64_t yoe = year - era * 400;
  const int64_t mp = (month + 9) % 12;
  const int64_t doy = (153 * mp + 2) / 5;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + (day - 1);
}

std::string ctimeText(int64_t t) {
  // Far beyond any calendar a header carries; keeps the arithmetic below in range.
  const int64_t kLimit = int64_t(1) << 55;
  t = t < -kLimit ? -kLimit : (t > kLimit ? kLimit : t);
  int64_t days = floorDiv(t, 86400);
  int64_t secs = t - days * 86400;
  int weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  int64_t z = days + 719468;
  const int64_t era = floorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s %s %2d %02d:%02d:%02d %lld", kWeekdays[weekday],
                kMonths[month - 1], static_cast<int>(day), static_cast<int>(secs / 3600),
                static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60),
                static_cast<long long>(year));
  return buf;
}

}  // namespace httpdate
