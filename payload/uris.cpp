// Payloads that are URIs or close to them: places (geo:), e-mails (mailto:), telephone numbers
// (tel:), text messages (SMSTO:) and one-time passwords (otpauth:).
#include "payload/fields.h"

namespace qr::payload {
namespace {

constexpr std::size_t npos = std::string::npos;
constexpr char kTelScheme[] = "tel:";
constexpr int kGeoDecimals = 6;
constexpr std::int64_t kMicrodegrees = 1000000;
constexpr std::int64_t kMinPeriod = 1, kMaxPeriod = 86400;  // seconds: at most a day
constexpr char kBase32[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
constexpr int kBase32Group = 8;  // characters that make 5 bytes

// Checks a coordinate of at most 6 decimals, within `limit` degrees of 0 when `limit` is not 0.
std::string CheckCoordinate(const char* field, const std::string& value, int limit) {
    if (value.empty()) return "";
    std::int64_t scaled = 0;
    std::string reason = ReadDecimal(field, value, kGeoDecimals, &scaled);
    if (reason.empty() && limit != 0 &&
        (scaled > limit * kMicrodegrees || scaled < -limit * kMicrodegrees)) {
        reason = std::string(field) + ": " + Quoted(value) + " is out of range: -" +
                 std::to_string(limit) + " to " + std::to_string(limit);
    }
    return reason;
}

// A telephone number without its spaces, or a refusal.
std::string ReadNumber(const std::string& number, std::string* compact) {
    *compact = Compact(number, " ");
    const std::size_t digits = compact->compare(0, 1, "+") == 0 ? 1 : 0;
    if (compact->find_first_not_of("0123456789-", digits) != npos ||
        compact->find_first_of("0123456789") == npos) {
        return "number: " + Quoted(number) + " is not digits, a leading +, spaces and -";
    }
    return "";
}

// The addresses of `field` (joined by commas) percent-encoded but for their @ and the commas
// between them, or a refusal of the first that is no e-mail address.
std::string ReadAddresses(const char* field, const std::string& list, std::string* encoded) {
    encoded->clear();
    for (std::size_t begin = 0; !list.empty(); begin = list.find(',', begin) + 1) {
        std::string address = list.substr(begin, list.find(',', begin) - begin);
        address.erase(0, address.find_first_not_of(' '));
        address.erase(address.find_last_not_of(' ') + 1);
        const std::size_t at = address.find('@');
        if (at == 0 || at == npos || address.back() == '@' || address.find(' ') != npos) {
            return std::string(field) + ": " + Quoted(address) + " is no e-mail address";
        }
        *encoded += (encoded->empty() ? "" : ",") + PercentEncode(address, "@");
        if (list.find(',', begin) == npos) break;
    }
    return "";
}

}  // namespace

Result BuildGeo(const GeoFields& given) {
    GeoFields fields = given;
    std::string reason = Resolve(&fields);
    if (reason.empty()) reason = CheckCoordinate("latitude", fields.latitude, 90);
    if (reason.empty()) reason = CheckCoordinate("longitude", fields.longitude, 180);
    if (reason.empty()) reason = CheckCoordinate("altitude", fields.altitude, 0);
    if (!reason.empty()) return Refused(reason);
    return Made("geo:" + fields.latitude + "," + fields.longitude +
                (fields.altitude.empty() ? "" : "," + fields.altitude));
}

Result BuildEmail(const EmailFields& given) {
    EmailFields fields = given;
    std::string to, cc, bcc;
    std::string reason = Resolve(&fields);
    if (reason.empty()) reason = ReadAddresses("to", fields.to, &to);
    if (reason.empty()) reason = ReadAddresses("cc", fields.cc, &cc);
    if (reason.empty()) reason = ReadAddresses("bcc", fields.bcc, &bcc);
    if (!reason.empty()) return Refused(reason);
    std::string query;
    for (const auto& [name, value] : {std::pair<std::string, std::string>{"cc", cc},
                                      {"bcc", bcc},
                                      {"subject", PercentEncode(fields.subject)},
                                      {"body", PercentEncode(LineBreaksAs(fields.body, "\r\n"))}}) {
        if (!value.empty()) query += (query.empty() ? "?" : "&") + name + "=" + value;
    }
    return Made("mailto:" + to + query);
}

Result BuildTel(const TelFields& given) {
    TelFields fields = given;
    std::string number;
    std::string reason = Resolve(&fields);
    if (reason.empty()) reason = ReadNumber(fields.number, &number);
    if (!reason.empty()) return Refused(reason);
    return Made(std::string(kTelScheme) + number);
}

// The number of a message is that of a telephone.
Result BuildSms(const SmsFields& given) {
    SmsFields fields = given;
    const std::string reason = Resolve(&fields);
    const Result tel = reason.empty() ? BuildTel({fields.number}) : Refused(reason);
    if (!tel.ok) return tel;
    return Made("SMSTO:" + tel.text.substr(sizeof kTelScheme - 1) + ":" + fields.text);
}

Result BuildOtp(const OtpFields& given) {
    OtpFields fields = given;
    std::string reason = Resolve(&fields);
    if (!reason.empty()) return Refused(reason);
    const std::string secret = Compact(fields.secret, " =");
    const std::size_t rest = secret.size() % kBase32Group;  // 1, 3 and 6 leave bits over
    if (secret.empty() || secret.find_first_not_of(kBase32) != npos || rest == 1 || rest == 3 ||
        rest == 6) {
        return Refused("secret: " + Quoted(fields.secret) + " is not base32 (A-Z and 2-7)");
    }
    for (const auto& [name, value] : {std::pair<const char*, std::string>{"issuer", fields.issuer},
                                      {"account", fields.account}}) {
        if (value.find(':') != npos) {
            return Refused(std::string(name) + ": " + Quoted(value) +
                           " has a colon, which the label keeps between issuer and account");
        }
    }
    std::int64_t period = 0;
    reason = ReadDecimal("period", fields.period, 0, &period);
    if (reason.empty() && (period < kMinPeriod || period > kMaxPeriod)) {
        reason = "period: " + Quoted(fields.period) +
                 " is out of range: " + std::to_string(kMinPeriod) + " to " +
                 std::to_string(kMaxPeriod);
    }
    if (!reason.empty()) return Refused(reason);
    const std::string issuer = PercentEncode(fields.issuer);
    return Made("otpauth://totp/" + (issuer.empty() ? "" : issuer + ":") +
                PercentEncode(fields.account) + "?secret=" + secret +
                (issuer.empty() ? "" : "&issuer=" + issuer) + "&algorithm=" + fields.algorithm +
                "&digits=" + fields.digits + "&period=" + std::to_string(period));
}

}  // namespace qr::payload
