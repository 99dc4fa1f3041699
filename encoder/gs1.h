// GS1 data in QR Code and rMQR (FNC1 in first position): element strings written with bracketed
// application identifiers (AIs), `[01]09501101530003[17]261231[10]ABC`, checked and turned into the
// data the symbol holds, and the segmentation of that data at the least cost in bits. In the data a
// separator (the group separator byte) ends each field whose AI has no predefined length, unless it
// is the last; in alphanumeric mode a separator is written as `%` and a `%` of the data as `%%`, in
// byte mode as they are, and numeric mode holds neither. Nothing here allocates or throws.
#pragma once

#include "encoder/segmentation.h"
#include "encoder/tables.h"

namespace qr {

// The byte that stands for a separator in GS1 data.
constexpr unsigned char kGs1Separator = 0x1D;
// An AI is 2 to 4 digits.
constexpr int kGs1MinAiDigits = 2;
constexpr int kGs1MaxAiDigits = 4;

// Why an element string is refused; GS1_OK when it is not.
enum Gs1Status : int {
    GS1_OK = 0,
    GS1_NO_AI,            // the data does not open with '['
    GS1_BAD_AI,           // an AI that is not 2 to 4 digits closed by ']', or not as many as its
                          // predefined length says
    GS1_NO_DATA,          // an AI with no data after it
    GS1_BAD_CHARACTER,    // a byte outside GS1's 82 characters
    GS1_NOT_DIGITS,       // data of an AI that takes digits, with something else
    GS1_BAD_LENGTH,       // data of a predefined length, or with a check digit, of another length
    GS1_BAD_CHECK_DIGIT,  // a check digit that is not the one its digits give
};

// What ParseGs1 found wrong, with the AI concerned.
struct Gs1Report {
    Gs1Status status = GS1_OK;
    char ai[kGs1MaxAiDigits + 1] = {};  // the AI as written (at most 4 characters); may be empty
    int expected = 0;  // GS1_BAD_AI: the AI's digits; GS1_BAD_LENGTH: the data's length (the
                       // least when `atLeast`); GS1_BAD_CHECK_DIGIT: the right digit, '0'..'9'
    int found = 0;     // the data's length, the check digit given, or the byte refused
    bool atLeast = false;
};

// Turns the element string of `length` bytes at `text` into GS1 data in `out`, which holds at
// least `length` bytes: each AI's digits followed by its data, and a separator after each field
// whose AI has no predefined length except the last. Checks each field: an AI of 2 to 4 digits
// (as many as a predefined length says), data of GS1's 82 characters, the length of AIs of a
// predefined length and their digits, and the check digit of the AIs that end a number in one
// (00, 01, 02, 253, 255, 410-417, 8006, 8017, 8018). Returns the length of the data, or -1 with
// `report` naming the first fault; `out` may be written then.
int ParseGs1(const unsigned char* text, int length, unsigned char* out, Gs1Report* report);

// One line that says what `report` (not GS1_OK) found, naming the AI, without a full stop:
// "GS1 (01): the check digit is 3, not 4". Writes at most `size` bytes with the terminating zero
// and returns the line's length, as snprintf does.
int DescribeGs1Report(const Gs1Report& report, char* line, int size);

// The check digit ('0'..'9') of the `count` digits at `digits`: weights 3, 1, 3, ... from the
// rightmost leftwards, and the sum brought up to a multiple of ten.
char Gs1CheckDigit(const unsigned char* digits, int count);

// The characters that the `length` bytes of GS1 data at `data` make in alphanumeric mode: one for
// each byte, two for each '%'.
int Gs1AlphanumericCharacters(const unsigned char* data, int length);

// The states of the segmentation search at each byte, packed into one int per byte (18 bits), so
// that a segment list's lengths can hold them.
using Gs1Trace = int;

// Writes into `list` the segmentation of the `length` (1 or more) bytes of GS1 data at `data` that
// costs fewest bits in `layout` (numeric, alphanumeric and byte modes, costed as above; no Kanji)
// and returns those bits: each segment's indicator, count and data, without the FNC1 indicator.
// Of equal costs, a segment goes on in its mode rather than a new one begins. `trace` holds
// `length` words of scratch; `list` room for `length` entries.
int PlanGs1Segments(const unsigned char* data, int length, const StreamLayout& layout,
                    Gs1Trace* trace, SegmentList& list);

}  // namespace qr
