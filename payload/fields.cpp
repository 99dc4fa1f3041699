// The table of kinds and fields, and the road from (field, value) pairs to a kind's builder.
#include "payload/fields.h"

#include <algorithm>

namespace qr::payload {
namespace {

constexpr const char* kSecurityChoices[] = {"WPA", "WEP", "nopass", nullptr};
constexpr const char* kFlagChoices[] = {"false", "true", nullptr};
constexpr const char* kAlgorithmChoices[] = {"SHA1", "SHA256", "SHA512", nullptr};
constexpr const char* kDigitChoices[] = {"6", "8", nullptr};

// An optional field of one line of free text; the functions after it change one property.
constexpr FieldRow Text(Member member, const char* name, const char* takes, const char* help) {
    return {{name, false, FieldType::kText, takes, nullptr, "", false, 0, help}, member};
}
constexpr FieldRow Required(FieldRow row) {
    row.info.required = true;
    return row;
}
constexpr FieldRow Lines(FieldRow row) {
    row.info.multiline = true;
    return row;
}
constexpr FieldRow AtMost(int characters, FieldRow row) {
    row.info.maxCharacters = characters;
    return row;
}
constexpr FieldRow Default(const char* value, FieldRow row) {
    row.info.defaultValue = value;
    return row;
}
constexpr FieldRow Choice(Member member, const char* name, const char* const* choices,
                          const char* help) {
    return {{name, false, FieldType::kChoice, nullptr, choices, choices[0], false, 0, help},
            member};
}
constexpr FieldRow Flag(Member member, const char* name, const char* help) {
    return {{name, false, FieldType::kFlag, nullptr, kFlagChoices, "false", false, 0, help},
            member};
}

using W = WifiFields;
using V = VcardFields;
using C = MecardFields;
using P = EpcFields;
using E = EventFields;
using O = OtpFields;

}  // namespace

// What a value is and how long it may be is here; the rules of its form and those between fields
// are the builders'.
const FieldRow kFieldRows[] = {
    Required(Text(&W::ssid, "ssid", "TEXT", "the network's name")),
    Choice(&W::security, "security", kSecurityChoices, "how the network is secured"),
    Text(&W::password, "password", "TEXT", "the password (none with nopass)"),
    Flag(&W::hidden, "hidden", "the network does not announce its name"),

    Text(&V::name, "name", "TEXT", "the full name shown (default: first and last name)"),
    Text(&V::first, "first", "TEXT", "the first (given) name"),
    Text(&V::last, "last", "TEXT", "the last (family) name"),
    Text(&V::org, "org", "TEXT", "the organization"),
    Text(&V::title, "title", "TEXT", "the job title"),
    Text(&V::phone, "phone", "NUMBER", "a telephone number (voice)"),
    Text(&V::cell, "cell", "NUMBER", "a mobile number"),
    Text(&V::fax, "fax", "NUMBER", "a fax number"),
    Text(&V::email, "email", "ADDRESS", "an e-mail address"),
    Text(&V::url, "url", "URL", "a web site"),
    Text(&V::street, "street", "TEXT", "the street address"),
    Text(&V::city, "city", "TEXT", "the city"),
    Text(&V::region, "region", "TEXT", "the state or province"),
    Text(&V::code, "code", "TEXT", "the postal code"),
    Text(&V::country, "country", "TEXT", "the country"),
    Lines(Text(&V::note, "note", "TEXT", "a note")),
    Text(&V::birthday, "birthday", "YYYY-MM-DD", "the birthday"),

    Text(&C::last, "last", "TEXT", "the last (family) name"),
    Text(&C::first, "first", "TEXT", "the first (given) name"),
    Text(&C::phone, "phone", "NUMBER", "a telephone number"),
    Text(&C::email, "email", "ADDRESS", "an e-mail address"),
    Text(&C::url, "url", "URL", "a web site"),
    Text(&C::address, "address", "TEXT", "the postal address"),
    Text(&C::note, "note", "TEXT", "a note"),

    Required(AtMost(70, Text(&P::name, "name", "TEXT", "the beneficiary's name"))),
    Required(Text(&P::iban, "iban", "IBAN", "the beneficiary's account")),
    Text(&P::amount, "amount", "EUR", "the amount in euros"),
    Text(&P::bic, "bic", "BIC", "the beneficiary's bank (BIC)"),
    Text(&P::purpose, "purpose", "CODE", "the purpose code (ISO 20022)"),
    Text(&P::reference, "reference", "RF...", "the creditor reference (ISO 11649), or a text"),
    AtMost(140, Text(&P::text, "text", "TEXT", "the remittance text, or a reference")),
    AtMost(70, Text(&P::info, "info", "TEXT", "a note to the payer")),

    Required(Text(&GeoFields::latitude, "latitude", "DEGREES",
                  "degrees north of the equator (south below 0)")),
    Required(Text(&GeoFields::longitude, "longitude", "DEGREES",
                  "degrees east of Greenwich (west below 0)")),
    Text(&GeoFields::altitude, "altitude", "METRES", "the height above sea level"),

    Required(Text(&EmailFields::to, "to", "ADDRESSES", "the addresses, joined by commas")),
    Text(&EmailFields::cc, "cc", "ADDRESSES", "the addresses of copies"),
    Text(&EmailFields::bcc, "bcc", "ADDRESSES", "the addresses of blind copies"),
    Text(&EmailFields::subject, "subject", "TEXT", "the subject"),
    Lines(Text(&EmailFields::body, "body", "TEXT", "the message")),

    Required(Text(&TelFields::number, "number", "NUMBER", "digits, a leading +, spaces and -")),

    Required(Text(&SmsFields::number, "number", "NUMBER", "digits, a leading +, spaces and -")),
    Lines(Text(&SmsFields::text, "text", "TEXT", "the message")),

    Required(Text(&E::summary, "summary", "TEXT", "what the event is")),
    Required(
        Text(&E::start, "start", "TIME", "a time, YYYYMMDDTHHMMSS (Z: UTC), or a day, YYYYMMDD")),
    Text(&E::end, "end", "TIME", "as the start, and after it"),
    Text(&E::location, "location", "TEXT", "where it is"),
    Lines(Text(&E::description, "description", "TEXT", "more about it")),

    Required(Text(&O::secret, "secret", "BASE32", "the shared secret")),
    Required(Text(&O::account, "account", "TEXT", "the account, such as a user name")),
    Text(&O::issuer, "issuer", "TEXT", "who provides the account"),
    Choice(&O::algorithm, "algorithm", kAlgorithmChoices, "the hash function"),
    Choice(&O::digits, "digits", kDigitChoices, "the digits of a password"),
    Default("30", Text(&O::period, "period", "SECONDS", "the seconds a password lasts")),
};
const std::size_t kFieldRowCount = sizeof kFieldRows / sizeof kFieldRows[0];

namespace {

// The text of the record `Record` made by `Builder` from (field, value) pairs.
template <class Record, Result (*Builder)(const Record&)>
Result BuildFrom(const FieldValues& values) {
    Record record;
    std::vector<std::string> given;
    for (const auto& [name, value] : values) {
        std::string* member = nullptr;
        for (std::size_t i = 0; i < kFieldRowCount && member == nullptr; ++i) {
            const auto* slot = std::get_if<std::string Record::*>(&kFieldRows[i].member);
            if (slot != nullptr && name == kFieldRows[i].info.name) member = &(record.**slot);
        }
        if (member == nullptr) return Refused(Quoted(name) + ": no such field");
        if (std::find(given.begin(), given.end(), name) != given.end()) {
            return Refused(name + ": given twice");
        }
        given.push_back(name);
        *member = value;
    }
    return Builder(record);
}

struct KindRow {
    KindInfo info;
    std::size_t index;  // of its record in Member
    Result (*build)(const FieldValues&);
};

template <class Record, Result (*Builder)(const Record&)>
constexpr KindRow Kind(const char* name, const char* help) {
    return {{name, help}, KindIndex<Record>(), &BuildFrom<Record, Builder>};
}

constexpr KindRow kKinds[] = {
    Kind<WifiFields, BuildWifi>("wifi", "a WiFi network to join"),
    Kind<VcardFields, BuildVcard>("vcard", "a contact as a vCard 3.0"),
    Kind<MecardFields, BuildMecard>("mecard", "a contact as a MeCard"),
    Kind<EpcFields, BuildEpc>("epc", "a SEPA credit transfer in euros (EPC)"),
    Kind<GeoFields, BuildGeo>("geo", "a place on the globe"),
    Kind<EmailFields, BuildEmail>("email", "an e-mail to write"),
    Kind<TelFields, BuildTel>("tel", "a telephone number to call"),
    Kind<SmsFields, BuildSms>("sms", "a text message to send"),
    Kind<EventFields, BuildEvent>("event", "a calendar event"),
    Kind<OtpFields, BuildOtp>("otp", "one-time passwords for an authenticator (TOTP)"),
};

const KindRow* FindKind(const std::string& name) {
    for (const KindRow& kind : kKinds) {
        if (name == kind.info.name) return &kind;
    }
    return nullptr;
}

}  // namespace

std::vector<KindInfo> Kinds() {
    std::vector<KindInfo> kinds;
    for (const KindRow& kind : kKinds) kinds.push_back(kind.info);
    return kinds;
}

std::vector<FieldInfo> FieldsOf(const std::string& kind) {
    std::vector<FieldInfo> fields;
    const KindRow* row = FindKind(kind);
    for (std::size_t i = 0; row != nullptr && i < kFieldRowCount; ++i) {
        if (kFieldRows[i].member.index() == row->index) fields.push_back(kFieldRows[i].info);
    }
    return fields;
}

Result Build(const std::string& kind, const FieldValues& values) {
    std::vector<const char*> names;
    for (const KindRow& row : kKinds) names.push_back(row.info.name);
    names.push_back(nullptr);
    std::string name = kind;
    const std::string reason = ResolveChoice("kind", names.data(), &name);
    return reason.empty() ? FindKind(name)->build(values) : Refused(reason);
}

}  // namespace qr::payload
