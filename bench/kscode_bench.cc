// Micro-benchmarks of the conversion hot paths, in bytes per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "io/file.h"
#include "kscode/kscode.h"
#include "kscode/page_encoder.h"
#include "kscode/plan_normaliser.h"
#include "kscode/unit_text.h"

namespace plotweave {
namespace {

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
      text += static_cast<char>(0xE0 | (syllable >> 12));
      text += static_cast<char>(0x80 | ((syllable >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (syllable & 0x3F));
    }
    text += " /pages/person.html\n";
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

// The plan normaliser reads and writes files, as a run does.
void BM_ConvertUtf8(benchmark::State& state) {
  const std::string text = Utf8Plan(4 << 20);
  FILE* in = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), in);
  FILE* null = NullSink();
  FileSink sink(null);
  for (auto _ : state) {
    std::rewind(in);
    FileSource source(in);
    BufferedReader reader(source);
    NormalisePlan(reader, PlanEncoding::kUtf8, sink);
  }
  std::fclose(in);
  std::fclose(null);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ConvertUtf8)->Unit(benchmark::kMillisecond);

void BM_ConvertUtf16(benchmark::State& state) {
  const std::string utf8 = Utf8Plan(4 << 20);
  std::string text;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    unsigned cp = b;
    if (b >= 0xE0) {
      cp = ((b & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
      i += 3;
    } else {
      ++i;
    }
    text += static_cast<char>(cp & 0xFF);
    text += static_cast<char>(cp >> 8);
  }
  FILE* in = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), in);
  FILE* null = NullSink();
  FileSink sink(null);
  for (auto _ : state) {
    std::rewind(in);
    FileSource source(in);
    BufferedReader reader(source);
    NormalisePlan(reader, PlanEncoding::kUtf16Le, sink);
  }
  std::fclose(in);
  std::fclose(null);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
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
