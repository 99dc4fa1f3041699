// One road for every call: settings checked (module/settings.h), one symbol or a structured set
// encoded (module/encode.h, module/structured.h), rendered in a format and delivered to a file
// that is never partial, to a stream or to a group of files made durable together
// (module/deliver.h), each step with its status and, when it fails, the one line that says why
// (module/messages.h). The one-export library's tessera(), the C API, the command and the
// bindings all go this way, so each gives the same bytes for the same settings and refuses the
// same settings with the same reason. The rules live in one table (module/limits.h, listed by the
// C API's tessera_limit()). This header declares the whole road; the steps are in their own
// headers, and none of them shows the encoder, the writers or the platform to its callers.
#pragma once

#include <cstddef>
#include <string>

#include "module/tessera_api.h"

namespace qr {

using Status = tessera_status;
class Encoder;
struct Symbol;
struct EncodeSettings;
struct OutputSettings;
struct Destination;

// The whole road of one symbol: `length` bytes at `data` (`cut`: the first bytes of longer data)
// encoded with `encoder` into `scratch`, then rendered and written to `destination`. Returns
// TESSERA_OK, or the status of the step that failed with its line in `message`.
Status EncodeRenderWrite(Encoder* encoder, Symbol* scratch, const unsigned char* data,
                         std::size_t length, bool cut, const EncodeSettings& encode,
                         const OutputSettings& output, const Destination& destination,
                         std::string* message);

// The road of one call of the one-export library's options: `count` option strings parsed in
// order (module/job_options.h), then data and an output path required, then the symbol encoded,
// rendered as `format` (a format's number) and written. Returns a tessera_result code.
// tessera() is this with its four options and BMP.
int RunSlashOptions(const char* const* options, int count, int format);

}  // namespace qr
