// Helpers of the import's tests: tables written as spreadsheets write them,
// and runs of the programs.
#pragma once

#include <string>
#include <vector>

namespace plotweave {

using Table = std::vector<std::vector<std::string>>;

// RFC 4180: cells quoted where they hold the delimiter, a quote or a line
// end, rows ended by `lineEnd`.
std::string WriteTable(const Table& table, char delimiter = ',', const char* lineEnd = "\r\n");

struct ProgramRun {
  std::string out;  // standard output
  int status;       // exit status
};

// Runs one of the programs in `dir`.
ProgramRun RunImport(const std::string& dir, const std::vector<std::string>& args);
ProgramRun RunCheckProgram(const std::string& dir, const std::vector<std::string>& args);
ProgramRun RunExport(const std::string& dir, const std::vector<std::string>& args);
ProgramRun RunPlotweave(const std::string& dir, const std::string& plan);

}  // namespace plotweave
