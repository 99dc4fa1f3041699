// Events as an iCalendar VEVENT (RFC 5545).
#include "payload/fields.h"

namespace qr::payload {
namespace {

// The forms of a time of RFC 5545: a day (DATE), a local time (DATE-TIME) or one in UTC (with Z).
enum class TimeForm { kNone, kDay, kLocal, kUtc };

TimeForm FormOf(const std::string& text) {
    if (!IsDate(DigitsAt(text, 0, 4), DigitsAt(text, 4, 2), DigitsAt(text, 6, 2))) {
        return TimeForm::kNone;
    }
    if (text.size() == 8) return TimeForm::kDay;
    const bool utc = text.size() == 16 && text[15] == 'Z';
    const int hour = DigitsAt(text, 9, 2), minute = DigitsAt(text, 11, 2);
    const int second = DigitsAt(text, 13, 2);  // 60: a leap second
    if ((text.size() != 15 && !utc) || text[8] != 'T' || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 60) {
        return TimeForm::kNone;
    }
    return utc ? TimeForm::kUtc : TimeForm::kLocal;
}

constexpr char kNoTime[] = " is no time YYYYMMDDTHHMMSS, with Z for UTC, nor a day YYYYMMDD";

std::string TimeProperty(const char* name, const std::string& time, TimeForm form) {
    return ContentLine(name + std::string(form == TimeForm::kDay ? ";VALUE=DATE:" : ":") + time);
}

}  // namespace

Result BuildEvent(const EventFields& given) {
    EventFields fields = given;
    const std::string reason = Resolve(&fields);
    if (!reason.empty()) return Refused(reason);
    const TimeForm start = FormOf(fields.start);
    const TimeForm end = fields.end.empty() ? start : FormOf(fields.end);
    if (start == TimeForm::kNone) return Refused("start: " + Quoted(fields.start) + kNoTime);
    if (end == TimeForm::kNone) return Refused("end: " + Quoted(fields.end) + kNoTime);
    if (end != start) {
        return Refused("end: " + Quoted(fields.end) + " is not of the form of the start " +
                       Quoted(fields.start));
    }
    if (!fields.end.empty() && fields.end <= fields.start) {
        return Refused("end: " + Quoted(fields.end) + " is not after the start " +
                       Quoted(fields.start));
    }
    return Made(ContentLine("BEGIN:VEVENT") + TextProperty("SUMMARY", fields.summary) +
                TimeProperty("DTSTART", fields.start, start) +
                (fields.end.empty() ? "" : TimeProperty("DTEND", fields.end, end)) +
                TextProperty("LOCATION", fields.location) +
                TextProperty("DESCRIPTION", fields.description) + ContentLine("END:VEVENT"));
}

}  // namespace qr::payload
