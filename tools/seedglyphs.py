#!/usr/bin/env python3
"""One-off helper that printed the first draft of assets/src/charset.txt.

Not run by the build. It reads a BDF bitmap font (for example the
public-domain misc-fixed 6x10 converted with
`pcf2bdf -o 6x10.bdf /usr/share/fonts/X11/misc/6x10-ISO8859-1.pcf.gz`)
and prints the letters, digits and punctuation as 8x8 glyphs in the
charset.txt format: upper-set codes 0-63 (@, A-Z, [ ] and ! to ?) and
lower-set codes 1-26 (a-z). Each glyph is moved one column right, so
column 0 stays clear as the gap between letters, and made bold by also
setting the pixel right of every set pixel. The baseline sits under row 6;
pixels below row 7 are cut and the glyph is marked for redrawing. The
draft was then edited by hand, so charset.txt, not this output, is the
source of the character set.

Usage: seedglyphs.py FONT.bdf > draft.txt
"""
import sys

CELL = 8
BASELINE_ROW = 6  # the cell row a pixel on the font's baseline lands in

# (set, screen code, character); codes 28, 30 and 31 (pound, up arrow,
# left arrow) and the graphics are drawn by hand.
UPPER = [(0, '@')] + [(i, chr(64 + i)) for i in range(1, 27)] + \
        [(27, '['), (29, ']')] + [(c, chr(c)) for c in range(33, 64)]
LOWER = [(i, chr(96 + i)) for i in range(1, 27)]


def load_bdf(path):
    """Returns {codepoint: (bbx, [row bit strings])}."""
    glyphs = {}
    with open(path, encoding='latin-1') as f:
        lines = [l.rstrip('\n') for l in f]
    i = 0
    enc, bbx = None, None
    while i < len(lines):
        words = lines[i].split()
        if words and words[0] == 'ENCODING':
            enc = int(words[1])
        elif words and words[0] == 'BBX':
            bbx = tuple(int(w) for w in words[1:5])
        elif words and words[0] == 'BITMAP':
            rows = []
            i += 1
            while lines[i] != 'ENDCHAR':
                width = len(lines[i]) * 4
                rows.append(bin(int(lines[i], 16))[2:].zfill(width))
                i += 1
            glyphs[enc] = (bbx, rows)
        i += 1
    return glyphs


def to_cell(bbx, rows):
    """Places a BDF glyph in an 8x8 cell; returns (cell rows, cut flag)."""
    w, h, xoff, yoff = bbx
    cell = [[False] * CELL for _ in range(CELL)]
    cut = False
    for i, bits in enumerate(rows):
        y = yoff + h - 1 - i  # height above the baseline
        row = BASELINE_ROW - y
        for j in range(w):
            if bits[j] != '1':
                continue
            for col in (xoff + j + 1, xoff + j + 2):  # shifted, then bold
                if 0 <= row < CELL and 0 <= col < CELL:
                    cell[row][col] = True
                else:
                    cut = True
    return cell, cut


def emit(set_name, code, ch, glyphs):
    if ord(ch) not in glyphs:
        print(f'# {set_name} {code} ({ch}): not in the font')
        return
    cell, cut = to_cell(*glyphs[ord(ch)])
    print(f'# {ch}' + ('  (cut: redraw)' if cut else ''))
    print(f'{set_name} {code}')
    for row in cell:
        print(''.join('#' if p else '.' for p in row))


def main():
    if len(sys.argv) != 2:
        sys.exit('usage: seedglyphs.py FONT.bdf > draft.txt')
    glyphs = load_bdf(sys.argv[1])
    for code, ch in UPPER:
        emit('upper', code, ch, glyphs)
    for code, ch in LOWER:
        emit('lower', code, ch, glyphs)


if __name__ == '__main__':
    main()
