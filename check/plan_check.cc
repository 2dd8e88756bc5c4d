#include "check/plan_check.h"

#include <cstdio>
#include <cstring>

#include "plan/plan_name.h"
#include "check/columns.h"
#include "check/cp949.h"
#include "check/utf8.h"
#include "check/model_checks.h"
#include "check/page_text.h"
#include "check/places.h"
#include "kscode/kscode.h"
#include "kscode/plan_normaliser.h"
#include "plan/reader.h"

namespace plotweave {

namespace {

// A header or comment line shown in a message is cut to this.
constexpr size_t kLineCopyWidth = 64;

struct SectionWords {
  const char* entries;  // what its lines hold, plural
  int capacity;
};

// By section number: 0 before any header, 1..5 the sections, 6 unknown.
const SectionWords kSections[] = {
    {"lines", 0},
    {"caption lines", kProjectCapacity},
    {"classes", kClassCapacity},
    {"relations", kRelationCapacity},
    {"nodes", kNodeCapacity},
    {"links", kLinkCapacity},
    {"lines", 0},
};

const SectionWords& Words(int section) { return kSections[section >= 0 && section <= 6 ? section : 0]; }

// A run of lines lost to one cause, reported at its first line once its
// length is known.
struct LostRun {
  FindingCode code;
  int64_t line = 0;
  long column = 0;
  long count = 0;   // data lines lost
  int section = 0;  // the section concerned
  bool open = false;
  bool spaced = false;  // an unknown header with a blank after its '#'
  char subject[kShownTextWidth];
};

// Turns what the reader tells into findings with character columns, and
// remembers where each stored entry came from.
class ReaderWatch final : public DiagnosticSink, public PlanLineWatcher {
 public:
  ReaderWatch(FindingSink& sink, PlanPlaces& places, const NormalisedPlanSource& source)
      : sink_(sink), places_(places), source_(source) {}

  void PieceRead(const char* piece, size_t length, int64_t line, int64_t pieceOffset) override {
    if (pieceOffset == 0) {
      carry_ = ColumnCarry{};
      nextColumn_ = 1;
    }
    piece_ = piece;
    line_ = line;
    pieceOffset_ = pieceOffset;
    pieceColumn_ = nextColumn_;
    pieceCarry_ = carry_;
    if (!FromUnicode()) FindCp949Pairs(piece, length);
    // Only a piece that the next one continues needs its characters counted
    // now, while its bytes are still there.
    if (length > 0 && piece[length - 1] != '\n') {
      nextColumn_ += CountCharacters(piece, length, FromUnicode(), &carry_);
    }
  }

  // A header ends whatever run of lost lines went before it.
  void HeaderRead(int) override { CloseRuns(); }

  void EntryStored(int section, int index) override {
    CloseRuns();
    if (section < 1 || section > 5) return;
    EntryPlace* const table[] = {nullptr, places_.projects, places_.classes, places_.relations, places_.nodes,
                                 places_.links};
    RecordPlace(table[section][index], static_cast<long>(line_), piece_, pieceColumn_, pieceCarry_, section == 1);
  }

  void Report(const Diagnostic& d) override;

  // The end of the plan: runs still open are reported.
  void Finish() { CloseRuns(); }

  bool FromUnicode() const { return source_.encoding() != PlanEncoding::kKs; }

 private:
  // Character column of a byte column of the current line.
  long ColumnOf(int64_t byteColumn) const {
    const int64_t offset = byteColumn - 1 - pieceOffset_;
    if (offset <= 0) return pieceColumn_;
    ColumnCarry carry = pieceCarry_;
    return pieceColumn_ + CountCharacters(piece_, static_cast<size_t>(offset), FromUnicode(), &carry);
  }

  Finding At(FindingCode code, const Diagnostic& d) const {
    Finding f{};
    f.code = code;
    f.line = static_cast<long>(d.line);
    f.column = ColumnOf(d.column);
    return f;
  }

