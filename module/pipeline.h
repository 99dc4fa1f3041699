// One road for every call: settings, then a finished symbol, then its bytes in a format, then a
// file (never partial) or a stream. The library's tessera(), the API, the command and the
// bindings all go this way, so each code, default and range has one home: the statuses in
// module/tessera_api.h, the encoder's limits in encoder/, the image formats, scales and margins in
// output/. Nothing here throws.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "encoder/micro_encoder.h"
#include "encoder/module_matrix.h"
#include "module/tessera_api.h"
#include "output/image_format.h"
#include "output/render_options.h"
#include "platform/file_io.h"
#include "platform/streams.h"

namespace qr {

class CQrEncoder;

using Status = tessera_status;

// A setting left to the library.
constexpr int kDefaultSetting = TESSERA_DEFAULT;
// The level of a QR Code symbol when none is asked for: M.
constexpr int kDefaultLevel = TESSERA_LEVEL_M;

// The bytes of input kept for `symbols` symbols: one more than they can ever hold (7089 digits
// each), which is enough to learn that longer input does not fit. Input is never read further.
std::size_t InputBytesKept(int symbols = 1);

struct EncodeSettings {
    int level = kDefaultSetting;  // EcLevel, or kDefaultSetting
    int version = 0;              // 1..40, or 0 for the smallest that holds the data
    bool strictVersion = false;   // never a larger version than `version`
    int mask = kDefaultSetting;   // 0..7, or kDefaultSetting for the lowest penalty
    bool utf8 = false;            // UTF-8 text: ECI 26 ahead of the data, no Kanji pairs
    // `utf8` for data that is UTF-8 text (IsUtf8Text), and bytes as they are for any other data;
    // Micro QR, which has no ECI, always takes the bytes as they are (the command's default).
    bool utf8WhenText = false;
    bool micro = false;  // a Micro QR symbol
    bool boost = false;  // the highest level the chosen version holds
    int maxVersion = 0;  // the largest version the symbol may take (QR Code only), or 0: any
};

// The first rule of Micro QR that settings break.
enum class MicroRefusal {
    kNone,
    kVersion,     // a version above M4
    kLevel,       // a level that no Micro QR symbol offers (H), or not the version asked for
    kMask,        // a mask above 3
    kUtf8,        // UTF-8 text: Micro QR has no ECI
    kStructured,  // structured append, which Micro QR does not have
};

// What `settings` ask of Micro QR that it does not offer, `structured` saying that they are for
// a structured-append set: the levels each version offers (none in M1; L and M in M2 and M3; L, M
// and Q in M4), masks 0 to 3, no ECI, no structured append. kNone when they ask for none of that,
// or not for Micro QR. Levels, masks and versions out of every range are CheckEncodeSettings'.
MicroRefusal CheckMicroSettings(const EncodeSettings& settings, bool structured = false);

// The levels that Micro QR `version` (1..4) offers, as words ("L or M"); 0 for those that some
// version offers ("L, M or Q"). Empty for M1, which has none.
std::string MicroLevelNames(int version);

// The smallest Micro QR version that offers `level` (an EcLevel), or 0 when none does.
int SmallestMicroVersionWith(int level);

// An empty string when every setting is in its range and Micro QR's rules are kept (for a
// structured-append set when `structured`), else one line that names the first setting that is
// not (without a "tessera:" prefix).
std::string CheckEncodeSettings(const EncodeSettings& settings, bool structured = false);

// Whether `length` bytes at `data` are text that readers show right only as UTF-8: well-formed
// UTF-8 (FindNonUtf8, with `cut` as it takes it) with a byte above 0x7F. Plain ASCII is not.
bool IsUtf8Text(const unsigned char* data, std::size_t length, bool cut);

// The symbols of structured append: 2 to 16.
constexpr int kMinStructuredSymbols = 2;

// What a finished symbol is, besides its cells.
struct SymbolFacts {
    int size = 0;
    int version = 0;  // 1..40; Micro QR 1..4
    int level = 0;    // EcLevel; kDefaultSetting for M1, which has none
    int mask = 0;
    bool micro = false;
    // Of structured append: this symbol's index from 0 among `partCount` symbols, and the parity
    // of the whole data; `partCount` 0 for a symbol of its own.
    int partIndex = 0;
    int partCount = 0;
    unsigned parity = 0;
    // How full it is: the bits of its stream before the terminator, and the data bits its
    // version holds at its level.
    int dataBits = 0;
    int capacityBits = 0;
};

// A finished symbol: cells 0 light and 1 dark in the square of `size`.
struct Symbol : SymbolFacts {
    ModuleMatrix modules;
};

// How many records of each kind (CQrEncoder, CMicroEncoder, Symbol) are kept for later calls: as
// many calls as may run at the same time without making one.
constexpr int kKeptRecords = 8;

// A Symbol for the length of one call: one that an earlier call gave back, else a new one; given
// back when it goes (released when kKeptRecords are kept already), so that calls in a loop make
// none.
class SymbolRecord {
public:
    SymbolRecord();
    ~SymbolRecord();
    SymbolRecord(const SymbolRecord&) = delete;
    SymbolRecord& operator=(const SymbolRecord&) = delete;

