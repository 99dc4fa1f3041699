// The pipeline's second step: data and checked settings in, one finished symbol out, or the
// status and the one line that says why not, found in the same pass. QR Code symbols (with the
// highest level the version holds when boosted) and Micro QR symbols; rMQR and GS1 data join
// Encoder::Encode as families of their own (encoder/rmqr_encoder.h, encoder/gs1.h). The encoders'
// records are large, so each is kept for later calls rather than made anew. Nothing here throws
// but std::bad_alloc while a reason is written.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "module/settings.h"

namespace qr {

class CQrEncoder;
class CMicroEncoder;
class CRmqrEncoder;
struct Symbol;  // module/symbol.h
class SymbolSet;

// The bytes of input kept for `symbols` symbols: one more than they can ever hold (7089 digits
// each), which is enough to learn that longer input does not fit. Input is never read further.
std::size_t InputBytesKept(int symbols = 1);

// The offset of the first byte of `length` at `data` that does not begin or continue a
// well-formed UTF-8 sequence (overlong forms, surrogates and code points above U+10FFFF are not
// well formed), or `length` when all are. With `cut`, a sequence left unfinished by the end of
// the data counts as well formed.
std::size_t FindNonUtf8(const unsigned char* data, std::size_t length, bool cut);

// Whether `length` bytes at `data` are text that readers show right only as UTF-8: well-formed
// UTF-8 (FindNonUtf8, with `cut` as it takes it) with a byte above 0x7F. Plain ASCII is not.
bool IsUtf8Text(const unsigned char* data, std::size_t length, bool cut);

// What `symbol` is, in words for --verbose: "QR Code version 3-M, mask 5, 29x29 modules",
// "Micro QR M1, mask 2, 11x11 modules", "rMQR R7x43-H, 43x7 modules", with ", GS1" after GS1 data.
std::string DescribeSymbol(const Symbol& symbol);

// A Symbol for the length of one call: one that an earlier call gave back, else a new one; given
// back when it goes (released when enough are kept already), so that calls in a loop make none.
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
    // InputBytesKept() bytes: more never fits. `cut` says that `data` may be the first bytes of
    // longer input, so that a UTF-8 sequence may end unfinished and the bits needed are "at
    // least" so many. Returns TESSERA_OK; TESSERA_ERROR_BAD_ARGUMENT for settings out of range;
    // TESSERA_ERROR_CANNOT_ENCODE when the data is empty, does not fit, or is marked UTF-8 but is
    // not; TESSERA_ERROR_NO_MEMORY when the record is not ready. `symbol` is written only on
    // success. On failure one line without a "tessera:" prefix goes into `*why` when it is not
    // null: the setting refused, or the bits the data needs and the most that the largest (or the
    // strictly requested) version holds at the level.
    Status Encode(const unsigned char* data, std::size_t length, const EncodeSettings& settings,
                  Symbol* symbol, bool cut = false, std::string* why = nullptr);

private:
    friend Status EncodeStructured(Encoder* encoder, const unsigned char* data, std::size_t length,
                                   const EncodeSettings& settings, int count, SymbolSet* symbols,
                                   std::string* why);

    // Model 2 with the record: `data` of `length` bytes at `level` and `version` (0 for the
    // smallest), strictly or not, with the header of set member `partIndex` of `partCount`
    // (count 0: none). Returns whether it fits.
    bool EncodeQr(const unsigned char* data, std::size_t length, int level, int version,
                  bool strict, int mask, bool utf8, int partIndex, int partCount, unsigned parity);
    Status EncodeQrSymbol(const unsigned char* data, std::size_t length,
                          const EncodeSettings& settings, Symbol* symbol, bool cut,
                          std::string* why);
    // Micro QR with its own record, made the first time it is needed.
    bool MicroReady();
    Status EncodeMicro(const unsigned char* data, std::size_t length,
                       const EncodeSettings& settings, Symbol* symbol, bool cut, std::string* why);
    // rMQR with its own record, made the first time it is needed.
    bool RmqrReady();
    Status EncodeRmqr(const unsigned char* data, std::size_t length, const EncodeSettings& settings,
                      Symbol* symbol, bool cut, std::string* why);
    // The symbol that fits the box of `settings` (Fit()): each shape of FitCandidates() in turn
    // until one holds the data.
    Status EncodeFit(const unsigned char* data, std::size_t length, const EncodeSettings& settings,
                     Symbol* symbol, bool cut, std::string* why);
    // One symbol of the kind `settings` name, of data checked and made ready.
    Status EncodeOne(const unsigned char* data, std::size_t length, const EncodeSettings& settings,
                     Symbol* symbol, bool cut, std::string* why);
    // The highest level whose capacity at the record's version holds the record's stream, never
    // below `level`.
    int BoostedLevel(int level) const;
    void TakeSymbol(Symbol* symbol, int partIndex, int partCount, unsigned parity) const;

    std::unique_ptr<CQrEncoder> qr_;
    std::unique_ptr<CMicroEncoder> micro_;
    std::unique_ptr<CRmqrEncoder> rmqr_;
    // GS1 data as ParseGs1 writes it, of at most InputBytesKept() bytes, kept between calls as
    // the encoder records are.
    struct Gs1Data;
    std::unique_ptr<Gs1Data> gs1_;
};

}  // namespace qr
