// Text written into the export formats, each with its own quoting. The text
// is UTF-8 as BuildExportModel makes it; nothing here allocates.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "io/stream.h"

namespace plotweave {

// The next character of a UTF-8 text and its length in bytes; a byte that
// starts no valid character reads as itself, one byte long.
uint32_t NextCodePoint(const char* p, int* length);

// XML character data or attribute value: & < > " ' as references; the
// characters XML 1.0 cannot hold at all (controls other than tab, line feed
// and carriage return, U+FFFE, U+FFFF) as U+FFFD.
void WriteXml(BufferedWriter& out, const char* text);

// A JSON string with its quotes, escaped as RFC 8259 requires.
void WriteJson(BufferedWriter& out, const char* text);

// A DOT quoted string with its quotes: \" for a quote and \\ for a
// backslash, so that an escString shows the backslash; controls as blanks.
void WriteDot(BufferedWriter& out, const char* text);

// A Turtle string literal with its quotes (STRING_LITERAL_QUOTE).
void WriteTurtleString(BufferedWriter& out, const char* text);
// The inside of a Turtle IRI reference: what IRIREF does not allow is
// percent-encoded, byte by byte of its UTF-8.
void WriteTurtleIri(BufferedWriter& out, const char* text);
// A Turtle local name (PN_LOCAL): the characters it allows where they
// stand are written as they are, every other one percent-encoded byte by
// byte of its UTF-8 (a percent-encoding is itself a valid part of a local
// name, and no reader undoes it, so two ids never meet in one IRI).
void WriteTurtleLocal(BufferedWriter& out, const char* text);
// Whether the text may stand in an IRI reference as it is.
bool IsIriText(const char* text);

// An RFC 4180 field: quoted, with "" for a quote, when it holds a comma, a
// quote, a carriage return or a line feed.
void WriteCsv(BufferedWriter& out, const char* text);

// A decimal number.
void WriteNumber(BufferedWriter& out, long value);

// A decimal number as text, for the places that take text.
struct Decimal {
  explicit Decimal(long value);
  char text[24];
};

// An empty XML element on a line of its own:
// INDENT<TAG NAME="VALUE" .../> with each value written by WriteXml.
struct XmlAttribute {
  const char* name;
  const char* value;
};
void WriteXmlElement(BufferedWriter& out, const char* indent, const char* tag,
                     std::initializer_list<XmlAttribute> attributes);

}  // namespace plotweave
