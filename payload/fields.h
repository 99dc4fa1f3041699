// The table of fields as the builders read it: each row with its place in its kind's record, so
// that one table says which fields each kind has, and one function checks every value against
// its row.
#pragma once

#include <cstddef>
#include <string>
#include <variant>

#include "payload/payload.h"
#include "payload/text_rules.h"

namespace qr::payload {

// A field's member in its kind's record. The records' order is the order of the kinds.
using Member =
    std::variant<std::string WifiFields::*, std::string VcardFields::*, std::string MecardFields::*,
                 std::string EpcFields::*, std::string GeoFields::*, std::string EmailFields::*,
                 std::string TelFields::*, std::string SmsFields::*, std::string EventFields::*,
                 std::string OtpFields::*>;

struct FieldRow {
    FieldInfo info;
    Member member;
};

extern const FieldRow kFieldRows[];
extern const std::size_t kFieldRowCount;

// The kind whose record is `Record`, as its index in the table of kinds.
template <class Record>
constexpr std::size_t KindIndex() {
    return Member(static_cast<std::string Record::*>(nullptr)).index();
}

// Checks each field of `record` against its row and resolves it in place: an empty field takes
// its default, a choice its spelling in the table. Returns "" when every field passes, else the
// refusal of the first that does not: a required field missing, a value that is none of the
// choices, or text CheckText() refuses.
template <class Record>
std::string Resolve(Record* record) {
    for (std::size_t i = 0; i < kFieldRowCount; ++i) {
        const FieldInfo& info = kFieldRows[i].info;
        const auto* member = std::get_if<std::string Record::*>(&kFieldRows[i].member);
        if (member == nullptr) continue;
        std::string& value = record->**member;
        if (value.empty()) value = info.defaultValue;
        if (value.empty()) {
            if (info.required) return std::string(info.name) + ": missing; it is required";
            continue;
        }
        std::string reason = info.type == FieldType::kText
                                 ? CheckText(info.name, value, info.multiline, info.maxCharacters)
                                 : ResolveChoice(info.name, info.choices, &value);
        if (!reason.empty()) return reason;
    }
    return "";
}

}  // namespace qr::payload
