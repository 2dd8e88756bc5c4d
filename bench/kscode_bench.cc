// Micro-benchmarks of the conversion hot paths, in bytes per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "io/file.h"
#include "kscode/kscode.h"
#include "kscode/page_encoder.h"
#include "kscode/plan_normaliser.h"
#include "kscode/unit_text.h"
#include "tests/support/utf8.h"

namespace plotweave {
namespace {

using testing::AppendUtf8;

// A line of page text: markup, ASCII, Hangul and a few hanja, as a page holds them.
std::string KsLine() {
  std::string line = "        nodesTable.addRow(['k001', 'Person', '";
  for (int i = 0; i < 24; ++i) {
    line += static_cast<char>(0xB0 + i % 25);
    line += static_cast<char>(0xA1 + (i * 7) % 94);
  }
  line += "', '<a href=\"/p.html\" target=\"_self\">";
  line += "\xCA\xA1\xCB\xA2\xEC\xE9";
  line += "</a>', 'box', 'http://localhost:8000/VR/style/noimage.png', '/p.html']);\n";
  return line;
}

// A plan in UTF-8: half Hangul, half ASCII. With `step` 97 the syllables
// walk all 11,172, so four in five have no KS code and become references;
// with `step` 0 they stay on the first row of KS X 1001 Hangul.
std::string Utf8Plan(size_t bytes, unsigned step = 97) {
  std::string text;
  unsigned syllable = 0xAC00;
  while (text.size() < bytes) {
    text += "k0001 Person ";
    for (int i = 0; i < 8; ++i, syllable = step ? 0xAC00 + (syllable - 0xAC00 + step) % 11172 : 0xAC00 + i * 4) {
      AppendUtf8(text, syllable);
    }
    text += " /pages/person.html\n";
  }
  return text;
}

// Plans shaped like real ones, in UTF-8: lines "n00123 Person " and a label
// of words joined by '_', so the text switches between ASCII and Hangul every
// few characters. kKsWords: half the words Hangul of 2-5 KS X 1001
// syllables, half ASCII of 3-9 letters, one to three words a label.
// kMixedWords: nine words in ten Hangul of 3-8 syllables from all 11,172
// (most become references), one in twenty with a symbol outside KS X 1001,
// one in forty with a character beyond U+FFFF, ten to sixteen words a label.
enum PlanShape { kKsWords = 0, kMixedWords = 1 };

std::string ShapedPlan(size_t bytes, PlanShape shape) {
  std::mt19937 rng(20261207);
  const auto pick = [&rng](unsigned low, unsigned high) { return low + static_cast<unsigned>(rng() % (high - low + 1)); };
  static const unsigned kSymbols[] = {0x20AC, 0x2013, 0x2014, 0x21E8, 0x2713, 0xE9, 0xFC};
  static const unsigned kAstral[] = {0x1F600, 0x1F4A1, 0x1F680, 0x20B9F, 0x2A6A5};
  std::vector<std::string> words;
  for (int w = 0; w < 2000; ++w) {
    std::string word;
    const bool hangul = shape == kKsWords ? rng() % 2 == 0 : rng() % 10 != 0;
    if (hangul) {
      const unsigned count = shape == kKsWords ? pick(2, 5) : pick(3, 8);
      for (unsigned k = 0; k < count; ++k) {
        const unsigned cp = shape == kKsWords
                                ? KsToUnicode(static_cast<uint8_t>(pick(0xB0, 0xC8)), static_cast<uint8_t>(pick(0xA1, 0xFE)))
                                : pick(0xAC00, 0xD7A3);
        AppendUtf8(word, cp == 0 ? 0xAC00 : cp);
      }
    } else {
      for (unsigned k = pick(3, shape == kKsWords ? 9 : 8); k > 0; --k) word += static_cast<char>(pick('a', 'z'));
    }
    if (shape == kMixedWords) {
      const unsigned extra = static_cast<unsigned>(rng() % 40);
      if (extra < 2) AppendUtf8(word, kSymbols[rng() % 7]);
      if (extra == 2) AppendUtf8(word, kAstral[rng() % 5]);
    }
    words.push_back(word);
  }
  std::string text;
  char prefix[32];
  for (unsigned line = 0; text.size() < bytes; ++line) {
    std::snprintf(prefix, sizeof prefix, "n%05u Person ", line % 100000);
    text += prefix;
    const unsigned count = shape == kKsWords ? pick(1, 3) : pick(10, 16);
    for (unsigned k = 0; k < count; ++k) {
      if (k > 0) text += '_';
      text += words[rng() % words.size()];
    }
    std::snprintf(prefix, sizeof prefix, " /p/%u\n", line);
    text += prefix;
  }
  return text;
}

// UTF-8 to UTF-16, little- or big-endian.
std::string Utf16Of(const std::string& utf8, bool bigEndian) {
  std::string text;
  const auto unit = [&](unsigned u) {
    text += static_cast<char>(bigEndian ? u >> 8 : u & 0xFF);
    text += static_cast<char>(bigEndian ? u & 0xFF : u >> 8);
  };
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    unsigned cp = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
    for (size_t k = 1; k < length; ++k) cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += length;
    if (cp >= 0x10000) {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return text;
}

FILE* NullSink() {
  FILE* f = std::fopen("/dev/null", "wb");
  if (f == nullptr) std::abort();
  return f;
}

void BM_KsToUnicode(benchmark::State& state) {
  for (auto _ : state) {
    unsigned sum = 0;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
      for (int trail = 0; trail <= 0xFF; ++trail) {
        sum += KsToUnicode(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail));
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 128 * 256);
  state.SetBytesProcessed(state.iterations() * 128 * 256 * 2);
}
BENCHMARK(BM_KsToUnicode);

// Looks up every unit from state.range(0) to state.range(1).
void BM_UnicodeToKs(benchmark::State& state) {
  const unsigned first = static_cast<unsigned>(state.range(0));
  const unsigned last = static_cast<unsigned>(state.range(1));
  for (auto _ : state) {
    unsigned sum = 0;
    for (unsigned u = first; u <= last; ++u) {
      uint8_t lead = 0;
      uint8_t trail = 0;
      if (UnicodeToKs(static_cast<uint16_t>(u), &lead, &trail)) sum += lead + trail;
    }
    benchmark::DoNotOptimize(sum);
  }
  const int64_t units = last - first + 1;
  state.SetItemsProcessed(state.iterations() * units);
  state.SetBytesProcessed(state.iterations() * units * 2);
}
BENCHMARK(BM_UnicodeToKs)->Args({0x80, 0xFFFF})->Args({0xAC00, 0xD7A3});

// The page encoder on `line`, 64 times an iteration.
void EncodeLine(benchmark::State& state, const std::string& line) {
  FILE* null = NullSink();
  FileSink sink(null);
  {
    BufferedWriter out(sink);
    for (auto _ : state) {
      for (int i = 0; i < 64; ++i) EncodeChunk(line.c_str(), out);
    }
  }
  std::fclose(null);
  state.SetBytesProcessed(state.iterations() * 64 * static_cast<int64_t>(line.size()));
}

void BM_EncodeChunk(benchmark::State& state) { EncodeLine(state, KsLine()); }
BENCHMARK(BM_EncodeChunk);

// Page text as a plan of modern Hangul leaves it: KS pairs between the
// five-digit references of syllables that KS X 1001 lacks.
void BM_EncodeChunkReferences(benchmark::State& state) {
  std::string line = "        nodesTable.addRow(['k001', 'Person', '";
  for (int i = 0; i < 24; ++i) {
    if (i % 3 == 0) {
      line += "\xB0\xA1";
    } else {
      line += "&#" + std::to_string(44034 + i * 37) + ";";
    }
  }
  line += "', 'box']);\n";
  EncodeLine(state, line);
}
BENCHMARK(BM_EncodeChunkReferences);

void BM_EncodeChunkAscii(benchmark::State& state) {
  EncodeLine(state, "        linksTable.addRow(['k001', 'k002', 'darkcyan', 'line', 'locatedIn', 'locatedIn']);\n");
}
BENCHMARK(BM_EncodeChunkAscii);

// The page as a Hangul-heavy plan leaves it: lines of words of three to
// eight syllables joined by '_', four syllables in five as references (those
// KS X 1001 lacks), the rest KS pairs.
std::string HangulPage(size_t bytes) {
  std::mt19937 rng(15);
  std::string page;
  char buf[32];
  for (int line = 0; page.size() < bytes; ++line) {
    std::snprintf(buf, sizeof buf, "n%05d Person ", line % 100000);
    page += buf;
    const int words = 10 + static_cast<int>(rng() % 7);
    for (int w = 0; w < words; ++w) {
      if (w > 0) page += '_';
      const int syllables = 3 + static_cast<int>(rng() % 6);
      for (int i = 0; i < syllables; ++i) {
        if (rng() % 5 != 0) {
          std::snprintf(buf, sizeof buf, "&#%05u;", 0xAC00 + static_cast<unsigned>(rng() % 11172));
          page += buf;
        } else {
          page += static_cast<char>(0xB0 + rng() % 25);
          page += static_cast<char>(0xA1 + rng() % 94);
        }
      }
    }
    std::snprintf(buf, sizeof buf, " /p/%d\n", line);
    page += buf;
  }
  return page;
}

// Counts what it is given: the page encoder's output without a file's cost.
class CountingSink final : public ByteSink {
 public:
  bool Write(const void*, size_t count) override {
    bytes += count;
    return true;
  }
  size_t bytes = 0;
};

// The whole page encoder, line reading included, on a page in memory.
void BM_EncodePageHangul(benchmark::State& state) {
  const std::string page = HangulPage(8 << 20);
  for (auto _ : state) {
    MemorySource source(page.data(), page.size());
    CountingSink sink;
    EncodePage(source, sink);
    benchmark::DoNotOptimize(sink.bytes);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_EncodePageHangul)->Unit(benchmark::kMillisecond);

// The plan normaliser on `text` in `encoding`, reading and writing files as
// a run does.
void NormaliseFromFile(benchmark::State& state, const std::string& text, PlanEncoding encoding) {
  FILE* in = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), in);
  FILE* null = NullSink();
  FileSink sink(null);
  for (auto _ : state) {
    std::rewind(in);
    FileSource source(in);
    BufferedReader reader(source);
    NormalisePlan(reader, encoding, sink);
  }
  std::fclose(in);
  std::fclose(null);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_ConvertUtf8(benchmark::State& state) { NormaliseFromFile(state, Utf8Plan(4 << 20), PlanEncoding::kUtf8); }
BENCHMARK(BM_ConvertUtf8)->Unit(benchmark::kMillisecond);

void BM_ConvertUtf16(benchmark::State& state) {
  NormaliseFromFile(state, Utf16Of(Utf8Plan(4 << 20), false), PlanEncoding::kUtf16Le);
}
BENCHMARK(BM_ConvertUtf16)->Unit(benchmark::kMillisecond);

// The run converters alone, memory to memory: KS X 1001 Hangul, then
// syllables of which most become references.
void BM_ConvertUtf8Run(benchmark::State& state) {
  const std::string text = Utf8Plan(1 << 20, static_cast<unsigned>(state.range(0)));
  static unsigned char out[1 << 16];
  for (auto _ : state) {
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    size_t i = 0;
    while (i < text.size()) {
      const RunResult r = ConvertUtf8Run(in + i, text.size() - i, out, sizeof out);
      benchmark::DoNotOptimize(out[0]);
      i += r.consumed;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ConvertUtf8Run)->Arg(0)->Arg(97);

// The normaliser on plans of the shapes above, through files as a run
// reads them: state.range(0) the shape, state.range(1) 0 for UTF-8, 1 for
// UTF-16LE.
void BM_NormaliseShapedPlan(benchmark::State& state) {
  const std::string utf8 = ShapedPlan(4 << 20, static_cast<PlanShape>(state.range(0)));
  if (state.range(1) != 0) {
    NormaliseFromFile(state, Utf16Of(utf8, false), PlanEncoding::kUtf16Le);
  } else {
    NormaliseFromFile(state, utf8, PlanEncoding::kUtf8);
  }
}
BENCHMARK(BM_NormaliseShapedPlan)
    ->Args({kKsWords, 0})
    ->Args({kMixedWords, 0})
    ->Args({kKsWords, 1})
    ->Args({kMixedWords, 1})
    ->Unit(benchmark::kMillisecond);

// The run converters alone on the shaped plans, memory to memory; a
// character a run leaves (a four-byte form) is stepped over as the plain
// path would take it.
void BM_ConvertShapedRun(benchmark::State& state) {
  const std::string utf8 = ShapedPlan(1 << 20, static_cast<PlanShape>(state.range(0)));
  const bool wide = state.range(1) != 0;
  const std::string text = wide ? Utf16Of(utf8, false) : utf8;
  static unsigned char out[1 << 16];
  for (auto _ : state) {
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    size_t i = 0;
    while (i < text.size()) {
      const RunResult r = wide ? ConvertUtf16Run(in + i, text.size() - i, false, out, sizeof out)
                               : ConvertUtf8Run(in + i, text.size() - i, out, sizeof out);
      benchmark::DoNotOptimize(out[0]);
      i += r.consumed;
      if (r.consumed == 0) i += in[i] >= 0xF0 ? 4 : 1;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ConvertShapedRun)->Args({kKsWords, 0})->Args({kMixedWords, 0})->Args({kKsWords, 1})->Args({kMixedWords, 1});

void BM_ReadTextLines(benchmark::State& state) {
  const std::string text = Utf8Plan(4 << 20);
  FILE* in = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), in);
  static char line[1024];
  for (auto _ : state) {
    std::rewind(in);
    FileSource source(in);
    BufferedReader reader(source);
    size_t lines = 0;
    while (reader.ReadLine(line, 1000) > 0) ++lines;
    benchmark::DoNotOptimize(lines);
  }
  std::fclose(in);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadTextLines)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace plotweave
