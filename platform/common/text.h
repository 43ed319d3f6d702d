// Text through FreeType for the backends without GDI.
#pragma once

namespace shindan {

// Chooses the font file text is drawn with from the next draw on (null: the
// Mincho face, the default) and drops the face loaded so far. A file that
// cannot be read makes text draw nothing.
void use_text_font(const char* path);
// The font file text is drawn with.
const char* text_font_path();

}  // namespace shindan