  void Open(LostRun& run, FindingCode code, const Diagnostic& d, int section) {
    run.code = code;
    run.line = d.line;
    run.column = ColumnOf(d.column);
    run.count = 0;
    run.section = section;
    run.open = true;
    run.spaced = false;
    run.subject[0] = '\0';
    if (d.subject != nullptr) ShowText(d.subject, run.subject, sizeof run.subject);
  }
  // The current line from byte column `column` on, for a message.
  void ShowLineFrom(int64_t column, char* out, size_t width) const {
    const char* p = piece_ + (column - 1 - pieceOffset_);
    char text[kLineCopyWidth];
    size_t n = 0;
    while (n + 1 < sizeof text && p[n] != '\0' && p[n] != '\n' && p[n] != '\r') {
      text[n] = p[n];
      ++n;
    }
    while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
    text[n] = '\0';
    ShowText(text, out, width);
  }
  void FindCp949Pairs(const char* piece, size_t length);
  void Close(LostRun& run);
  void CloseRuns() {
    Close(ignored_);
    Close(dropped_);
  }
  void ReportHeader(const Diagnostic& d);

  FindingSink& sink_;
  PlanPlaces& places_;
  const NormalisedPlanSource& source_;
  const char* piece_ = "";
  int64_t line_ = 0;
  int64_t pieceOffset_ = 0;
  long pieceColumn_ = 1;
  long nextColumn_ = 1;
  ColumnCarry pieceCarry_;
  ColumnCarry carry_;
  LostRun ignored_;  // lines before the first header or after an unknown one
  LostRun dropped_;  // lines past a section's capacity
};

// A KS plan saved by Korean Windows as "ANSI" is CP949, whose extension
// codes KS code lacks: the page shows something else for each of them.
void ReaderWatch::FindCp949Pairs(const char* piece, size_t length) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(piece);
  // A pair the last piece began ends here: the pieces of a line pair as the
  // page encoder pairs the line's bytes.
  size_t i = pieceCarry_.trailPending ? 1 : 0;
  while (i < length) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    if (i + 1 < length && IsCp949Extension(p[i], p[i + 1])) {
      char meant[8], shown[8];
      meant[PutUtf8(Cp949ToUnicode(p[i], p[i + 1]), meant)] = '\0';
      const uint16_t page = KsToUnicode(p[i], p[i + 1]);
      shown[PutUtf8(page == 0 ? 0x25A3 : page, shown)] = '\0';
      Finding f{};
      f.code = FindingCode::kCp949Character;
      f.line = static_cast<long>(line_);
      f.column = ColumnOf(pieceOffset_ + static_cast<int64_t>(i) + 1);
      SetMessage(f,
                 "the bytes %02X %02X are \"%s\" in CP949, the \"ANSI\" of Korean Windows, which KS code "
                 "lacks, so the page shows \"%s\" in its place; save the plan as UTF-8 with a byte-order "
                 "mark to keep it",
                 p[i], p[i + 1], meant, shown);
      sink_.Report(f);
    }
    i += 2;
  }
}

void ReaderWatch::Close(LostRun& run) {
  if (!run.open) return;
  run.open = false;
  if (run.count == 0) return;  // a comment between sections loses nothing
  Finding f{};
  f.code = run.code;
  f.line = static_cast<long>(run.line);
  f.column = run.column;
  const SectionWords& words = Words(run.section);
  switch (run.code) {
    case FindingCode::kBeforeFirstHeader:
      SetMessage(f, "%ld data line%s before the first section header %s ignored; put %s under a header",
                 run.count, run.count == 1 ? "" : "s", run.count == 1 ? "is" : "are",
                 run.count == 1 ? "it" : "them");
      break;
    case FindingCode::kCommentEndsSection:
      SetMessage(f,
                 "the comment \"%s\" ends the %s section, so the %ld data line%s after it %s ignored; "
                 "move the comment, or repeat %s after it",
                 run.subject, SectionHeader(run.section), run.count, run.count == 1 ? "" : "s",
                 run.count == 1 ? "is" : "are", SectionHeader(run.section));
      break;
    case FindingCode::kPastCapacity:
      SetMessage(f,
                 "a plan holds at most %d %s, so this line and the %ld after it in the section are "
                 "dropped; split the plan or leave entries out",
                 words.capacity, words.entries, run.count - 1);
      break;
    default:
      SetMessage(f, "the header \"%s\" names no section%s, so the %ld data line%s after it %s ignored; %s",
                 run.subject, run.spaced ? " because of the blank after \"#\"" : "", run.count,
                 run.count == 1 ? "" : "s", run.count == 1 ? "is" : "are",
                 run.spaced ? "remove the blank" : "write #PROJECT, #CLASS, #RELATION, #NODES or #LINKS");
      break;
  }
  sink_.Report(f);
}

