// SEPA credit transfers as the EPC QR code of EPC069-12 (version 2), with the checks of their
// bank codes: IBAN (ISO 13616), BIC (ISO 9362) and creditor reference (ISO 11649).
#include "payload/fields.h"

namespace qr::payload {
namespace {

constexpr int kMaxBytes = 331;
constexpr SymbolLimits kEpcSymbol = {'M', 13};
constexpr std::int64_t kMinCents = 1, kMaxCents = 99999999999;
constexpr std::size_t kMaxReference = 25;  // RF, two check digits and at most 21 more
constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::size_t npos = std::string::npos;

// The length of the IBANs of each country of the IBAN registry (ISO 13616).
struct IbanCountry {
    char code[3];
    int length;
};
constexpr IbanCountry kIbanCountries[] = {
    {"AD", 24}, {"AE", 23}, {"AL", 28}, {"AT", 20}, {"AZ", 28}, {"BA", 20}, {"BE", 16}, {"BG", 22},
    {"BH", 22}, {"BR", 29}, {"BY", 28}, {"CH", 21}, {"CR", 22}, {"CY", 28}, {"CZ", 24}, {"DE", 22},
    {"DK", 18}, {"DO", 28}, {"EE", 20}, {"EG", 29}, {"ES", 24}, {"FI", 18}, {"FO", 18}, {"FR", 27},
    {"GB", 22}, {"GE", 22}, {"GI", 23}, {"GL", 18}, {"GR", 27}, {"GT", 28}, {"HR", 21}, {"HU", 28},
    {"IE", 22}, {"IL", 23}, {"IQ", 23}, {"IS", 26}, {"IT", 27}, {"JO", 30}, {"KW", 30}, {"KZ", 20},
    {"LB", 28}, {"LC", 32}, {"LI", 21}, {"LT", 20}, {"LU", 20}, {"LV", 21}, {"MC", 27}, {"MD", 24},
    {"ME", 22}, {"MK", 19}, {"MR", 27}, {"MT", 31}, {"MU", 30}, {"NL", 18}, {"NO", 15}, {"PK", 24},
    {"PL", 28}, {"PS", 29}, {"PT", 25}, {"QA", 29}, {"RO", 24}, {"RS", 22}, {"SA", 24}, {"SC", 31},
    {"SE", 24}, {"SI", 19}, {"SK", 24}, {"SM", 27}, {"ST", 25}, {"SV", 28}, {"TL", 23}, {"TN", 24},
    {"TR", 26}, {"UA", 29}, {"VA", 22}, {"VG", 24}, {"XK", 20},
};

// Whether `code` (capitals and digits) passes the check of ISO 13616 and ISO 11649: moved to
// end with its first four characters, and read as a number with A as 10 .. Z as 35, it leaves
// 1 when divided by 97.
bool ChecksOut(const std::string& code) {
    int rest = 0;
    for (const char c : code.substr(4) + code.substr(0, 4)) {
        rest = c <= '9' ? (rest * 10 + (c - '0')) % 97 : (rest * 100 + (c - 'A' + 10)) % 97;
    }
    return rest == 1;
}

std::string CheckIban(const std::string& iban) {
    const std::string name = "iban: " + Quoted(iban);
    const IbanCountry* country = nullptr;
    for (const IbanCountry& row : kIbanCountries) {
        if (iban.compare(0, 2, row.code) == 0) country = &row;
    }
    if (country == nullptr) return name + " starts with no country that has IBANs";
    if (!AllDigits(iban, true)) return name + " has characters other than letters and digits";
    if (static_cast<int>(iban.size()) != country->length) {
        return name + " has " + std::to_string(iban.size()) + " characters; an IBAN of " +
               country->code + " has " + std::to_string(country->length);
    }
    if (!AllDigits(iban.substr(2, 2)) || !ChecksOut(iban)) return name + " has a wrong check digit";
    return "";
}

std::string CheckBic(const std::string& bic) {
    if (bic.size() != 8 && bic.size() != 11) {
        return "bic: " + Quoted(bic) + " has " + std::to_string(bic.size()) +
               " characters; a BIC has 8 or 11";
    }
    if (!AllDigits(bic, true) || bic.find_first_not_of(kLetters) < 6) {
        return "bic: " + Quoted(bic) + " is not 6 letters, then letters and digits";
    }
    return "";
}

std::string CheckReference(const std::string& reference) {
    const std::string name = "reference: " + Quoted(reference);
    if (reference.size() < 5 || reference.size() > kMaxReference ||
        reference.compare(0, 2, "RF") != 0 || !AllDigits(reference.substr(2, 2)) ||
        !AllDigits(reference.substr(4), true)) {
        return name + " is no creditor reference: RF, 2 check digits and 1 to 21 letters or digits";
    }
    return ChecksOut(reference) ? "" : name + " has a wrong check digit";
}

// `cents` as euros in the fewest digits: 12.5, 1000, 0.01.
std::string Euros(std::int64_t cents) {
    std::string euros = std::to_string(cents / 100);
    const int hundredths = static_cast<int>(cents % 100);
    if (hundredths == 0) return euros;
    euros += (hundredths < 10 ? ".0" : ".") + std::to_string(hundredths);
    return hundredths % 10 == 0 ? euros.substr(0, euros.size() - 1) : euros;
}

// The amount's line, "EUR" and the amount as Euros() writes it, or a refusal.
std::string ReadAmount(const std::string& amount, std::string* line) {
    std::int64_t cents = 0;
    std::string reason = ReadDecimal("amount", amount, 2, &cents);
    if (!reason.empty()) return reason;
    if (cents < kMinCents || cents > kMaxCents) {
        return "amount: " + Quoted(amount) + " is out of range: " + Euros(kMinCents) + " to " +
               Euros(kMaxCents);
    }
    *line = "EUR" + Euros(cents);
    return "";
}

// Checks the fields after the table's checks, writing the codes in capitals without spaces and
// the amount as its line.
std::string CheckPayment(EpcFields* fields, std::string* amount) {
    // People write the codes in groups and in any case.
    fields->iban = Compact(fields->iban, " ");
    fields->bic = Compact(fields->bic, " ");
    fields->reference = Compact(fields->reference, " ");
    fields->purpose = Compact(fields->purpose, "");
    std::string reason = CheckIban(fields->iban);
    if (!reason.empty()) return reason;
    if (!fields->bic.empty() && !(reason = CheckBic(fields->bic)).empty()) return reason;
    if (!fields->amount.empty() && !(reason = ReadAmount(fields->amount, amount)).empty()) {
        return reason;
    }
    if (!fields->purpose.empty() &&
        (fields->purpose.size() != 4 || fields->purpose.find_first_not_of(kLetters) != npos)) {
        return "purpose: " + Quoted(fields->purpose) + " is not a code of 4 letters";
    }
    if (fields->reference.empty()) return "";
    if (!fields->text.empty()) return "reference: a payment has a reference or a text, not both";
    return CheckReference(fields->reference);
}

}  // namespace

Result BuildEpc(const EpcFields& given) {
    EpcFields fields = given;
    std::string amount;
    std::string reason = Resolve(&fields);
    if (reason.empty()) reason = CheckPayment(&fields, &amount);
    if (!reason.empty()) return Refused(reason);
    const std::string lines[] = {"BCD",       "002",       "1",    "SCT",          fields.bic,
                                 fields.name, fields.iban, amount, fields.purpose, fields.reference,
                                 fields.text, fields.info};
    std::size_t count = sizeof lines / sizeof lines[0];
    while (lines[count - 1].empty()) --count;  // the empty lines at the end are left out
    std::string text = lines[0];
    for (std::size_t i = 1; i < count; ++i) text += "\n" + lines[i];
    if (text.size() > kMaxBytes) {
        return Refused("epc: " + std::to_string(text.size()) + " bytes; at most " +
                       std::to_string(kMaxBytes) + " fit (the name, text and info take most)");
    }
    return Made(text, kEpcSymbol);
}

}  // namespace qr::payload
