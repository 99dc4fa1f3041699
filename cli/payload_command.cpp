#include "cli/payload_command.h"

#include <cctype>
#include <vector>

#include "cli/command.h"
#include "cli/command_line.h"
#include "cli/json_object.h"
#include "module/payload_limits.h"
#include "payload/payload.h"

namespace qr::cli {
namespace {

constexpr const char* kPrintPayload = "--print-payload";
constexpr std::size_t kFlagColumn = 25;  // the flags' column of help, before HelpColumn()'s

// A word that is a value rather than a flag: no leading dash, or a negative number.
bool IsPositional(const std::string& arg) {
    return arg.empty() || arg[0] != '-' ||
           (arg.size() > 1 && ((arg[1] >= '0' && arg[1] <= '9') || arg[1] == '.'));
}

// The field of `fields` that the long flag `arg` ("--ssid", "--ssid=x") names, or null.
const payload::FieldInfo* FieldFlag(const std::vector<payload::FieldInfo>& fields,
                                    const std::string& arg) {
    if (arg.compare(0, 2, "--") != 0) return nullptr;
    const std::string name = arg.substr(2, arg.find('=') - 2);
    for (const payload::FieldInfo& field : fields) {
        if (name == field.name) return &field;
    }
    return nullptr;
}

// "WPA|WEP|nopass": the choices of a field, for help.
std::string Choices(const payload::FieldInfo& field) {
    std::string choices;
    for (const char* const* choice = field.choices; *choice != nullptr; ++choice) {
        choices += (choices.empty() ? "" : "|") + std::string(*choice);
    }
    return choices;
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
    return !payload::FieldsOf(word).empty();
}

std::string PayloadUsage(const std::string& kind) {
    const std::vector<payload::FieldInfo> fields = payload::FieldsOf(kind);
    std::string required;
    for (const payload::FieldInfo& field : fields) {
        if (!field.required) continue;
        required += ' ';
        for (const char* c = field.name; *c != '\0'; ++c) {
            required += static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        }
    }
    std::string help;
    for (const payload::KindInfo& info : payload::Kinds()) {
        if (kind == info.name) help = info.help;
    }
    std::string text = "usage: tessera " + kind + required + " [--FIELD VALUE ...] [options]\n" +
                       "       tessera " + kind + " [fields] " + kPrintPayload + "\n\n" +
                       "Encodes " + help + ". Words without a dash are the fields marked\n" +
                       "required, in their order; the options are tessera --help's.\n\n";
    for (const payload::FieldInfo& field : fields) {
        std::string flag = std::string("--") + field.name;
        if (field.type == payload::FieldType::kText) flag += std::string(" ") + field.takes;
        if (field.type == payload::FieldType::kChoice) flag += " " + Choices(field);
        std::string line = field.help;
        if (field.required) line += " (required)";
        if (field.type != payload::FieldType::kFlag && *field.defaultValue != '\0') {
            line += std::string(" (default ") + field.defaultValue + ")";
        }
        if (field.maxCharacters != 0) {
            line += "; at most " + std::to_string(field.maxCharacters) + " characters";
        }
        text += HelpFlag(flag) + HelpColumn(line);
    }
    return text + HelpFlag(kPrintPayload) +
           HelpColumn("write the text to standard output, as it is, instead of a symbol") +
           HelpFlag("-h, --help") + HelpColumn("this text");
}

int RunPayload(int argc, char** argv) {
    const std::string kind = argv[1];
    const std::vector<payload::FieldInfo> fields = payload::FieldsOf(kind);
    payload::FieldValues values;
    std::vector<std::string> words;
    std::vector<const char*> options;
    bool print = false, help = false, flagsEnded = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const payload::FieldInfo* field = flagsEnded ? nullptr : FieldFlag(fields, arg);
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
        } else if (field != nullptr && field->type == payload::FieldType::kFlag) {
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
    for (const payload::FieldInfo& field : fields) {
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
    const payload::Result result = payload::Build(kind, values);
    if (!result.ok) return Fail(kExitUsage, result.reason);
    if (print) return Print(result.text);
    EncodeSettings encode = EncodeSettingsOf(line);
    const std::string refused = ApplyLimits(result.limits, &encode);
    if (!refused.empty()) return Fail(kExitUsage, refused);
    line.hasText = true;
    line.text = result.text;
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
    const payload::Result result = payload::Build(kind, members);
    *message = result.ok ? ApplyLimits(result.limits, encode) : result.reason;
    if (!message->empty()) return TESSERA_ERROR_BAD_ARGUMENT;
    *text = result.text;
    return TESSERA_OK;
}

}  // namespace qr::cli
