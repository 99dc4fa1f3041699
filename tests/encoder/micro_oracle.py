#!/usr/bin/python3
"""Micro QR symbols made by an independent encoder, segno (Debian's python3-segno), for
micro_oracle_test.cpp, which encodes the same data at the same version, level and mask and compares
the matrices cell by cell.

segno is a black box here: it is asked for a symbol of data of one mode at a forced version, level
and mask, with boost_error=False (by default it raises the level where the version has room). For
every version and level, every mode the version offers and every mask, the data is the shortest,
a random and the longest length that segno fits (the longest found by asking it) among those
whose padding segno writes as ISO/IEC 18004 does, from a fixed seed.

segno 1.4 pads two kinds of stream otherwise, and those are left out (the standard's padding of
them is pinned in micro_encoder_test.cpp): where the terminator ends on a codeword boundary short of
the capacity, segno adds a zero codeword before the pad codewords; and in M3 it fills the whole
codewords after the stream with zero bits instead of the pad codewords 11101100 and 00010001.

Each of those data is also given to segno with the mask left to it, so that its choice of mask can
be compared with ours.

Output: one line per symbol, tab-separated: the version (1-4), the level (-1 for M1, else 0 L,
1 M, 2 Q), the mask, 'chosen' where segno chose it or 'forced', the mode (0 numeric,
1 alphanumeric, 2 byte, 3 Kanji), the data in hex, and the matrix as its rows from the top, '#'
dark and '.' light, joined by '/'.

Debian's segno imports only under /usr/bin/python3, which runs this script.
"""
import random
import sys

import segno

SEED = 16
MASKS = range(4)
# (version, level letter or None, level number) in the order of the symbol numbers.
SYMBOLS = [(1, None, -1), (2, 'L', 0), (2, 'M', 1), (3, 'L', 0), (3, 'M', 1),
           (4, 'L', 0), (4, 'M', 1), (4, 'Q', 2)]
MODES = ['numeric', 'alphanumeric', 'byte', 'kanji']
MODES_OF_VERSION = {1: 1, 2: 2, 3: 4, 4: 4}  # the first n of MODES
# Data bits by version and level letter; count-indicator bits by version and mode.
DATA_BITS = {(1, None): 20, (2, 'L'): 40, (2, 'M'): 32, (3, 'L'): 84, (3, 'M'): 68,
             (4, 'L'): 128, (4, 'M'): 112, (4, 'Q'): 80}
COUNT_BITS = {1: [3], 2: [4, 3], 3: [5, 4, 4, 3], 4: [6, 5, 5, 4]}
LONGEST_TRIED = 40

# Characters of each mode that the other encoder's segmentation keeps in that mode when a whole
# input is made of them: alphanumeric without the digits, bytes that are neither alphanumeric nor
# the first byte of a Kanji pair.
ALPHANUMERIC = 'ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:'
BYTES = ([b for b in range(0x00, 0x20)] + [b for b in range(ord('a'), ord('z') + 1)] +
         [b for b in range(0xA0, 0xE0)] + [b for b in range(0xF0, 0x100)])


def kanji_characters():
    """Every character whose Shift_JIS pair lies in 8140-9FFC or E040-EBBF."""
    found = []
    for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xEC)):
        for trail in range(0x40, 0xFD):
            pair = bytes([lead, trail])
            if lead == 0xEB and trail > 0xBF:
                continue
            try:
                text = pair.decode('shift_jis')
            except UnicodeDecodeError:
                continue
            if len(text) == 1 and text.encode('shift_jis') == pair:
                found.append(text)
    return found


def content(mode, length, rng, kanji):
    """`length` characters of `mode` as (what segno is given, the bytes our encoder is given)."""
    if mode == 'numeric':
        text = ''.join(rng.choice('0123456789') for _ in range(length))
        return text, text.encode('ascii')
    if mode == 'alphanumeric':
        text = ''.join(rng.choice(ALPHANUMERIC) for _ in range(length))
        return text, text.encode('ascii')
    if mode == 'byte':
        data = bytes(rng.choice(BYTES) for _ in range(length))
        return data, data
    text = ''.join(rng.choice(kanji) for _ in range(length))
    return text, text.encode('shift_jis')


def stream_bits(version, mode_number, characters):
    """Bits of one segment of `characters` characters: indicator, count and data."""
    groups, rest = divmod(characters, 3)
    data = [groups * 10 + [0, 4, 7][rest],
            characters // 2 * 11 + characters % 2 * 6,
            characters * 8,
            characters * 13][mode_number]
    return version - 1 + COUNT_BITS[version][mode_number] + data


def padded_as_the_standard(version, letter, mode_number, characters):
    """Whether segno's padding of the stream is the standard's (see the docstring at the top)."""
    capacity = DATA_BITS[(version, letter)]
    whole_codewords = capacity // 8
    bits = stream_bits(version, mode_number, characters)
    end = bits + min(2 * version + 1, capacity - bits)  # after the terminator
    if end % 8 == 0 and end // 8 < whole_codewords:
        return False
    return not (version == 3 and (end + 7) // 8 < whole_codewords)


def make(given, version, letter, mask, mode):
    return segno.make_micro(given, version='M%d' % version, error=letter, mask=mask, mode=mode,
                            boost_error=False)


def longest(version, letter, mode, rng, kanji):
    """The most characters of `mode` that segno fits in the version at the level."""
    best = 0
    for length in range(1, LONGEST_TRIED + 1):
        given, _ = content(mode, length, rng, kanji)
        try:
            make(given, version, letter, 0, mode)
        except segno.DataOverflowError:
            break
        best = length
    return best


def main():
    rng = random.Random(SEED)
    kanji = kanji_characters()
    out = sys.stdout
    for version, letter, level in SYMBOLS:
        for mode_number in range(MODES_OF_VERSION[version]):
            mode = MODES[mode_number]
            most = longest(version, letter, mode, rng, kanji)
            lengths = [n for n in range(1, most + 1)
                       if padded_as_the_standard(version, letter, mode_number, n)]
            for mask in MASKS:
                for length in sorted({lengths[0], rng.choice(lengths), lengths[-1]}):
                    given, data = content(mode, length, rng, kanji)
                    for chosen in (False, True):
                        symbol = make(given, version, letter, None if chosen else mask, mode)
                        expected = 'M%d' % version + ('-' + letter if letter else '')
                        if symbol.designator != expected or not (chosen or symbol.mask == mask):
                            sys.exit('segno made %s mask %s for %s mask %d' %
                                     (symbol.designator, symbol.mask, expected, mask))
                        rows = '/'.join(''.join('#' if c else '.' for c in row)
                                        for row in symbol.matrix)
                        out.write('%d\t%d\t%d\t%s\t%d\t%s\t%s\n' %
                                  (version, level, symbol.mask, 'chosen' if chosen else 'forced',
                                   mode_number, data.hex(), rows))


if __name__ == '__main__':
    main()