    // Null when no memory could be had.
    Symbol* get() const { return symbol_.get(); }

private:
    std::unique_ptr<Symbol> symbol_;
};

// The offsets (1 .. length-1) at which `length` bytes at `data` may be split between symbols: not
// inside a Kanji pair the encoder would form, nor, for UTF-8 text, inside a UTF-8 sequence.
std::vector<std::size_t> SplitPoints(const unsigned char* data, std::size_t length, bool utf8);

// Encoding with a work record, large: one that an earlier Encoder gave back, else a new one; given
// back when the Encoder goes, as a SymbolRecord is, with the Micro QR record if one was made.
class Encoder {
public:
    Encoder();
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // False when the record's memory could not be had; every operation then fails.
    bool Ready() const { return qr_ != nullptr; }

    // Encodes `length` bytes at `data` with `settings` into `symbol`, reading no further than
    // InputBytesKept() bytes: more never fits. Returns TESSERA_OK; TESSERA_ERROR_CANNOT_ENCODE
    // when the data is empty, does not fit, or is marked UTF-8 but is not;
    // TESSERA_ERROR_BAD_ARGUMENT for settings out of range; TESSERA_ERROR_NO_MEMORY when the
    // record is not ready. `symbol` is written only on success. `cut` says that `data` may be the
    // first bytes of longer input, so that a UTF-8 sequence may end unfinished.
    Status Encode(const unsigned char* data, std::size_t length, const EncodeSettings& settings,
                  Symbol* symbol, bool cut = false);

    // Why Encode() with the same arguments fails, in one line without a "tessera:" prefix: the
    // bits the data needs and the most that the largest (or the strictly requested) version holds
    // at the level. It reads as far as Encode() does. `cut` says that `data` may hold only the
    // first bytes of longer input (as data longer than Encode() reads does): the bits are then
    // "at least" so many.
    std::string ExplainFailure(const unsigned char* data, std::size_t length,
                               const EncodeSettings& settings, bool cut = false);

    // Encodes `length` bytes at `data` as structured append: with `count` 2..16, in that many
    // symbols of parts as equal in length as the split points allow; with `count` 0, in symbols of
    // `settings.version` filled in order, the last taking the rest (one plain symbol when all fits
    // in one). All symbols share the level (boosted together) and one version, the smallest that
    // holds the largest part. Replaces `symbols` with them and returns TESSERA_OK; else, with one
    // line in `why`, TESSERA_ERROR_CANNOT_ENCODE (data longer than 16 symbols can hold is refused
    // unread) or TESSERA_ERROR_BAD_ARGUMENT (`count` 0 without a version included); or
    // TESSERA_ERROR_NO_MEMORY.
    Status EncodeStructured(const unsigned char* data, std::size_t length,
                            const EncodeSettings& settings, int count,
                            std::vector<std::unique_ptr<Symbol>>* symbols, std::string* why);

private:
    struct Part {
        std::size_t begin, end;
    };