void ReaderWatch::ReportHeader(const Diagnostic& d) {
  CloseRuns();
  const int before = d.field;  // the section the header ends
  // "# NODES": a header word after a lone '#'.
  const char* p = piece_ + (d.column - 1 - pieceOffset_) + 1;
  while (*p == ' ' || *p == '\t') ++p;
  char word[8] = "#";
  size_t n = 1;
  while (n < 6 && p[n - 1] != '\0' && static_cast<unsigned char>(p[n - 1]) > ' ') {
    word[n] = p[n - 1];
    ++n;
  }
  word[n] = '\0';
  const bool spaced = std::strcmp(d.subject, "#") == 0 && n > 1 && HeaderSection(word, n) <= 5;
  // Inside a section a line like "# people" is meant as a comment; anywhere
  // else, or spelled like a header, it is a header gone wrong.
  const bool comment = !spaced && before >= 1 && before <= 5;
  Open(ignored_, comment ? FindingCode::kCommentEndsSection : FindingCode::kUnknownHeader, d, comment ? before : 6);
  ignored_.spaced = spaced;
  ShowLineFrom(d.column, ignored_.subject, sizeof ignored_.subject);
}

void ReaderWatch::Report(const Diagnostic& d) {
  // Lost lines come one a line, perhaps millions of them: they are only
  // counted, before anything else is made.
  if (d.code == DiagnosticCode::kIgnoredLine) {
    if (!ignored_.open) Open(ignored_, FindingCode::kBeforeFirstHeader, d, 0);
    ++ignored_.count;
    return;
  }
  if (d.code == DiagnosticCode::kPastCapacity) {
    if (!dropped_.open || dropped_.section != d.field) {
      CloseRuns();
      Open(dropped_, FindingCode::kPastCapacity, d, d.field);
    }
    ++dropped_.count;
    return;
  }
  char shown[kShownTextWidth];
  Finding f{};
  switch (d.code) {
    case DiagnosticCode::kUnknownHeader:
      ReportHeader(d);
      return;
    case DiagnosticCode::kSectionRepeated:
      CloseRuns();
      f = At(FindingCode::kSectionRepeated, d);
      SetMessage(f,
                 "%s is given a second time, and its lines overwrite those of the first from the "
                 "top; join the two sections",
                 SectionHeader(d.field));
      break;
    case DiagnosticCode::kShortLine:
      f = At(FindingCode::kShortLine, d);
      SetMessage(f,
                 "the line is shorter than five bytes, its line feed counted, and is skipped; use a "
                 "longer id or name");
      break;
    case DiagnosticCode::kLinePiece:
      f = At(FindingCode::kLongLine, d);
      SetMessage(f,
                 "the line is longer than 999 bytes, and from here on it is read as a line of its "
                 "own; shorten it");
      break;
    case DiagnosticCode::kFieldCut:
      CloseRuns();
      f = At(FindingCode::kFieldCut, d);
      ShowText(d.subject, shown, sizeof shown);
      SetMessage(f, "the %s is longer than %d bytes and is cut to \"%s\"; shorten it",
                 PlanFieldName(static_cast<PlanField>(d.field)), static_cast<int>(d.limit), shown);
      break;
    case DiagnosticCode::kLeadByteAtLineEnd:
      f = At(FindingCode::kLeadByteAtLineEnd, d);
      SetMessage(f,
                 "the line ends in the first byte of a two-byte character, which takes the byte after "
                 "it along in the page (a line feed, or a closing quote); complete or remove the "
                 "character");
      break;
    case DiagnosticCode::kExtraFields:
      CloseRuns();
      f = At(FindingCode::kExtraFields, d);
      SetMessage(f,
                 "%d field%s from here on %s ignored, as %s lines hold no more; remove %s, or join "
                 "words with \"_\"",
                 static_cast<int>(d.limit), d.limit == 1 ? "" : "s", d.limit == 1 ? "is" : "are",
                 SectionHeader(d.field), d.limit == 1 ? "it" : "them");
      break;
    case DiagnosticCode::kBlankEntry:
      CloseRuns();
      f = At(FindingCode::kBlankEntry, d);
      SetMessage(f,
                 "a line of blanks only is read as an empty entry of %s; delete the blanks or the "
                 "line",
                 SectionHeader(d.field));
      break;
    default:
      // Validation is checked on the model, all of its rounds at once.
      return;
  }
  sink_.Report(f);
}

