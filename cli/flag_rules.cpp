// The flags checked against each other: first the command's own rules (one input, one output
// pattern), then the library's (CheckEncodeSettings), whose refusals of Micro QR are said again
// with the flags to change.
#include "cli/flag_rules.h"

#include "cli/limits.h"
#include "module/messages.h"

namespace qr::cli {

namespace {

// Whether an output name holds {n} or {line}, so that each code of a batch gets its own file.
bool HasPlaceholder(const std::string& pattern) {
    return pattern.find("{n}") != std::string::npos || pattern.find("{line}") != std::string::npos;
}

// What Micro QR does not offer, in the library's words with the flags to change, or in the
// words of the flags; empty when the flags ask for none of it. The rules are the library's.
std::string MicroRefusalText(const CommandLine& line) {
    const EncodeSettings settings = EncodeSettingsOf(line);
    std::string said;
    CheckEncodeSettings(settings, line.Structured(), &said);
    switch (CheckMicroSettings(settings, line.Structured())) {
        case MicroRefusal::kNone:
            break;
        case MicroRefusal::kStructured:
            return said + ": leave out --split or --micro";
        case MicroRefusal::kUtf8:
            return said + ": leave out --utf8 or --micro";
        case MicroRefusal::kVersion:
            return "-v " + std::to_string(line.version) + " is out of range for Micro QR: M" +
                   std::to_string(Limit("micro.version.low")) + " to M" +
                   std::to_string(Limit("micro.version.high"));
        case MicroRefusal::kLevel: {
            const std::string name = "M" + std::to_string(line.version);
            if (line.version == 0) return said;
            if (MicroLevelNames(line.version).empty()) {
                return name + " has no error-correction level: leave out -l, or take M" +
                       std::to_string(line.version + 1) + " or above";
            }
            return name + " has no level " + LevelLetter(line.level) + ": take -l " +
                   MicroLevelNames(line.version) + ", or -v M" +
                   std::to_string(SmallestMicroVersionWith(line.level));
        }
        case MicroRefusal::kMask:
            return "Micro QR has masks " + std::to_string(Limit("micro.mask.low")) + " to " +
                   std::to_string(Limit("micro.mask.high")) + ", not " + Quoted(line.mask);
    }
    return std::string();
}

}  // namespace

std::string CheckCombination(const CommandLine& line) {
    if ((line.hasText || line.standardInput) && !line.inputPath.empty()) {
        return "give the text or -i FILE, not both";
    }
    if (line.utf8 && line.bytes) return "give --utf8 or --no-utf8 (--kanji), not both";
    if (line.strictVersion && line.version == 0) return "--strict-version needs -v N";
    // An image format we do not write would get BMP bytes under its name.
    if (line.hasOutput && !line.hasType && NamesForeignImage(line.outputPath)) {
        return PrintableName(line.outputPath) +
               " names an image format that tessera does not write; it writes " + FormatNameList() +
               " (give -t TYPE to write one of them under this name)";
    }
    const std::string micro = MicroRefusalText(line);
    if (!micro.empty()) return micro;
    // rMQR, GS1 and the box to fit, in the library's words.
    std::string refused;
    if (CheckEncodeSettings(EncodeSettingsOf(line), line.Structured(), &refused) != TESSERA_OK) {
        return refused;
    }
    if (line.Structured()) {
        if (line.split != 0 && line.splitVersion != 0) {
            return "give --split N or --split-version V, not both";
        }
        if (line.batch) return "--batch and --split do not go together";
        if (!line.hasOutput || line.outputPath.find("{n}") == std::string::npos) {
            return "--split writes several symbols: give -o with {n} in the file name";
        }
    }
    if (!line.payload.empty() && !line.batch) {
        return "--payload is for --batch; one code is made by tessera " + line.payload +
               " and its fields";
    }
    if (line.batch) {
        if (line.hasText || line.standardInput || !line.inputPath.empty()) {
            return "--batch reads its data from its file; give no text and no -i";
        }
        if (!line.hasOutput || !HasPlaceholder(line.outputPath)) {
            return "--batch needs -o with {n} or {line} in the file name";
        }
    }
    return std::string();
}

}  // namespace qr::cli
