// GS1 element strings: the fields checked and joined into the data a symbol holds; and the
// segmentation of that data at the least cost in bits, searched over every byte.
#include "encoder/gs1.h"

#include <cstdio>
#include <cstring>

namespace qr {

namespace {

constexpr unsigned char kOpenAi = '[';
constexpr unsigned char kCloseAi = ']';

// GS1's 82 characters besides the digits and the letters of both cases.
constexpr char GS1_PUNCTUATION[] = "!\"%&'()*+,-./:;<=>?_";

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool IsGs1Character(unsigned char c) {
    if (IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    return c != 0 && std::strchr(GS1_PUNCTUATION, c) != nullptr;
}

// Element strings of a predefined length (GS1 General Specifications): an AI that starts with
// `prefix` has `aiDigits` digits, and AI and data together are `totalLength` digits long. Its field
// needs no separator after it.
struct PredefinedLength {
    char prefix[3];
    int aiDigits;
    int totalLength;
};

// clang-format off
constexpr PredefinedLength PREDEFINED_LENGTHS[] = {
    {"00", 2, 20}, {"01", 2, 16}, {"02", 2, 16}, {"03", 2, 16}, {"04", 2, 18},
    {"11", 2, 8}, {"12", 2, 8}, {"13", 2, 8}, {"14", 2, 8}, {"15", 2, 8}, {"16", 2, 8},
    {"17", 2, 8}, {"18", 2, 8}, {"19", 2, 8}, {"20", 2, 4},
    {"31", 4, 10}, {"32", 4, 10}, {"33", 4, 10}, {"34", 4, 10}, {"35", 4, 10}, {"36", 4, 10},
    {"41", 3, 16},
};

// AIs whose data opens with a number of `digits` digits that ends in its check digit.
struct CheckDigitAi {
    char ai[kGs1MaxAiDigits + 1];
    int digits;
};

constexpr CheckDigitAi CHECK_DIGIT_AIS[] = {
    {"00", 18}, {"01", 14}, {"02", 14}, {"253", 13}, {"255", 13},
    {"410", 13}, {"411", 13}, {"412", 13}, {"413", 13}, {"414", 13}, {"415", 13}, {"416", 13},
    {"417", 13}, {"8006", 14}, {"8017", 18}, {"8018", 18},
};
// clang-format on

const PredefinedLength* PredefinedLengthOf(const char* ai) {
    for (const PredefinedLength& p : PREDEFINED_LENGTHS) {
        if (ai[0] == p.prefix[0] && ai[1] == p.prefix[1]) return &p;
    }
    return nullptr;
}

const CheckDigitAi* CheckDigitOf(const char* ai) {
    for (const CheckDigitAi& c : CHECK_DIGIT_AIS) {
        if (std::strcmp(ai, c.ai) == 0) return &c;
    }
    return nullptr;
}

// Records the fault in `report`; returns false.
bool Refuse(Gs1Report* report, Gs1Status status, int expected = 0, int found = 0,
            bool atLeast = false) {
    report->status = status;
    report->expected = expected;
    report->found = found;
    report->atLeast = atLeast;
    return false;
}

// Checks the `count` bytes of data at `data` of the AI in `report->ai`.
bool CheckField(const unsigned char* data, int count, Gs1Report* report) {
    if (count == 0) return Refuse(report, GS1_NO_DATA);
    for (int i = 0; i < count; ++i) {
        if (!IsGs1Character(data[i])) return Refuse(report, GS1_BAD_CHARACTER, 0, data[i]);
    }
    const PredefinedLength* predefined = PredefinedLengthOf(report->ai);
    if (predefined != nullptr) {
        const int want = predefined->totalLength - predefined->aiDigits;
        if (count != want) return Refuse(report, GS1_BAD_LENGTH, want, count);
        for (int i = 0; i < count; ++i) {
            if (!IsDigit(data[i])) return Refuse(report, GS1_NOT_DIGITS);
        }
    }
    const CheckDigitAi* check = CheckDigitOf(report->ai);
    if (check != nullptr) {
        if (count < check->digits) {
            return Refuse(report, GS1_BAD_LENGTH, check->digits, count, true);
        }
        for (int i = 0; i < check->digits; ++i) {
            if (!IsDigit(data[i])) return Refuse(report, GS1_NOT_DIGITS);
        }
        const char due = Gs1CheckDigit(data, check->digits - 1);
        const char given = static_cast<char>(data[check->digits - 1]);
        if (given != due) return Refuse(report, GS1_BAD_CHECK_DIGIT, due, given);
    }
    return true;
}

}  // namespace

char Gs1CheckDigit(const unsigned char* digits, int count) {
    int sum = 0;
    for (int i = 0; i < count; ++i) {
        const int weight = (count - i) % 2 == 1 ? 3 : 1;
        sum += weight * (digits[i] - '0');
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

int ParseGs1(const unsigned char* text, int length, unsigned char* out, Gs1Report* report) {
    *report = Gs1Report();
    if (length == 0 || text[0] != kOpenAi) {
        Refuse(report, GS1_NO_AI);
        return -1;
    }
    int written = 0;
    int at = 0;
    bool separatorDue = false;
    while (at < length) {
        // The AI: digits up to ']'.
        int close = at + 1;
        while (close < length && text[close] != kCloseAi && close - at <= kGs1MaxAiDigits) ++close;
        const int aiDigits = close - at - 1;
        for (int i = 0; i < aiDigits && i < kGs1MaxAiDigits; ++i)
            report->ai[i] = static_cast<char>(text[at + 1 + i]);
        bool digits = true;
        for (int i = 0; i < aiDigits; ++i) digits = digits && IsDigit(text[at + 1 + i]);
        if (close >= length || text[close] != kCloseAi || !digits || aiDigits < kGs1MinAiDigits ||
            aiDigits > kGs1MaxAiDigits) {
            Refuse(report, GS1_BAD_AI);
            return -1;
        }
        const PredefinedLength* predefined = PredefinedLengthOf(report->ai);
        if (predefined != nullptr && predefined->aiDigits != aiDigits) {
            Refuse(report, GS1_BAD_AI, predefined->aiDigits, aiDigits);
            return -1;
        }
        // The data: up to the next '[' or the end.
        const int begin = close + 1;
        int end = begin;
        while (end < length && text[end] != kOpenAi) ++end;
        if (!CheckField(text + begin, end - begin, report)) return -1;

        if (separatorDue) out[written++] = kGs1Separator;
        std::memcpy(out + written, text + at + 1, aiDigits);
        written += aiDigits;
        std::memcpy(out + written, text + begin, end - begin);
        written += end - begin;
        separatorDue = predefined == nullptr;
        std::memset(report->ai, 0, sizeof report->ai);
        at = end;
    }
    return written;
}

int DescribeGs1Report(const Gs1Report& r, char* line, int size) {
    const char* ai = r.ai;
    switch (r.status) {
        case GS1_OK:
            return std::snprintf(line, size, "GS1 data is well formed");
        case GS1_NO_AI:
            return std::snprintf(line, size,
                                 "GS1 data begins with an application identifier in brackets, "
                                 "such as [01]");
        case GS1_BAD_AI:
            if (r.expected != 0) {
                return std::snprintf(line, size,
                                     "GS1 (%s): application identifiers that begin %.2s have %d "
                                     "digits",
                                     ai, ai, r.expected);
            }
            return std::snprintf(line, size,
                                 "GS1 [%s: an application identifier is 2 to 4 digits in "
                                 "brackets",
                                 ai);
        case GS1_NO_DATA:
            return std::snprintf(line, size, "GS1 (%s) has no data", ai);
        case GS1_BAD_CHARACTER:
            return std::snprintf(line, size,
                                 "GS1 (%s) holds byte 0x%02X, which is not one of GS1's 82 "
                                 "characters",
                                 ai, r.found);
        case GS1_NOT_DIGITS:
            return std::snprintf(line, size, "GS1 (%s) takes digits only", ai);
        case GS1_BAD_LENGTH:
            return std::snprintf(line, size, "GS1 (%s) takes %s%d digits, not %d", ai,
                                 r.atLeast ? "at least " : "", r.expected, r.found);
        case GS1_BAD_CHECK_DIGIT:
            return std::snprintf(line, size, "GS1 (%s): the check digit is %c, not %c", ai,
                                 r.expected, r.found);
    }
    return std::snprintf(line, size, "GS1 data is refused");
}

int Gs1AlphanumericCharacters(const unsigned char* data, int length) {
    int characters = length;
    for (int i = 0; i < length; ++i) characters += data[i] == '%' ? 1 : 0;
    return characters;
}

namespace {

// The states of the search after a byte: the mode of the segment that holds it and, for numeric
// and alphanumeric, how many characters of its last group are written (3 digits to 10 bits, 2
// characters to 11). The cost of a state is the bits of the stream so far, its last segment
// written as if it ended there.
enum PlanState : int { N0, N1, N2, A0, A1, BYTE_STATE, kPlanStates };
constexpr int kStart = kPlanStates;  // before the first byte
constexpr int kTraceBits = 3;        // a state's predecessor in its trace word
constexpr int kUnreachable = 1 << 30;

constexpr int ModeOfState(int state) {
    return state <= N2 ? MODE_NUMERIC : state <= A1 ? MODE_ALPHANUMERIC : MODE_BYTE;
}

// The bits one more digit adds in state N0, N1 and N2: the group's 4, 7 and 10 bits in turn.
constexpr int NUMERIC_STEP_BITS[3] = {4, 3, 3};
// The bits one more alphanumeric character adds in A0 and A1: the group's 6 and 11 bits in turn.
constexpr int ALPHANUMERIC_STEP_BITS[2] = {6, 5};
constexpr int kByteBits = 8;

// The alphanumeric characters of one byte of GS1 data: 0 for a byte alphanumeric mode lacks.
int AlphanumericCharactersOf(unsigned char c) {
    if (c == kGs1Separator) return 1;
    if (c == '%') return 2;
    return ALPHANUMERIC_VALUE.of[c] < kAlphanumericCount ? 1 : 0;
}

}  // namespace

// The search moves from the states after byte i-1 to those after byte i: a state goes on in its
// segment where its mode holds the byte, or a segment of the byte's mode begins after the
// cheapest state of another mode. The trace keeps, for each state after each byte, the state it
// came from, so that the segments are read back from the cheapest state at the end.
int PlanGs1Segments(const unsigned char* data, int length, const StreamLayout& layout,
                    Gs1Trace* trace, SegmentList& list) {
    int cost[kPlanStates];
    for (int& c : cost) c = kUnreachable;
    auto header = [&layout](int mode) { return layout.indicatorBits + layout.countBits[mode]; };
    for (int i = 0; i < length; ++i) {
        const unsigned char c = data[i];
        int next[kPlanStates];
        int from[kPlanStates];
        for (int s = 0; s < kPlanStates; ++s) {
            next[s] = kUnreachable;
            from[s] = s;
        }
        // Going on in the segment.
        const int characters = AlphanumericCharactersOf(c);
        if (IsDigit(c)) {
            for (int r = 0; r < 3; ++r) {
                if (cost[N0 + r] < kUnreachable) {
                    next[N0 + (r + 1) % 3] = cost[N0 + r] + NUMERIC_STEP_BITS[r];
                    from[N0 + (r + 1) % 3] = N0 + r;
                }
            }
        }
        if (characters > 0) {
            for (int r = 0; r < 2; ++r) {
                if (cost[A0 + r] == kUnreachable) continue;
                // Two characters (a '%') bring the group back to where it was, for 11 bits.
                const int to = characters == 1 ? A0 + (r + 1) % 2 : A0 + r;
                next[to] = cost[A0 + r] + (characters == 1 ? ALPHANUMERIC_STEP_BITS[r]
                                                           : ALPHANUMERIC_STEP_BITS[0] +
                                                                 ALPHANUMERIC_STEP_BITS[1]);
                from[to] = A0 + r;
            }
        }
        if (cost[BYTE_STATE] < kUnreachable) next[BYTE_STATE] = cost[BYTE_STATE] + kByteBits;
        // Beginning a segment after the cheapest state of another mode (the first such state of
        // equal costs), or at the start.
        for (int mode = MODE_NUMERIC; mode <= MODE_BYTE; ++mode) {
            if ((mode == MODE_NUMERIC && !IsDigit(c)) ||
                (mode == MODE_ALPHANUMERIC && characters == 0))
                continue;
            int best = i == 0 ? 0 : kUnreachable;
            int bestState = kStart;
            for (int s = 0; s < kPlanStates; ++s) {
                if (ModeOfState(s) != mode && cost[s] < best) {
                    best = cost[s];
                    bestState = s;
                }
            }
            if (best == kUnreachable) continue;
            int to = BYTE_STATE;
            int bits = kByteBits;
            if (mode == MODE_NUMERIC) {
                to = N1;
                bits = NUMERIC_STEP_BITS[0];
            } else if (mode == MODE_ALPHANUMERIC) {
                to = characters == 1 ? A1 : A0;
                bits = characters == 1 ? ALPHANUMERIC_STEP_BITS[0]
                                       : ALPHANUMERIC_STEP_BITS[0] + ALPHANUMERIC_STEP_BITS[1];
            }
            const int total = best + header(mode) + bits;
            if (total < next[to]) {
                next[to] = total;
                from[to] = bestState;
            }
        }
        Gs1Trace word = 0;
        for (int s = 0; s < kPlanStates; ++s) {
            cost[s] = next[s];
            word |= from[s] << (kTraceBits * s);
        }
        trace[i] = word;
    }

    // The cheapest state at the end, the first of equal costs; then the segments back to front.
    int state = 0;
    for (int s = 1; s < kPlanStates; ++s) {
        if (cost[s] < cost[state]) state = s;
    }
    const int bits = cost[state];
    int count = 0;
    int run = 0;
    for (int i = length - 1; i >= 0; --i) {
        ++run;
        const int previous = (trace[i] >> (kTraceBits * state)) & ((1 << kTraceBits) - 1);
        if (previous == kStart || ModeOfState(previous) != ModeOfState(state)) {
            list.modes[count] = static_cast<unsigned char>(ModeOfState(state));
            list.lengths[count] = run;
            ++count;
            run = 0;
        }
        state = previous;
    }
    for (int k = 0; k < count / 2; ++k) {
        const unsigned char mode = list.modes[k];
        list.modes[k] = list.modes[count - 1 - k];
        list.modes[count - 1 - k] = mode;
        const int run = list.lengths[k];
        list.lengths[k] = list.lengths[count - 1 - k];
        list.lengths[count - 1 - k] = run;
    }
    list.count = count;
    return bits;
}

}  // namespace qr
