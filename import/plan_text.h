// One table cell as a plan field: the bytes that make plotweave show what
// the cell says, measured the way the plan reader will measure them.
#pragma once

#include <cstddef>

#include "import/import_finding.h"

namespace plotweave {

// How a cell becomes plan text. Every field is written into the page's
// script as a single-quoted string, but for the captions, which stand in an
// HTML comment.
enum class TextRule : unsigned char {
  kName,     // ids, class and relation names, colours, styles
  kLabel,    // a node label, which the page shows with "_" as a blank
  kAddress,  // a node's address or image address
  kCaptionTag,
  kCaptionText,  // shown with "_" as a blank too
};

// Room for the longest field: 255 bytes as the reader counts them take at
// most half as many again in a UTF-8 plan.
inline constexpr size_t kPlanFieldRoom = 400;

struct PlanField {
  char bytes[kPlanFieldRoom];  // zero-terminated, in the plan's encoding
  size_t length;
  size_t readerBytes;  // KS bytes the reader stores for it
};

// Where a cell stands, for the findings about it.
struct CellPlace {
  const char* table;
  long row;
  long column;
  const char* what;  // "node label", ...
};

// Converts the UTF-8 cell text[0, length) into `out`, by `rule`, in KS code
// when `ks` is set and in UTF-8 otherwise; a value longer than `limit` KS
// bytes is written cut where the reader would cut it, with a warning.
// Reports every finding about the cell; false when one of them is an error.
bool ConvertCell(const char* text, size_t length, TextRule rule, size_t limit, bool ks, const CellPlace& place,
                 ImportSink& sink, PlanField* out);

// The cell as a message quotes it: control characters as '?', cut to fit.
void ShowCell(const char* text, size_t length, char* out, size_t width);

}  // namespace plotweave
