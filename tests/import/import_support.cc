#include "tests/import/import_support.h"

#include "tests/support/test_support.h"

namespace plotweave {

namespace {

ProgramRun Run(const char* program, const std::string& dir, const std::vector<std::string>& args) {
  ProgramRun run;
  run.out = testing::RunProgram(program, dir, args, &run.status);
  run.status = testing::ExitCode(run.status);
  return run;
}

}  // namespace

std::string WriteTable(const Table& table, char delimiter, const char* lineEnd) {
  std::string out;
  for (const auto& row : table) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i > 0) out += delimiter;
      const std::string& cell = row[i];
      if (cell.find_first_of(std::string("\"\r\n") + delimiter) == std::string::npos) {
        out += cell;
        continue;
      }
      out += '"';
      for (char c : cell) out += c == '"' ? std::string("\"\"") : std::string(1, c);
      out += '"';
    }
    out += lineEnd;
  }
  return out;
}

ProgramRun RunImport(const std::string& dir, const std::vector<std::string>& args) {
  return Run(PLOTWEAVE_IMPORT_PROGRAM, dir, args);
}

ProgramRun RunCheckProgram(const std::string& dir, const std::vector<std::string>& args) {
  return Run(PLOTWEAVE_CHECK_PROGRAM, dir, args);
}

ProgramRun RunExport(const std::string& dir, const std::vector<std::string>& args) {
  return Run(PLOTWEAVE_EXPORT_PROGRAM, dir, args);
}

ProgramRun RunPlotweave(const std::string& dir, const std::string& plan) {
  return Run(PLOTWEAVE_NEW_WINDOW_PROGRAM, dir, {plan});
}

}  // namespace plotweave