// The checker's model and what goes with it: far too large for a stack.
OntologyModel gModel;
PlanPlaces gPlaces;
NameIndexes gNames;

}  // namespace

PlanCheckStatus CheckPlan(ByteSource& plan, FindingSink& sink, PlanSummary* summary) {
  // Every plan starts from the empty model; the first finds it empty. Places
  // need no clearing: every stored entry records its own.
  static bool used = false;
  if (used) std::memset(&gModel, 0, sizeof gModel);
  used = true;
  NormalisedPlanSource source(plan);
  ReaderWatch watch(sink, gPlaces, source);
  // The longer of the two link targets, so that no title is longer in either program.
  const StreamStatus read = ReadPlan(source, gModel, "_blank", watch, &watch);
  if (read != StreamStatus::kDone || source.Failed()) return PlanCheckStatus::kUnreadable;
  watch.Finish();

  BuildNameIndexes(gModel, &gNames);
  const ModelView view{gModel, gPlaces, gNames, watch.FromUnicode()};
  CheckReferences(view, sink);
  CheckPageTexts(view, sink);
  CheckDuplicateIds(view, sink);
  CheckUsage(view, sink);
  summary->nodes = gModel.nodeCount;
  summary->links = gModel.linkCount;
  summary->classes = gModel.classCount;
  summary->relations = gModel.relationCount;
  return PlanCheckStatus::kChecked;
}

void CheckPlanName(const char* path, FindingSink& sink) {
  // The same-window build's page suffix is the longer, so its limits are the
  // stricter of the two programs'.
  static_assert(kSameWindowBuild.LongestBaseName() <= kNewWindowBuild.LongestBaseName());
  PlanFileNames names;
  Finding f{};
  f.code = FindingCode::kPlanName;
  f.line = 1;
  f.column = 1;
  if (BaseNameLength(path) < 0) {
    SetMessage(f, "plotweave reads no plan for this name, which has no \".\" after its first byte; name "
                  "the plan NAME.lst");
  } else if (NamePlanFiles(path, kSameWindowBuild, &names) != PlanNameStatus::kNamed) {
    SetMessage(f, "plotweave refuses a path longer than %d bytes or a name longer than %d bytes before "
                  "its first \".\"; use a shorter one",
               kPathBuffer - 1, kSameWindowBuild.LongestBaseName());
  } else if (std::strcmp(names.plan, path) != 0) {
    SetMessage(f, "plotweave reads \"%s\" for this name, not this file; give the plan one \".\", "
                  "before \"lst\"",
               names.plan);
  } else {
    return;
  }
  sink.Report(f);
}

}  // namespace plotweave
