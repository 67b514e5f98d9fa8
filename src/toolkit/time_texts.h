#pragma once
// Texts of instants on the StartTicks scale (1/256 us since 1980-01-01 00:00:00) plus an offset in
// seconds. All of them work on the integer split of StartTicks: whole seconds are never shown one early,
// and no text depends on the machine's time zone or locale.
//
// The date and time formats are fixed: time "hh:mm:ss", date and time "dd.mm.yyyy hh:mm:ss".
#include <cstdint>
#include <string>

namespace toolkit {

// "hh:mm:ss.fffff": time of day with five digits of the fraction of the second.
std::string TimeText(int64_t ticks, double offset);
// "dd.mm.yyyy hh:mm:ss.fffff".
std::string DateTimeText(int64_t ticks, double offset);
// "dd/mm/yyyy hh:mm:ss.ffff": ten-thousandths of the second.
std::string FormatTimeStamp(int64_t ticks);
// Sign (blank or '-'), hours, minutes and seconds with five decimals: "-1:02:5.50000". The value is
// rounded to 1e-5 s before it is split; one beyond 9e13 s or not finite is shown as a plain number.
std::string FormatSignedDms(double value);

}  // namespace toolkit
