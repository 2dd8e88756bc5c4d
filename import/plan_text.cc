#include "import/plan_text.h"

#include <cstdio>
#include <cstring>

#include "check/page_text.h"
#include "check/utf8.h"
#include "import/table_reader.h"
#include "kscode/kscode.h"

namespace plotweave {

namespace {

// Bytes a numeric reference takes, as the plan normaliser writes it.
constexpr size_t kReferenceBytes = 8;

bool InScript(TextRule rule) { return rule != TextRule::kCaptionTag && rule != TextRule::kCaptionText; }
bool KeepsEscapes(TextRule rule) { return rule == TextRule::kName || rule == TextRule::kAddress; }
bool StartsLines(TextRule rule) { return rule == TextRule::kName || rule == TextRule::kCaptionTag; }
bool ShownWithBlanks(TextRule rule) { return rule == TextRule::kLabel || rule == TextRule::kCaptionText; }

// One character's plan text, and what the reader counts of it.
struct Piece {
  char bytes[16];
  size_t length = 0;
  size_t readerBytes = 0;

  void Ascii(const char* text) {
    length = readerBytes = std::strlen(text);
    std::memcpy(bytes, text, length);
  }
  // A reference the page encoder turns into the character, where the
  // character itself would be read as something else.
  void Reference(unsigned long cp) {
    length = readerBytes = static_cast<size_t>(std::snprintf(bytes, sizeof bytes, "&#%05lu;", cp));
  }
};

// Something in the cell that is reported once.
struct Seen {
  bool lineBreak = false, blankCharacter = false, underscore = false, blank = false, noKs = false;
};

}  // namespace

void ShowCell(const char* text, size_t length, char* out, size_t width) {
  size_t n = length < width - 1 ? length : width - 1;
  // Cut before a character that does not fit whole.
  if (n < length) {
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(text[i]) < 0x20 ? '?' : text[i];
  out[n] = '\0';
}

bool ConvertCell(const char* text, size_t length, TextRule rule, size_t limit, bool ks, const CellPlace& place,
                 ImportSink& sink, PlanField* out) {
  const bool script = InScript(rule);
  char shown[kShownTextWidth];
  ShowCell(text, length, shown, sizeof shown);
  bool ok = true;
  Seen seen;
  out->length = 0;
  out->readerBytes = 0;
  size_t kept = 0;   // source bytes written
  size_t total = 0;  // reader bytes of the whole cell
  bool cut = false;
  unsigned long previous = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  for (size_t i = 0; i < length;) {
    unsigned long cp;
    size_t n = DecodeUtf8(p + i, length - i, &cp);
    if (n == 0) {
      cp = 0xFFFD;
      n = 1;
    }
    Piece piece;
    if (cp == 0 || cp == '\n' || cp == '\r') {
      if (!seen.lineBreak) {
        seen.lineBreak = true;
        ok = false;
        ReportImport(sink, ImportCode::kLineBreak, place.table, place.row, place.column,
                     "the %s \"%s\" holds a line break%s, which a plan line cannot carry; the import is "
                     "refused: remove it",
                     place.what, shown, cp == 0 ? " (a zero byte)" : "");
      }
    } else if (cp == '\t' || cp == '\v' || cp == '\f' || cp == ' ') {
      if (cp != ' ' && !seen.blankCharacter) {
        seen.blankCharacter = true;
        ReportImport(sink, ImportCode::kBlankCharacter, place.table, place.row, place.column,
                     "the %s \"%s\" holds a tab or another blank control character, which is written as a "
                     "blank and shows as a space",
                     place.what, shown);
      }
      if (rule == TextRule::kAddress) {
        // The reference keeps an address as it is, where "_" would change it.
        piece.Reference(' ');
      } else {
        piece.Ascii("_");
        if (rule == TextRule::kName || rule == TextRule::kCaptionTag) {
          if (!seen.blank) {
            seen.blank = true;
            ReportImport(sink, ImportCode::kBlankInName, place.table, place.row, place.column,
                         "the %s \"%s\" holds a blank, which a plan field cannot; it is written as \"_\" "
                         "wherever the name stands",
                         place.what, shown);
          }
        }
      }
    } else if (cp == '_') {
      piece.Ascii("_");
      if (ShownWithBlanks(rule) && !seen.underscore) {
        seen.underscore = true;
        ReportImport(sink, ImportCode::kUnderscore, place.table, place.row, place.column,
                     "the %s \"%s\" holds \"_\", which the page shows as a blank", place.what, shown);
      }
    } else if (cp == '\\' && KeepsEscapes(rule) && i + 1 < length &&
               (text[i + 1] == '\'' || text[i + 1] == '\\' || text[i + 1] == '"')) {
      // Names and addresses are the plan's own text (the export writes them
      // so): an escape the script reads stays as it is.
      piece.bytes[0] = '\\';
      piece.bytes[1] = text[i + 1];
      piece.length = piece.readerBytes = 2;
      n = 2;
      cp = static_cast<unsigned char>(text[i + 1]);
    } else if (cp == '\'' && script) {
      piece.Ascii("\\'");
    } else if (cp == '\\' && script) {
      piece.Ascii("\\\\");
    } else if (cp == '#' && ((i == 0 && StartsLines(rule)) || previous == '&')) {
      // A line whose first field starts with '#' is a header, and "&#" starts
      // a reference in the page: the reference for '#' is neither. A name
      // starts a line somewhere (a node id, a class), and is written alike
      // wherever it stands, so that it matches itself.
      piece.Reference('#');
    } else if (cp == '+' && previous == 'U') {
      piece.Reference('+');  // "U+" starts an escape in the page
    } else if (cp < 0x80) {
      piece.bytes[0] = static_cast<char>(cp);
      piece.length = piece.readerBytes = 1;
    } else {
      uint8_t lead = 0, trail = 0;
      // A KS code that reads back as another character (a compatibility
      // ideograph, a double arrow) is no code of this character's own.
      const bool hasKs =
          cp <= 0xFFFF && UnicodeToKs(static_cast<uint16_t>(cp), &lead, &trail) && KsToUnicode(lead, trail) == cp;
      if (hasKs) {
        if (ks) {
          piece.bytes[0] = static_cast<char>(lead);
          piece.bytes[1] = static_cast<char>(trail);
          piece.length = 2;
        } else {
          piece.length = PutUtf8(cp, piece.bytes);
        }
        piece.readerBytes = 2;
      } else if (ks) {
        if (!seen.noKs) {
          seen.noKs = true;
          ok = false;
          char character[8];
          character[PutUtf8(cp, character)] = '\0';
          ReportImport(sink, ImportCode::kNoKsCode, place.table, place.row, place.column,
                       "the %s \"%s\" holds \"%s\" (U+%04lX), which has no KS code of its own; the import "
                       "is refused: leave out --ks to write a UTF-8 plan, which keeps it",
                       place.what, shown, character, cp);
        }
      } else if (cp <= 0xFFFF && UnicodeToKs(static_cast<uint16_t>(cp), &lead, &trail)) {
        piece.Reference(cp);
      } else {
        // Read as a reference (two for a character beyond U+FFFF, one for
        // each UTF-16 half) and turned back into the character in the page.
        piece.length = PutUtf8(cp, piece.bytes);
        piece.readerBytes = cp > 0xFFFF ? 2 * kReferenceBytes : kReferenceBytes;
      }
    }
    total += piece.readerBytes;
    if (!cut && out->readerBytes + piece.readerBytes > limit) cut = true;
    if (!cut) {
      std::memcpy(out->bytes + out->length, piece.bytes, piece.length);
      out->length += piece.length;
      out->readerBytes += piece.readerBytes;
      kept = i + n;
    }
    previous = cp;
    i += n;
  }
  out->bytes[out->length] = '\0';

  // The traps are looked for in what is written; a cut may take them away.
  if (script) {
    for (size_t i = 0; i < kept; ++i) {
      if (text[i] == '<' && StartsWithFolded(text + i, kept - i, "</script")) {
        ok = false;
        ReportImport(sink, ImportCode::kScriptEnd, place.table, place.row, place.column,
                     "the %s \"%s\" holds \"</script\", which would end the page's script; the import is "
                     "refused: write it otherwise",
                     place.what, shown);
        break;
      }
    }
  } else {
    // A browser ends a comment at "--!>" as well as at "-->".
    const char* commentEnd = nullptr;
    for (size_t i = 0; i + 3 <= kept && commentEnd == nullptr; ++i) {
      if (std::memcmp(text + i, "-->", 3) == 0) commentEnd = "holds \"-->\"";
      if (i + 4 <= kept && std::memcmp(text + i, "--!>", 4) == 0) commentEnd = "holds \"--!>\"";
    }
    // A tag closes its element too, "</TAG>": a "--" at its end meets the '>'.
    const bool tagEnd = rule == TextRule::kCaptionTag && kept >= 2 && std::memcmp(text + kept - 2, "--", 2) == 0;
    if (commentEnd != nullptr || tagEnd) {
      ok = false;
      ReportImport(sink, ImportCode::kCommentEnd, place.table, place.row, place.column,
                   "the %s \"%s\" %s, which would end the comment the captions stand in; the import is "
                   "refused: leave it out",
                   place.what, shown,
                   commentEnd != nullptr ? commentEnd : "ends in \"--\", and its closing tag would hold \"-->\"");
    }
  }
  if (cut) {
    char keptText[kShownTextWidth];
    ShowCell(text, kept, keptText, sizeof keptText);
    ReportImport(sink, ImportCode::kValueCut, place.table, place.row, place.column,
                 "the %s takes %ld bytes in the plan, and plotweave keeps %ld; it is written cut to \"%s\"", place.what,
                 static_cast<long>(total), static_cast<long>(limit), keptText);
  }
  return ok;
}

}  // namespace plotweave
