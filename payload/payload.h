// Payloads: the texts that phones read out of QR Codes as a network to join, a contact, a
// payment, a place, a message, an event or a one-time password, made from plain fields and
// checked. Data in, text out: this layer knows nothing of symbols beyond the limits a payload sets
// them, nor of files. Nothing here throws but std::bad_alloc.
//
// Every field is text as a person types it, an empty one being absent; the table of fields
// (FieldsOf) says for each kind which fields there are, which are required, what each takes,
// its default and a line of help, so that the command's options, the bindings' arguments and
// the help texts are all made from it. Build() takes a kind's name and (field, value) pairs and
// is the one road every surface takes; the Build* functions take a record of the kind's fields.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace qr::payload {

// What a payload asks of the symbol that carries it.
struct SymbolLimits {
    char level = 0;      // the error-correction level it must have ('L', 'M', 'Q', 'H'), or 0: any
    int maxVersion = 0;  // the largest version it may take, or 0: any
};

// A builder's answer: `ok` with the text and the limits of its symbol, or not with one line in
// `reason` that starts with the name of the field refused and a colon ("iban: ...").
struct Result {
    bool ok = false;
    std::string text;
    std::string reason;
    SymbolLimits limits;
};

// How a field's value is given.
enum class FieldType {
    kText,    // free text
    kChoice,  // one of `choices`, in any case
    kFlag,    // "true" or "false" (a switch in the command)
};

// One row of the table of fields.
struct FieldInfo {
    const char* name;            // as every surface spells it: --ssid, ssid=, { ssid }
    bool required;               // the kind cannot be made without it
    FieldType type;              // how the value is given
    const char* takes;           // kText: what the value is, for help ("TEXT", "YYYY-MM-DD")
    const char* const* choices;  // kChoice and kFlag: the values taken, ending in null
    const char* defaultValue;    // taken when the field is empty; "" for none
    bool multiline;              // line breaks are taken
    int maxCharacters;           // the most characters taken, or 0: any
    const char* help;            // one line
};

// One kind of payload.
struct KindInfo {
    const char* name;  // "wifi", "vcard", ...
    const char* help;  // one line
};

// The kinds, in the order help lists them.
std::vector<KindInfo> Kinds();

// The fields of the kind named `kind`, in the order help lists them; empty for an unknown kind.
std::vector<FieldInfo> FieldsOf(const std::string& kind);

using FieldValues = std::vector<std::pair<std::string, std::string>>;

// The text of the kind named `kind` (in any case) made from `values`, (field name, value) pairs in
// any order. Refused, with the reason, for an unknown kind ("kind: ..."), a field the kind does not
// have or one given twice, or as the kind's builder refuses the fields.
Result Build(const std::string& kind, const FieldValues& values);

// A WiFi network (the WIFI: format that phones join): WIFI:T:<security>;S:<ssid>;P:<password>;
// H:true;; with \ ; , : " escaped by a backslash, P only with a password, H only when hidden.
// A WEP key is 5 or 13 ASCII characters or 10 or 26 hex digits; nopass takes no password, and
// WPA and WEP need one.
struct WifiFields {
    std::string ssid, security, password, hidden;
};
Result BuildWifi(const WifiFields& fields);

// A vCard 3.0 (RFC 2426): N, FN, ORG, TITLE, TEL by type, EMAIL, URL, ADR, NOTE, BDAY between
// BEGIN and END, text values escaped (\\ \; \, and \n for line breaks), each line ended by CR LF
// and folded at 75 octets. It needs a full, first or last name; FN is "first last" unless
// `name` says otherwise. A birthday is YYYY-MM-DD.
struct VcardFields {
    std::string name, first, last, org, title, phone, cell, fax, email, url, street, city, region,
        code, country, note, birthday;
};
Result BuildVcard(const VcardFields& fields);

// A MeCard: MECARD:N:<last>,<first>;TEL:..;EMAIL:..;URL:..;ADR:..;NOTE:..;; with \ ; , :
// escaped by a backslash, each part only when given. It needs a first or last name.
struct MecardFields {
    std::string last, first, phone, email, url, address, note;
};
Result BuildMecard(const MecardFields& fields);

// A SEPA credit transfer (EPC069-12 version 2, UTF-8): BCD, 002, 1, SCT, BIC, name, IBAN,
// EUR<amount>, purpose, reference, text and info, one per line joined by LF, the empty lines at
// the end left out. The IBAN's length is its country's and its check digits hold (spaces and
// case are free: it is written in capitals without spaces, as are the BIC and the reference);
// a BIC has 8 or 11 characters; the amount is 0.01 to 999999999.99 with at most 2 decimals,
// written in the fewest digits (12.5, 1000); the purpose is 4 letters; a reference is an ISO 11649
// creditor reference (RF, check digits, at most 21 more characters), and a payment has a reference
// or a text, not both. At most 331 bytes in all; the symbol is level M and at most version 13.
struct EpcFields {
    std::string name, iban, amount, bic, purpose, reference, text, info;
};
Result BuildEpc(const EpcFields& fields);

// A place (RFC 5870): geo:<latitude>,<longitude>[,<altitude>], each a decimal number of at most
// 6 decimals, the latitude -90 to 90 and the longitude -180 to 180 degrees, the altitude in
// metres.
struct GeoFields {
    std::string latitude, longitude, altitude;
};
Result BuildGeo(const GeoFields& fields);

// An e-mail (RFC 6068): mailto:<to>?cc=..&bcc=..&subject=..&body=.., the parts given. Addresses
// (several joined by commas) keep letters, digits, - . _ ~ and @; every other byte of them and of
// the values is percent-encoded, line breaks of the body as %0D%0A.
struct EmailFields {
    std::string to, cc, bcc, subject, body;
};
Result BuildEmail(const EmailFields& fields);

// A telephone number (RFC 3966): tel:<number>. A number has digits, a leading +, spaces and -
// only; the spaces are left out.
struct TelFields {
    std::string number;
};
Result BuildTel(const TelFields& fields);

// A text message: SMSTO:<number>:<text>, the number as for BuildTel().
struct SmsFields {
    std::string number, text;
};
Result BuildSms(const SmsFields& fields);

// An event (RFC 5545): BEGIN:VEVENT, SUMMARY, DTSTART, DTEND, LOCATION, DESCRIPTION,
// END:VEVENT, text escaped and lines folded as in a vCard. Times are YYYYMMDDTHHMMSS, with Z
// for UTC; a day of its own is YYYYMMDD (VALUE=DATE). The end has the start's form and comes
// after it.
struct EventFields {
    std::string summary, start, end, location, description;
};
Result BuildEvent(const EventFields& fields);

// A one-time password (the otpauth key URI of TOTP authenticators):
// otpauth://totp/<issuer>:<account>?secret=..&issuer=..&algorithm=..&digits=..&period=..,
// issuer and account percent-encoded (neither may hold a colon), the issuer only when given.
// The secret is base32 (RFC 4648; case, spaces and padding are free: it is written in capitals
// without them); digits 6 or 8; algorithm SHA1, SHA256 or SHA512; period 1 to 86400 seconds.
struct OtpFields {
    std::string secret, account, issuer, algorithm, digits, period;
};
Result BuildOtp(const OtpFields& fields);

}  // namespace qr::payload
