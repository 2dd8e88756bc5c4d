// Texts of the model as the page will carry them: through the same page
// encoder that makes the page, so that references ("&#39;") and escapes
// ("U+0027") are seen as the characters they become.
#pragma once

#include <cstddef>

namespace plotweave {

// The UTF-8 of a field of up to 511 bytes: at most three bytes for each.
inline constexpr size_t kPageTextWidth = 2048;

struct PageText {
  char bytes[kPageTextWidth];
  size_t length;
  // False when the text swallows the quote that closes it in the page (a KS
  // lead byte at its end pairs with it).
  bool closingQuoteKept;
};

// The page's UTF-8 for `ks` standing between two single quotes.
void ViewInPage(const char* ks, PageText* view);

// Byte offset in `ks` of the character whose page form holds byte `offset`
// of its view.
size_t SourceOffsetOf(const char* ks, size_t offset);

// Whether t[0, n) starts with `lower`, ASCII letters in either case: the
// browser ends a script at "</script" however it is written.
bool StartsWithFolded(const char* t, size_t n, const char* lower);

// Room for a text quoted in a message; longer ones are cut.
inline constexpr size_t kShownTextWidth = 160;

// The text for a message: its page form, cut to at most `width` - 1 bytes
// at a character boundary.
void ShowText(const char* ks, char* out, size_t width);

}  // namespace plotweave
