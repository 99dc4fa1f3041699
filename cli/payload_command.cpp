// The command's payloads over the library's table of kinds and fields and its builder, both read
// through the C API, as the bindings read them.
#include "cli/payload_command.h"

#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "cli/command.h"
#include "cli/command_line.h"
#include "cli/json_object.h"
#include "cli/usage.h"
#include "module/messages.h"
#include "module/tessera_api.h"

namespace qr::cli {
namespace {

constexpr const char* kPrintPayload = "--print-payload";
constexpr std::size_t kFlagColumn = 25;  // the flags' column of help, before HelpColumn()'s

// One field of a kind, as the library's table says it.
struct Field {
    std::string name, help, takes, defaultValue, choices;  // choices: "WPA|WEP|nopass"
    bool required = false, flag = false;
    int most = 0;  // characters, or 0: any
};

std::vector<Field> FieldsOf(const std::string& kind) {
    std::vector<Field> fields;
    const char* k = kind.c_str();
    for (int i = 0; tessera_payload_field_text(k, i, TESSERA_FIELD_NAME) != nullptr; ++i) {
        Field field;
        field.name = tessera_payload_field_text(k, i, TESSERA_FIELD_NAME);
        field.help = tessera_payload_field_text(k, i, TESSERA_FIELD_HELP);
        const char* takes = tessera_payload_field_text(k, i, TESSERA_FIELD_TAKES);
        field.takes = takes == nullptr ? "" : takes;
        field.defaultValue = tessera_payload_field_text(k, i, TESSERA_FIELD_DEFAULT);
        for (int c = 0; tessera_payload_field_choice(k, i, c) != nullptr; ++c) {
            field.choices +=
                (c == 0 ? "" : "|") + std::string(tessera_payload_field_choice(k, i, c));
        }
        field.required = tessera_payload_field_number(k, i, TESSERA_FIELD_REQUIRED) == 1;
        field.flag =
            tessera_payload_field_number(k, i, TESSERA_FIELD_KIND_OF_VALUE) == TESSERA_FIELD_FLAG;
        field.most = tessera_payload_field_number(k, i, TESSERA_FIELD_MAX_CHARACTERS);
        fields.push_back(field);
    }
    return fields;
}

// The text of `kind` made from `fields` by the library, with its symbol's limits. Returns
// TESSERA_OK, or the status with the library's reason in `why`.
Status BuildText(const std::string& kind, const JsonMembers& fields, std::string* text, int* level,
                 int* most, std::string* why) {
    std::vector<const char*> names, values;
    for (const auto& [name, value] : fields) {
        names.push_back(name.c_str());
        values.push_back(value.c_str());
    }
    char reason[TESSERA_MESSAGE_ROOM];
    std::size_t size = 0;
    Status status = tessera_payload_build(kind.c_str(), names.data(), values.data(), names.size(),
                                          nullptr, 0, &size, level, most, reason, sizeof reason);
    if (status == TESSERA_ERROR_BUFFER_TOO_SMALL) {
        std::string made(size, '\0');
        status =
            tessera_payload_build(kind.c_str(), names.data(), values.data(), names.size(), &made[0],
                                  size, &size, nullptr, nullptr, reason, sizeof reason);
        made.resize(size - 1);  // the NUL
        *text = made;
    }
    *why = status == TESSERA_OK                   ? ""
           : status == TESSERA_ERROR_BAD_ARGUMENT ? std::string(reason)
                                                  : tessera_status_message(status);
    return status;
}

// A word that is a value rather than a flag: no leading dash, or a negative number.
bool IsPositional(const std::string& arg) {
    return arg.empty() || arg[0] != '-' ||
           (arg.size() > 1 && ((arg[1] >= '0' && arg[1] <= '9') || arg[1] == '.'));
}

// The field of `fields` that the long flag `arg` ("--ssid", "--ssid=x") names, or null.
const Field* FieldFlag(const std::vector<Field>& fields, const std::string& arg) {
    if (arg.compare(0, 2, "--") != 0) return nullptr;
    const std::string name = arg.substr(2, arg.find('=') - 2);
    for (const Field& field : fields) {
        if (name == field.name) return &field;
    }
    return nullptr;
}

// "  --FLAG VALUE" padded to the help column, or on a line of its own when it is wider.
std::string HelpFlag(const std::string& flag) {
    const std::string spelled = "  " + flag;
    return spelled.size() < kFlagColumn + 2
               ? spelled + std::string(kFlagColumn + 2 - spelled.size(), ' ')
               : spelled + "\n" + std::string(kFlagColumn + 2, ' ');
}

}  // namespace

bool IsPayloadKind(const std::string& word) {
    return tessera_payload_kind_help(word.c_str()) != nullptr;
}

std::string PayloadUsage(const std::string& kind) {
    const std::vector<Field> fields = FieldsOf(kind);
    std::string required;
    for (const Field& field : fields) {
        if (!field.required) continue;
        required += ' ';
        for (const char c : field.name) {
            required += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    std::string text = "usage: tessera " + kind + required + " [--FIELD VALUE ...] [options]\n" +
                       "       tessera " + kind + " [fields] " + kPrintPayload + "\n\n" +
                       "Encodes " + tessera_payload_kind_help(kind.c_str()) +
                       ". Words without a dash are the fields marked\n" +
                       "required, in their order; the options are tessera --help's.\n\n";
    for (const Field& field : fields) {
        std::string flag = "--" + field.name;
        if (!field.takes.empty()) flag += " " + field.takes;
        if (!field.flag && !field.choices.empty()) flag += " " + field.choices;
        std::string line = field.help;
        if (field.required) line += " (required)";
        if (!field.flag && !field.defaultValue.empty()) {
            line += " (default " + field.defaultValue + ")";
        }
        if (field.most != 0) line += "; at most " + std::to_string(field.most) + " characters";
        text += HelpFlag(flag) + HelpColumn(line);
    }
    return text + HelpFlag(kPrintPayload) +
           HelpColumn("write the text to standard output, as it is, instead of a symbol") +
           HelpFlag("-h, --help") + HelpColumn("this text");
}

int RunPayload(int argc, char** argv) {
    const std::string kind = argv[1];
    const std::vector<Field> fields = FieldsOf(kind);
    JsonMembers values;
    std::vector<std::string> words;
    std::vector<const char*> options;
    bool print = false, help = false, flagsEnded = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const Field* field = flagsEnded ? nullptr : FieldFlag(fields, arg);
        if (flagsEnded || IsPositional(arg)) {
            words.push_back(arg);
        } else if (arg == "--") {
            flagsEnded = true;
        } else if (arg == kPrintPayload) {
            print = true;
        } else if (arg == "-h" || arg == "--help") {
            help = true;
        } else if (field != nullptr && arg.find('=') != std::string::npos) {
            values.emplace_back(field->name, arg.substr(arg.find('=') + 1));
        } else if (field != nullptr && field->flag) {
            values.emplace_back(field->name, "true");
        } else if (field != nullptr) {
            if (i + 1 >= argc) return Fail(kExitUsage, arg + " needs a value");
            values.emplace_back(field->name, argv[++i]);
        } else {
            options.push_back(argv[i]);
            if (TakesNextArgument(arg) && i + 1 < argc) options.push_back(argv[++i]);
        }
    }
    if (help) return Print(PayloadUsage(kind));
    CommandLine line;
    const std::string error =
        ParseCommandLine(static_cast<int>(options.size()), options.data(), &line);
    if (!error.empty()) return Fail(kExitUsage, error);
    std::size_t word = 0;
    for (const Field& field : fields) {
        if (field.required && word < words.size()) values.emplace_back(field.name, words[word++]);
    }
    if (word < words.size()) {
        return Fail(kExitUsage,
                    PrintableName(words[word]) + ": a word beyond the required fields of " + kind +
                        "; give the others as --FIELD VALUE (tessera " + kind + " --help)");
    }
    if (line.standardInput || !line.inputPath.empty() || line.batch) {
        return Fail(kExitUsage, kind +
                                    " makes its data from its fields: -i, - and --batch are "
                                    "not taken (a batch: --batch FILE --payload " +
                                    kind + ")");
    }
    std::string text, why;
    int level = TESSERA_DEFAULT, most = 0;
    const Status built = BuildText(kind, values, &text, &level, &most, &why);
    if (built != TESSERA_OK) return Fail(ExitStatusOf(built), why);
    if (print) return Print(text);
    EncodeSettings encode = EncodeSettingsOf(line);
    if (ApplyPayloadLimits(level, most, &encode, &why) != TESSERA_OK) return Fail(kExitUsage, why);
    line.hasText = true;
    line.text = text;
    return WriteCode(line, encode);
}

Status PayloadOfLine(const std::string& kind, const std::string& line, std::string* text,
                     EncodeSettings* encode, std::string* message) {
    JsonMembers members;
    const std::string unread = ReadJsonObject(line, &members);
    if (!unread.empty()) {
        *message = "not a JSON object: " + unread;
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    int level = TESSERA_DEFAULT, most = 0;
    const Status built = BuildText(kind, members, text, &level, &most, message);
    return built != TESSERA_OK ? built : ApplyPayloadLimits(level, most, encode, message);
}

}  // namespace qr::cli
