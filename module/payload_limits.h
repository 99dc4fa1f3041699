// The road of a payload's text to its symbol: the settings its limits leave.
#pragma once

#include <string>

#include "module/pipeline.h"
#include "payload/payload.h"

namespace qr {

// Applies `limits` to `settings`. A payload that sets a level is read by the apps of its own
// format (a payment by banking apps), so its symbol is exactly as they expect: that level, its
// text as bytes (no ECI, UTF-8 or not), no boost, and no larger version than its largest. Returns
// "" with `settings` changed so, or one line naming the first setting that asks otherwise (another
// level, boost, UTF-8, Micro QR, a larger version); a payload without limits leaves every
// setting as it is.
std::string ApplyLimits(const payload::SymbolLimits& limits, EncodeSettings* settings);

}  // namespace qr
