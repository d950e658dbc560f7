// The data kit's 5 x 7 letter shapes (capitals, digits and the punctuation the fonts draw), used
// by every picture that writes text: the interface font glyphs and the title picture.
#pragma once

namespace dk {

// One shape: seven rows of five columns, '#' set and '.' clear.
struct Glyph5x7 {
    char c;
    const char* rows[7];
};

// The shape of c (small letters take the capital's), or null when the kit draws none.
const Glyph5x7* Glyph5x7Of(char c);

}  // namespace dk