    // Model 2 with the record: `data` of `length` bytes at `level` and `version` (0 for the
    // smallest), strictly or not, with the header of `part` (count 0: none). Returns whether it
    // fits.
    bool EncodeQr(const unsigned char* data, std::size_t length, int level, int version,
                  bool strict, int mask, bool utf8, int partIndex, int partCount, unsigned parity);
    // Micro QR with its own record, made the first time it is needed.
    bool MicroReady();
    Status EncodeMicro(const unsigned char* data, std::size_t length,
                       const EncodeSettings& settings, Symbol* symbol);
    std::string ExplainMicroFailure(const unsigned char* data, std::size_t length,
                                    const EncodeSettings& settings, bool cut);
    // The highest level whose capacity at the record's version holds the record's stream, never
    // below `level`.
    int BoostedLevel(int level) const;
    void TakeSymbol(Symbol* symbol, int partIndex, int partCount, unsigned parity) const;
    // The parts of a structured symbol set, or false with `why` set.
    bool PlanParts(const unsigned char* data, std::size_t length, const EncodeSettings& settings,
                   int count, std::vector<Part>* parts, std::string* why);

    std::unique_ptr<CQrEncoder> qr_;
    std::unique_ptr<CMicroEncoder> micro_;
};

// How to draw a symbol, as asked: 0 and kDefaultSetting leave the scale and the margin to the
// format and the symbol.
struct OutputSettings {
    ImageFormat format = ImageFormat::kBmp;
    int scale = 0;                 // kMinScale..kMaxScale, or 0: the format's default
    int margin = kDefaultSetting;  // kMinMargin..kMaxMargin, or the symbol's default
    Rgba dark = kDefaultDark;
    Rgba light = kDefaultLight;
    int dpi = 0;  // kMinDpi..kMaxDpi, or 0
};

// An empty string when the settings are in range and `format` takes them (colours, alpha, a
// resolution), else one line that names the value.
std::string CheckOutputSettings(const OutputSettings& settings);

// The writer's options for `symbol`: the defaults filled in.
RenderOptions ResolveRenderOptions(const Symbol& symbol, const OutputSettings& settings);

// Renders `symbol` into `bytes`. Returns TESSERA_OK; TESSERA_ERROR_BAD_ARGUMENT when
// CheckOutputSettings() refuses the settings; TESSERA_ERROR_FORMAT_NOT_AVAILABLE;
// TESSERA_ERROR_NO_MEMORY (also when the image library fails).
Status Render(const Symbol& symbol, const OutputSettings& settings, std::string* bytes);

// Creates or replaces the file at `path` with `bytes`, never partially. Returns TESSERA_OK, or
// TESSERA_ERROR_CANNOT_WRITE with the reason in `*failure` when it is not null.
Status SaveBytes(const char* path, const std::string& bytes,
                 const platform::WriteOptions& options = platform::WriteOptions(),
                 platform::WriteFailure* failure = nullptr);

// Writes `bytes` to standard output. Returns TESSERA_OK, or TESSERA_ERROR_CANNOT_WRITE with the
// reason in `*failure` when it is not null.
Status WriteToStandardOutput(const std::string& bytes, platform::WriteFailure* failure = nullptr);

// Reads at most `limit` bytes of the file, device or FIFO at `path` (null: standard input) into
// `data`. Returns TESSERA_OK, or TESSERA_ERROR_NOTHING_TO_DO with the reason in `*failure` when it
// cannot be opened or read.
Status ReadInput(const char* path, std::size_t limit, std::string* data,
                 platform::ReadFailure* failure);

// The offset of the first byte of `length` at `data` that does not begin or continue a
// well-formed UTF-8 sequence (overlong forms, surrogates and code points above U+10FFFF are not
// well formed), or `length` when all are. With `cut`, a sequence left unfinished by the end of
// the data counts as well formed.
std::size_t FindNonUtf8(const unsigned char* data, std::size_t length, bool cut);

// Where the bytes of one symbol go.
struct Destination {
    std::string path;                // the file to create or replace
    bool standardOutput = false;     // standard output instead of `path`
    int maxColumns = 0;              // text wider than this many columns is refused; 0: any
    platform::WriteOptions options;  // how a file is written
};

// The first half of the road of one symbol: encodes `length` bytes at `data` with `encoder` into
// `symbol`. Returns TESSERA_OK, or the status of Encoder::Encode() with one line in `message`
// (without a "tessera:" prefix): why the data does not fit, or the setting out of range. `cut`
// says that the data may be the first bytes of longer input.
Status EncodeExplained(Encoder* encoder, Symbol* symbol, const unsigned char* data,
                       std::size_t length, bool cut, const EncodeSettings& encode,
                       std::string* message);

// The second half: renders `symbol` and writes it to `destination`. Returns TESSERA_OK, or the
// status of the step that failed with one line in `message`: the settings the format does not
// take, the format that is not available, text too wide for `maxColumns`, or the file and why it
// cannot be written.
Status RenderWrite(const Symbol& symbol, const OutputSettings& output,
                   const Destination& destination, std::string* message);

// The whole road: EncodeExplained(), then RenderWrite() of the symbol, with their statuses and
// messages.
Status EncodeRenderWrite(Encoder* encoder, Symbol* scratch, const unsigned char* data,
                         std::size_t length, bool cut, const EncodeSettings& encode,
                         const OutputSettings& output, const Destination& destination,
                         std::string* message);

// Files written a group at a time (platform::FileGroup): each symbol is rendered and staged, and
// the group's files are synced and named together. With `eachGroup` the group commits whenever it
// is full or the limit of open files is reached, so that any number of files can go through;
// without it, the group holds every file (up to its capacity) until Commit(): all or none.
class GroupWriter {
public:
    // Told what became of staged file `id` (the caller's number for it): TESSERA_OK, or
    // TESSERA_ERROR_CANNOT_WRITE with one line (CannotCreateMessage(); empty when there was no
    // memory for it). It must not throw.
    using Done = std::function<void(std::size_t id, Status status, const std::string& message)>;

