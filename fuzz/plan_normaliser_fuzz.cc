// The plan normaliser on arbitrary bytes. A leading byte-order mark chooses
// the form as it does for a plan; anything else is read as UTF-8.
//
// Besides memory safety the target checks what the scratch text must be (KS
// pairs that decode, no zero byte) and that well-formed input survives the
// trip through the scratch text and the page encoder unchanged, but for the
// documented folds: the double arrows come back as single arrows and a
// compatibility ideograph as its unified ideograph.
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "kscode/kscode.h"
#include "kscode/page_encoder.h"
#include "kscode/plan_normaliser.h"

namespace plotweave {
namespace {

enum Form { kUtf8, kUtf16Be, kUtf16Le };

// What the page encoder would take for an escape of its own.
bool HasEscapeStart(const std::vector<uint32_t>& cps) {
  for (size_t i = 0; i + 1 < cps.size(); ++i) {
    if ((cps[i] == 'U' && cps[i + 1] == '+') || (cps[i] == '&' && cps[i + 1] == '#')) return true;
  }
  return false;
}

// Code points of UTF-16 units; a surrogate half without its partner is U+FFFD.
std::vector<uint32_t> DecodeUtf16(const uint8_t* p, size_t n, bool bigEndian, bool* hasZero) {
  std::vector<uint16_t> units;
  for (size_t i = 0; i + 1 < n; i += 2) {
    units.push_back(static_cast<uint16_t>(bigEndian ? p[i] * 256 + p[i + 1] : p[i + 1] * 256 + p[i]));
  }
  std::vector<uint32_t> cps;
  *hasZero = false;
  for (size_t i = 0; i < units.size(); ++i) {
    const uint32_t u = units[i];
    if (u == 0) *hasZero = true;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      cps.push_back(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      cps.push_back(0xFFFD);
    } else {
      cps.push_back(u);
    }
  }
  return cps;
}

bool SameAfterFolds(uint32_t expected, uint32_t actual) {
  if (expected == actual) return true;
  if (expected == 0x21D2) return actual == 0x2192;
  if (expected == 0x21D4) return actual == 0x2194;
  if (expected >= 0xF900 && expected <= 0xFA0B) return actual >= 0x4E00 && actual <= 0x9FFF;
  return false;
}

void CheckScratchText(const std::string& ks) {
  for (size_t i = 0; i < ks.size();) {
    const uint8_t b = static_cast<uint8_t>(ks[i]);
    FUZZ_CHECK(b != 0);
    if (b < 0x80) {
      ++i;
      continue;
    }
    FUZZ_CHECK(i + 1 < ks.size());
    const uint8_t trail = static_cast<uint8_t>(ks[i + 1]);
    FUZZ_CHECK(b >= 0xA1 && b <= 0xFD && trail >= 0xA1 && trail <= 0xFE);
    FUZZ_CHECK(KsToUnicode(b, trail) >= 0x80);
    i += 2;
  }
}

}  // namespace
}  // namespace plotweave

FUZZ_INITIALIZE_WITH_SILENT_STDOUT()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace plotweave;
  Form form = kUtf8;
  size_t skip = 0;
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    skip = 3;
  } else if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
    form = kUtf16Be, skip = 2;
  } else if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    form = kUtf16Le, skip = 2;
  }
  const uint8_t* text = data + skip;
  const size_t textSize = size - skip;

  const PlanEncoding encoding =
      form == kUtf8 ? PlanEncoding::kUtf8 : form == kUtf16Be ? PlanEncoding::kUtf16Be : PlanEncoding::kUtf16Le;
  MemorySource in(text, textSize);
  fuzz::StringSink scratch;
  {
    BufferedReader reader(in);
    FUZZ_CHECK(NormalisePlan(reader, encoding, scratch) == StreamStatus::kDone);
  }
  const std::string& ks = scratch.bytes;
  CheckScratchText(ks);
  {
    // The plain path, character by character, gives the very same text.
    MemorySource again(text, textSize);
    BufferedReader reader(again);
    fuzz::StringSink plain;
    FUZZ_CHECK(NormalisePlanPlain(reader, encoding, plain) == StreamStatus::kDone);
    FUZZ_CHECK(plain.bytes == ks);
  }

  // The pulled source gives the same text, read in uneven pieces, when the
  // input carries its mark (a mark it lacks would make it KS text).
  if (skip > 0 || textSize == 0) {
    MemorySource plan(data, size);
    auto pulled = std::make_unique<NormalisedPlanSource>(plan);
    std::string text;
    char buffer[1000];
    size_t step = 1;
    size_t got;
    while ((got = pulled->Read(buffer, step)) > 0) {
      text.append(buffer, got);
      step = step * 3 % sizeof buffer + 1;
    }
    FUZZ_CHECK(!pulled->Failed());
    if (skip > 0) FUZZ_CHECK(text == ks);
  }

  // Back through the page encoder, as one chunk (the text holds no zero byte).
  fuzz::StringSink page;
  {
    BufferedWriter writer(page);
    EncodeChunk(ks.c_str(), writer);
    FUZZ_CHECK(writer.Flush());
  }
  std::vector<uint32_t> actual;
  FUZZ_CHECK(fuzz::DecodeStrictUtf8(page.bytes, &actual));

  std::vector<uint32_t> expected;
  bool wellFormed;
  bool hasZero = false;
  if (form == kUtf8) {
    wellFormed = fuzz::DecodeStrictUtf8(std::string(reinterpret_cast<const char*>(text), textSize),
                                        &expected);
    for (uint32_t cp : expected) hasZero = hasZero || cp == 0;
  } else {
    expected = DecodeUtf16(text, textSize, form == kUtf16Be, &hasZero);
    wellFormed = true;
  }
  if (!wellFormed || hasZero || HasEscapeStart(expected)) return 0;
  FUZZ_CHECK(actual.size() == expected.size());
  for (size_t i = 0; i < expected.size(); ++i) FUZZ_CHECK(SameAfterFolds(expected[i], actual[i]));
  return 0;
}
