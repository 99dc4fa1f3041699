// Contacts as vCard 3.0 (RFC 2426), written with the escaping and folding of RFC 6350.
#include "payload/fields.h"

namespace qr::payload {
namespace {

// Whether `text` is a date YYYY-MM-DD of the calendar.
bool IsIsoDate(const std::string& text) {
    return text.size() == 10 && text[4] == '-' && text[7] == '-' &&
           IsDate(DigitsAt(text, 0, 4), DigitsAt(text, 5, 2), DigitsAt(text, 8, 2));
}

}  // namespace

Result BuildVcard(const VcardFields& given) {
    VcardFields fields = given;
    const std::string reason = Resolve(&fields);
    if (!reason.empty()) return Refused(reason);
    if (fields.name.empty() && fields.first.empty() && fields.last.empty()) {
        return Refused("name: missing; a vCard needs a full, a first or a last name");
    }
    if (!fields.birthday.empty() && !IsIsoDate(fields.birthday)) {
        return Refused("birthday: " + Quoted(fields.birthday) + " is no date YYYY-MM-DD");
    }
    std::string fullName = fields.name;
    if (fullName.empty()) {
        fullName =
            fields.first + (fields.first.empty() || fields.last.empty() ? "" : " ") + fields.last;
    }
    std::string address;  // post office box, extended address, street, city, region, code, country
    if (!(fields.street + fields.city + fields.region + fields.code + fields.country).empty()) {
        address = ContentLine("ADR:;;" + EscapeText(fields.street) + ";" + EscapeText(fields.city) +
                              ";" + EscapeText(fields.region) + ";" + EscapeText(fields.code) +
                              ";" + EscapeText(fields.country));
    }
    return Made(
        ContentLine("BEGIN:VCARD") + ContentLine("VERSION:3.0") +
        ContentLine("N:" + EscapeText(fields.last) + ";" + EscapeText(fields.first) + ";;;") +
        TextProperty("FN", fullName) + TextProperty("ORG", fields.org) +
        TextProperty("TITLE", fields.title) + TextProperty("TEL;TYPE=VOICE", fields.phone) +
        TextProperty("TEL;TYPE=CELL", fields.cell) + TextProperty("TEL;TYPE=FAX", fields.fax) +
        TextProperty("EMAIL;TYPE=INTERNET", fields.email) + TextProperty("URL", fields.url) +
        address + TextProperty("NOTE", fields.note) + TextProperty("BDAY", fields.birthday) +
        ContentLine("END:VCARD"));
}

}  // namespace qr::payload
