// WiFi networks and MeCards: both are KEY:value; parts, with a backslash before each character
// that would end a part.
#include "payload/fields.h"

namespace qr::payload {
namespace {

constexpr char kWifiSpecial[] = "\\;,:\"";
constexpr char kMecardSpecial[] = "\\;,:";

// Whether `key` is a WEP key: 5 or 13 ASCII characters, or 10 or 26 hex digits.
bool IsWepKey(const std::string& key) {
    const std::size_t length = key.size();
    if (length == 10 || length == 26) {
        return key.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
    }
    if (length != 5 && length != 13) return false;
    for (const char c : key) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// "KEY:value;" with `special` escaped in the value, or "" when the value is empty.
std::string Part(const char* key, const std::string& value, const char* special) {
    return value.empty() ? "" : std::string(key) + ":" + Escape(value, special) + ";";
}

}  // namespace

Result BuildWifi(const WifiFields& given) {
    WifiFields fields = given;
    const std::string reason = Resolve(&fields);
    if (!reason.empty()) return Refused(reason);
    const bool open = fields.security == "nopass";
    if (open && !fields.password.empty()) return Refused("password: none is taken with nopass");
    if (!open && fields.password.empty()) {
        return Refused("password: missing; " + fields.security + " needs one");
    }
    if (fields.security == "WEP" && !IsWepKey(fields.password)) {
        return Refused(
            "password: a WEP key is 5 or 13 ASCII characters or 10 or 26 hex digits, "
            "not " +
            std::to_string(CharacterCount(fields.password)) + " characters");
    }
    return Made("WIFI:T:" + fields.security + ";" + Part("S", fields.ssid, kWifiSpecial) +
                Part("P", fields.password, kWifiSpecial) +
                (fields.hidden == "true" ? "H:true;" : "") + ";");
}

Result BuildMecard(const MecardFields& given) {
    MecardFields fields = given;
    const std::string reason = Resolve(&fields);
    if (!reason.empty()) return Refused(reason);
    if (fields.last.empty() && fields.first.empty()) {
        return Refused("last: missing; a MeCard needs a last or a first name");
    }
    // The name's comma, between the last and the first name, is the one not escaped.
    std::string name = Escape(fields.last, kMecardSpecial);
    if (!fields.first.empty()) {
        name += (name.empty() ? "" : ",") + Escape(fields.first, kMecardSpecial);
    }
    return Made("MECARD:N:" + name + ";" + Part("TEL", fields.phone, kMecardSpecial) +
                Part("EMAIL", fields.email, kMecardSpecial) +
                Part("URL", fields.url, kMecardSpecial) +
                Part("ADR", fields.address, kMecardSpecial) +
                Part("NOTE", fields.note, kMecardSpecial) + ";");
}

}  // namespace qr::payload
