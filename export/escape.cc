#include "export/escape.h"

#include <cstdio>
#include <cstring>

#include "check/utf8.h"

namespace plotweave {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;
constexpr char kHex[] = "0123456789ABCDEF";

void PutPercent(BufferedWriter& out, unsigned char b) {
  out.Put('%');
  out.Put(static_cast<unsigned char>(kHex[b >> 4]));
  out.Put(static_cast<unsigned char>(kHex[b & 15]));
}

void PutReplacement(BufferedWriter& out) {
  char bytes[4];
  out.Write(bytes, PutUtf8(kReplacement, bytes));
}

void PutHex4(BufferedWriter& out, const char* prefix, uint32_t unit) {
  out.Write(prefix);
  for (int shift = 12; shift >= 0; shift -= 4) out.Put(static_cast<unsigned char>(kHex[(unit >> shift) & 15]));
}

// PN_CHARS_BASE and '_' (PN_CHARS_U) of the Turtle grammar, beyond ASCII.
bool IsNameStartBeyondAscii(uint32_t c) {
  return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
         (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsAsciiLetter(uint32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(uint32_t c) { return c >= '0' && c <= '9'; }

// PN_CHARS: what may follow the first character of a local name.
bool IsNameChar(uint32_t c) {
  return IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '-' || c == 0xB7 || (c >= 0x300 && c <= 0x36F) ||
         (c >= 0x203F && c <= 0x2040) || IsNameStartBeyondAscii(c);
}

// What IRIREF excludes.
bool IsIriExcluded(unsigned char b) { return b <= 0x20 || std::strchr("<>\"{}|^`\\", b) != nullptr; }

// The three formats that quote with '"' and escape with a backslash differ
// only in how they take control characters.
struct BackslashQuoting {
  bool namedEscapes;   // \n, \r and \t for line feed, carriage return and tab
  bool deleteControl;  // U+007F taken as a control character
  bool blankControls;  // a control character as a blank, not as \uXXXX
};

constexpr BackslashQuoting kJsonQuoting = {true, false, false};
constexpr BackslashQuoting kDotQuoting = {false, true, true};
constexpr BackslashQuoting kTurtleQuoting = {true, true, false};

void WriteBackslashQuoted(BufferedWriter& out, const char* text, const BackslashQuoting& quoting) {
  out.Put('"');
  for (const char* p = text; *p != '\0';) {
    int n;
    const uint32_t c = NextCodePoint(p, &n);
    if (c == '"' || c == '\\') {
      out.Put('\\');
      out.Put(static_cast<unsigned char>(c));
    } else if (quoting.namedEscapes && c == '\n') {
      out.Write("\\n");
    } else if (quoting.namedEscapes && c == '\r') {
      out.Write("\\r");
    } else if (quoting.namedEscapes && c == '\t') {
      out.Write("\\t");
    } else if (c < 0x20 || (quoting.deleteControl && c == 0x7F)) {
      if (quoting.blankControls) {
        out.Put(' ');
      } else {
        PutHex4(out, "\\u", c);
      }
    } else if (n == 1 && c >= 0x80) {
      PutReplacement(out);
    } else {
      out.Write(p, static_cast<size_t>(n));
    }
    p += n;
  }
  out.Put('"');
}

}  // namespace

uint32_t NextCodePoint(const char* text, int* length) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  unsigned long c;
  const size_t n = DecodeUtf8(p, strnlen(text, 4), &c);
  if (n == 0) {
    *length = 1;
    return p[0];
  }
  *length = static_cast<int>(n);
  return static_cast<uint32_t>(c);
}

void WriteXml(BufferedWriter& out, const char* text) {
  for (const char* p = text; *p != '\0';) {
    int n;
    const uint32_t c = NextCodePoint(p, &n);
    switch (c) {
      case '&': out.Write("&amp;"); break;
      case '<': out.Write("&lt;"); break;
      case '>': out.Write("&gt;"); break;
      case '"': out.Write("&quot;"); break;
      case '\'': out.Write("&apos;"); break;
      // In an attribute value, a line break or tab would read as a blank.
      case '\t': out.Write("&#9;"); break;
      case '\n': out.Write("&#10;"); break;
      case '\r': out.Write("&#13;"); break;
      default:
        if (c < 0x20 || c == 0xFFFE || c == 0xFFFF || (n == 1 && c >= 0x80)) {
          PutReplacement(out);
        } else {
          out.Write(p, static_cast<size_t>(n));
        }
    }
    p += n;
  }
}

void WriteJson(BufferedWriter& out, const char* text) { WriteBackslashQuoted(out, text, kJsonQuoting); }

void WriteDot(BufferedWriter& out, const char* text) { WriteBackslashQuoted(out, text, kDotQuoting); }

void WriteTurtleString(BufferedWriter& out, const char* text) { WriteBackslashQuoted(out, text, kTurtleQuoting); }

void WriteTurtleIri(BufferedWriter& out, const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != '\0'; ++p) {
    if (IsIriExcluded(*p) || *p == 0x7F) {
      PutPercent(out, *p);
    } else {
      out.Put(*p);
    }
  }
}

bool IsIriText(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != '\0'; ++p) {
    if (IsIriExcluded(*p) || *p == 0x7F) return false;
  }
  return true;
}

void WriteTurtleLocal(BufferedWriter& out, const char* text) {
  for (const char* p = text; *p != '\0';) {
    int n;
    const uint32_t c = NextCodePoint(p, &n);
    const bool first = p == text;
    const bool last = p[n] == '\0';
    const bool plain = first ? (IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == ':' || IsNameStartBeyondAscii(c))
                             : (IsNameChar(c) || c == ':' || (c == '.' && !last));
    if (plain && !(n == 1 && c >= 0x80)) {
      out.Write(p, static_cast<size_t>(n));
    } else {
      for (int i = 0; i < n; ++i) PutPercent(out, static_cast<unsigned char>(p[i]));
    }
    p += n;
  }
}

void WriteCsv(BufferedWriter& out, const char* text) {
  if (std::strpbrk(text, ",\"\r\n") == nullptr) {
    out.Write(text);
    return;
  }
  out.Put('"');
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '"') out.Put('"');
    out.Put(static_cast<unsigned char>(*p));
  }
  out.Put('"');
}

Decimal::Decimal(long value) { std::snprintf(text, sizeof text, "%ld", value); }

void WriteNumber(BufferedWriter& out, long value) { out.Write(Decimal(value).text); }

void WriteXmlElement(BufferedWriter& out, const char* indent, const char* tag,
                     std::initializer_list<XmlAttribute> attributes) {
  out.Write(indent);
  out.Put('<');
  out.Write(tag);
  for (const XmlAttribute& a : attributes) {
    out.Put(' ');
    out.Write(a.name);
    out.Write("=\"");
    WriteXml(out, a.value);
    out.Put('"');
  }
  out.Write("/>\n");
}

}  // namespace plotweave