    // A group of up to `capacity` files (at most platform::FileGroup::kMaxFiles) written with
    // `options`.
    GroupWriter(std::size_t capacity, const platform::WriteOptions& options, bool eachGroup,
                Done done);
    ~GroupWriter();
    GroupWriter(const GroupWriter&) = delete;
    GroupWriter& operator=(const GroupWriter&) = delete;

    // False when its memory could not be had; Add() then fails.
    bool Ready() const { return group_ != nullptr; }
    std::size_t Size() const { return staged_.size(); }

    // Renders `symbol` and stages it for `path` as file `id`. Returns TESSERA_OK, its outcome to
    // come at the commit; or the status of the step that failed with one line in `message`, as
    // RenderWrite() says it (TESSERA_ERROR_NO_MEMORY when the group is not ready, and
    // TESSERA_ERROR_CANNOT_WRITE when a group without `eachGroup` is full): nothing is staged.
    Status Add(const Symbol& symbol, const OutputSettings& output, const std::string& path,
               std::size_t id, std::string* message);

    // Syncs and names the staged files, and tells `done` of each. Never throws.
    void Commit();

    // Drops the staged files: nothing at their paths changes.
    void Abandon();

private:
    std::unique_ptr<platform::StagedFile[]> slots_;
    std::unique_ptr<platform::FileGroup> group_;
    std::vector<std::pair<std::size_t, std::string>> staged_;  // ids and paths
    std::vector<platform::WriteFailure> results_;
    const bool eachGroup_;
    const Done done_;
};

// "the output file cannot be created: 'PATH': REASON", the line for a file that cannot be
// written.
std::string CannotCreateMessage(const std::string& path, platform::WriteFailure failure);

// `name` for a message: quoted, with control characters (C0, DEL and C1) and bytes that are not
// UTF-8 written as \xHH, so that a name cannot drive the terminal; other UTF-8 stays as it is.
std::string PrintableName(const std::string& name);

// Words for messages: "no space left on the device", "permission denied", ...
const char* WriteFailureText(platform::WriteFailure failure);
// The C library's error number of a reason (ENOSPC for kNoSpace, ...): one that
// platform::WriteFailureOfErrno() takes back to the same reason; EIO for kOther, 0 for kNone.
int ErrorNumberOf(platform::WriteFailure failure);
const char* ReadFailureText(platform::ReadFailure failure);

// The letter of an EcLevel (0..3): 'L', 'M', 'Q', 'H'.
char LevelLetter(int level);

}  // namespace qr
