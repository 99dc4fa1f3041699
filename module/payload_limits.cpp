#include "module/payload_limits.h"

namespace qr {

std::string ApplyLimits(const payload::SymbolLimits& limits, EncodeSettings* settings) {
    if (limits.level == 0 && limits.maxVersion == 0) return "";
    const std::string checked = CheckEncodeSettings(*settings);
    if (!checked.empty()) return checked;
    const int asked = settings->level == kDefaultSetting ? kDefaultLevel : settings->level;
    const int level =
        limits.level == 0 ? asked : static_cast<int>(std::string("LMQH").find(limits.level));
    const std::string payload = std::string("the payload's symbol is level ") + LevelLetter(level);
    if (settings->level != kDefaultSetting && settings->level != level) {
        return payload + ", not " + LevelLetter(settings->level);
    }
    if (settings->boost) return payload + ": it is not boosted";
    if (settings->utf8) return payload + " with its text as bytes: no UTF-8 mark (ECI)";
    if (settings->micro) return payload + ": Micro QR is not read for it";
    if (limits.maxVersion != 0 && settings->version > limits.maxVersion) {
        return payload + " of version " + std::to_string(limits.maxVersion) + " at most, not " +
               std::to_string(settings->version);
    }
    settings->level = level;
    settings->utf8WhenText = false;
    settings->maxVersion = limits.maxVersion;
    return "";
}

}  // namespace qr
