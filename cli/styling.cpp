// Styling flags: their names and values are the library's style settings; the command adds the
// logo file, the texts and --verify.
#include "cli/styling.h"

#include <cstdio>

#include "cli/command.h"
#include "cli/command_line.h"
#include "module/messages.h"

namespace qr::cli {

namespace {

// The largest logo file read: far more than any logo needs (a PNG logo is at most 4096 pixels a
// side), and a bound on what a mistaken path costs.
constexpr std::size_t kMaxLogoBytes = 16 << 20;

// The flags of the command's own beside the style settings.
enum class OwnFlag { kNone, kLogo, kTitle, kDescription, kVerify };
struct OwnFlagInfo {
    const char* name;
    OwnFlag flag;
    const char* value;  // null: the flag takes none
    const char* help;
};
constexpr OwnFlagInfo OWN_FLAGS[] = {
    {"logo", OwnFlag::kLogo, "FILE",
     "a PNG or SVG logo in the middle; the modules under it are cleared, and level H is taken "
     "unless -l is given"},
    {"title", OwnFlag::kTitle, "TEXT", "SVG: a title, also its aria-label"},
    {"desc", OwnFlag::kDescription, "TEXT", "SVG: a description"},
    {"verify", OwnFlag::kVerify, nullptr,
     "check what was drawn: each module's centre against the symbol, per block, the contrast, "
     "the quiet zone and the printed module size; one line per problem and exit status 5"},
};

}  // namespace

int ParseStylingFlag(int argc, const char* const* argv, int i, StylingFlags* flags,
                     std::string* error) {
    const std::string arg = argv[i];
    if (arg.compare(0, 2, "--") != 0) return 0;
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
    const std::string spelled = "--" + name;
    OwnFlag own = OwnFlag::kNone;
    bool takesValue = false;
    for (const OwnFlagInfo& info : OWN_FLAGS) {
        if (name == info.name) {
            own = info.flag;
            takesValue = info.value != nullptr;
        }
    }
    bool setting = false;
    const StyleSettingTable table = StyleSettings();
    for (int k = 0; k < table.count; ++k) setting = setting || name == table.rows[k].name;
    if (own == OwnFlag::kNone && !setting) return 0;
    takesValue = takesValue || setting;
    std::string value;
    int used = 1;
    if (equals != std::string::npos) {
        if (!takesValue) {
            *error = spelled + " takes no value";
            return used;
        }
        value = arg.substr(equals + 1);
    } else if (takesValue) {
        if (i + 1 >= argc) {
            *error = spelled + " needs a value";
            return used;
        }
        value = argv[i + 1];
        used = 2;
    }
    flags->styled = flags->styled || own != OwnFlag::kVerify;
    switch (own) {
        case OwnFlag::kNone:
            *error = SetStyleSetting(name, value, &flags->style);
            if (!error->empty()) *error = "--" + *error;
            break;
        case OwnFlag::kLogo:
            if (value.empty()) *error = spelled + " needs a file name";
            flags->logoPath = value;
            break;
        case OwnFlag::kTitle:
            flags->title = value;
            break;
        case OwnFlag::kDescription:
            flags->description = value;
            break;
        case OwnFlag::kVerify:
            flags->verify = true;
            break;
    }
    return used;
}

std::string FinishStylingFlags(CommandLine* line) {
    StylingFlags& flags = line->styling;
    if (!flags.styled && !flags.verify) return std::string();
    if (!flags.logoPath.empty()) {
        std::string reason;
        if (ReadInput(flags.logoPath.c_str(), kMaxLogoBytes + 1, &flags.logo, &reason) !=
            TESSERA_OK) {
            return "the logo " + PrintableName(flags.logoPath) + " cannot be read: " + reason;
        }
        if (flags.logo.empty() || flags.logo.size() > kMaxLogoBytes) {
            return "the logo " + PrintableName(flags.logoPath) + " is empty or larger than " +
                   std::to_string(kMaxLogoBytes >> 20) + " MiB";
        }
        flags.style.logo = reinterpret_cast<const unsigned char*>(flags.logo.data());
        flags.style.logoSize = flags.logo.size();
        if (line->level == kDefaultSetting && !line->micro) line->level = TESSERA_LEVEL_H;
    }
    if (!flags.title.empty()) flags.style.title = flags.title.c_str();
    if (!flags.description.empty()) flags.style.description = flags.description.c_str();
    return std::string();
}

std::vector<HelpRow> StylingHelpRows() {
    std::vector<HelpRow> rows;
    // The flag and its value's form: "--shape NAME", "--verify".
    const auto flags = [](const std::string& name, const char* value) {
        return "--" + name + (value != nullptr ? std::string(" ") + value : "");
    };
    const StyleSettingTable table = StyleSettings();
    for (int k = 0; k < table.count; ++k) {
        const StyleSettingInfo& info = table.rows[k];
        rows.push_back({flags(info.name, info.value), StyleSettingHelp(info)});
    }
    for (const OwnFlagInfo& info : OWN_FLAGS)
        rows.push_back({flags(info.name, info.value), info.help});
    return rows;
}

int WriteStyled(const StylingFlags& flags, const Symbol& symbol, const OutputSettings& output,
                const Destination& destination) {
    VerifyResult result;
    std::string message;
    const Status status = RenderStyledWrite(symbol, output, flags.style, destination, flags.verify,
                                            &result, &message);
    if (status != TESSERA_OK) {
        std::fprintf(stderr, "tessera: %s\n", message.c_str());
        return ExitStatusOf(status);
    }
    if (result.status == VerifyStatus::kReads) return kWritten;
    PrintLines(kVerifyPrefix, result.problems);
    return kExitNotVerified;
}

Status VerifyNamed(const StylingFlags& flags, const Symbol& symbol, const OutputSettings& output,
                   const std::string& name, std::string* lines, std::string* message) {
    if (!flags.verify) return TESSERA_OK;
    VerifyResult result;
    const Status status = VerifyStyled(symbol, output, flags.style, &result, message);
    if (status == TESSERA_ERROR_NO_MEMORY) *message = "out of memory";
    if (status != TESSERA_OK) return status;
    for (std::size_t at = 0; at < result.problems.size();) {
        const std::size_t end = result.problems.find('\n', at);
        *lines += PrintableName(name) + ": " + result.problems.substr(at, end - at) + "\n";
        at = end == std::string::npos ? result.problems.size() : end + 1;
    }
    return TESSERA_OK;
}

void PrintLines(const std::string& prefix, const std::string& lines) {
    for (std::size_t at = 0; at < lines.size();) {
        const std::size_t end = lines.find('\n', at);
        std::fprintf(stderr, "%s%s\n", prefix.c_str(), lines.substr(at, end - at).c_str());
        at = end == std::string::npos ? lines.size() : end + 1;
    }
}

}  // namespace qr::cli
