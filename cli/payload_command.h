// The command's payloads: `tessera KIND --FIELD VALUE ... [options]` makes the text of a WiFi
// network, a contact, a payment... from its fields and encodes it within its limits, and
// `--batch FILE --payload KIND` reads the fields of each line as a JSON object.
#pragma once

#include <string>

#include "module/settings.h"

namespace qr::cli {

// Whether `word` is the name of a payload kind ("wifi"): as the command's first argument, it
// makes the command a payload's.
bool IsPayloadKind(const std::string& word);

// Runs `tessera KIND ...` (argv[1] the kind): the kind's fields as --FIELD VALUE, --FIELD=VALUE
// or, for a switch, --FIELD alone; words without a dash (and negative numbers) take the kind's
// required fields in their order ("tessera geo 48.85 2.29"); --print-payload writes the text to
// standard output instead of a symbol; -h, --help the kind's help; every other flag is the
// command's, as for text (-i, - and --batch excepted). Returns the exit status: 64 for a field
// refused (the reason names it) or a setting the payload's limits refuse, else as WriteCode().
int RunPayload(int argc, char** argv);

// The help of `kind`: its usage and a line for each field, made from the table of fields.
std::string PayloadUsage(const std::string& kind);

// The text of the batch line `line` for the payload `kind`, the line a JSON object of the kind's
// fields (strings, numbers and booleans as their text), and `*encode` with the payload's limits
// applied. Returns TESSERA_OK; or TESSERA_ERROR_BAD_ARGUMENT with one line in `message`: the JSON
// that cannot be read, the field refused, or the setting the limits refuse.
Status PayloadOfLine(const std::string& kind, const std::string& line, std::string* text,
                     EncodeSettings* encode, std::string* message);

}  // namespace qr::cli
