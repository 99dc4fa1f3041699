#!/usr/bin/python3
"""Micro QR symbols made by an independent encoder, segno (Debian's python3-segno), for
micro_oracle_test.cpp, which encodes the same data at the same version, level and mask and compares
the matrices cell by cell.

segno is a black box here: it is asked for a symbol of data of one mode at a forced version, level
and mask, with boost_error=False (by default it raises the level where the version has room). For
every version and level, every mode the version offers and every mask, the data is one character,
a random length between, and the longest that segno fits (found by asking it), from a fixed seed.

Output: one line per symbol, tab-separated: the version (1-4), the level (-1 for M1, else 0 L,
1 M, 2 Q), the mask, the mode (0 numeric, 1 alphanumeric, 2 byte, 3 Kanji), the data in hex, and
the matrix as its rows from the top, '#' dark and '.' light, joined by '/'.

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
            for mask in MASKS:
                for length in sorted({1, rng.randint(1, most), most}):
                    given, data = content(mode, length, rng, kanji)
                    symbol = make(given, version, letter, mask, mode)
                    expected = 'M%d' % version + ('-' + letter if letter else '')
                    if symbol.designator != expected or symbol.mask != mask:
                        sys.exit('segno made %s mask %s for %s mask %d' %
                                 (symbol.designator, symbol.mask, expected, mask))
                    rows = '/'.join(''.join('#' if c else '.' for c in row)
                                    for row in symbol.matrix)
                    out.write('%d\t%d\t%d\t%d\t%s\t%s\n' %
                              (version, level, mask, mode_number, data.hex(), rows))


if __name__ == '__main__':
    main()
