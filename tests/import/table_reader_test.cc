// Tables as spreadsheet programs write them, read back cell for cell.
#include "import/table_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "check/cp949.h"
#include "check/utf8.h"
#include "kscode/kscode.h"
#include "tests/import/import_support.h"

namespace plotweave {
namespace {

std::vector<std::vector<std::string>> ReadAll(const std::string& bytes, TableEncoding encoding, char delimiter,
                                              char* detected = nullptr) {
  MemorySource source(bytes.data(), bytes.size());
  TableReader reader(source, encoding, delimiter);
  static TableRow row;
  Table table;
  while (reader.Next(&row)) {
    std::vector<std::string> cells;
    for (int i = 0; i < row.count; ++i) {
      EXPECT_EQ(row.cells[i].badByteAt, -1) << "row " << row.row << " cell " << i;
      cells.emplace_back(row.cells[i].text, row.cells[i].length);
    }
    EXPECT_EQ(row.row, static_cast<long>(table.size()) + 1);
    table.push_back(cells);
  }
  if (detected != nullptr) *detected = reader.delimiter();
  return table;
}

// CP949 of UTF-8 text: KS codes, and the extension codes found by decoding.
std::string ToCp949(const std::string& utf8) {
  static std::map<unsigned long, std::string> extension;
  if (extension.empty()) {
    for (int lead = 0x81; lead <= 0xC6; ++lead) {
      for (int trail = 0x41; trail <= 0xFE; ++trail) {
        if (!IsCp949Extension(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail))) continue;
        extension[Cp949ToUnicode(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail))] =
            std::string{static_cast<char>(lead), static_cast<char>(trail)};
      }
    }
  }
  std::string out;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  for (size_t i = 0; i < utf8.size();) {
    unsigned long cp;
    const size_t n = DecodeUtf8(p + i, utf8.size() - i, &cp);
    uint8_t lead, trail;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (UnicodeToKs(static_cast<uint16_t>(cp), &lead, &trail)) {
      out += static_cast<char>(lead);
      out += static_cast<char>(trail);
    } else {
      out += extension.at(cp);
    }
    i += n;
  }
  return out;
}

TEST(TableReader, RandomTablesComeBackCellForCellInEveryFormSpreadsheetsSave) {
  // Pieces a cell is made of: the characters that need quoting, Hangul in
  // KS code and beyond it (똠, 뷁), other scripts, and (UTF-8 only) a
  // character beyond U+FFFF.
  const std::vector<std::string> common = {"a",  "Z",  " ",  ",",  ";", "\t", "\"", "\r\n", "\n",
                                           "가", "똠", "뷁", "漢", "·", "'",  "\\", "_"};
  std::mt19937 random(22);
  for (int round = 0; round < 300; ++round) {
    const bool cp949 = round % 3 == 2;
    const char delimiter = ",;\t"[round % 3];
    Table table;
    const int columns = 1 + static_cast<int>(random() % 6);
    const int rows = 1 + static_cast<int>(random() % 8);
    for (int r = 0; r < rows; ++r) {
      std::vector<std::string> row;
      for (int c = 0; c < columns; ++c) {
        std::string cell;
        const int pieces = static_cast<int>(random() % 6);
        for (int k = 0; k < pieces; ++k) cell += common[random() % common.size()];
        if (!cp949 && random() % 7 == 0) cell += "😀é";
        row.push_back(cell);
      }
      // A row of one empty cell would be a blank line, which no spreadsheet writes.
      if (columns == 1 && row[0].empty()) row[0] = "x";
      table.push_back(row);
    }
    // The header row decides the delimiter: give it one of each column.
    for (int c = 0; c < columns; ++c) table[0][c] = "h" + std::to_string(c);
    std::string bytes = WriteTable(table, delimiter, round % 2 == 0 ? "\r\n" : "\n");
    if (cp949) bytes = ToCp949(bytes);
    if (!cp949 && round % 4 == 1) bytes = "\xEF\xBB\xBF" + bytes;
    char detected = 0;
    const Table read =
        ReadAll(bytes, cp949 ? TableEncoding::kCp949 : TableEncoding::kUtf8, columns > 1 ? 0 : delimiter, &detected);
    ASSERT_EQ(read, table) << "round " << round;
    if (columns > 1) {
      EXPECT_EQ(detected, delimiter) << "round " << round;
    }
  }
}

TEST(TableReader, BytesOutsideTheEncodingAreMarkedAndNeverSwallowADelimiter) {
  MemorySource utf8(
      "a,b\xFF"
      "c,\xC3\r\n",
      9);
  TableReader reader(utf8, TableEncoding::kUtf8, 0);
  static TableRow row;
  ASSERT_TRUE(reader.Next(&row));
  ASSERT_EQ(row.count, 3);
  EXPECT_EQ(row.cells[0].badByteAt, -1);
  EXPECT_EQ(row.cells[1].badByteAt, 1);
  EXPECT_EQ(std::string(row.cells[1].text),
            "b\xEF\xBF\xBD"
            "c");
  EXPECT_EQ(row.cells[2].badByteAt, 0);
  EXPECT_FALSE(reader.Next(&row));
  // In CP949 a lead byte before an ASCII byte that is no trail leaves it be.
  MemorySource ansi("\xB0,x\n", 4);
  TableReader cp949(ansi, TableEncoding::kCp949, 0);
  ASSERT_TRUE(cp949.Next(&row));
  ASSERT_EQ(row.count, 2);
  EXPECT_EQ(row.cells[0].badByteAt, 0);
  EXPECT_EQ(std::string(row.cells[1].text), "x");
  // A UTF-8 byte-order mark outweighs --encoding cp949.
  MemorySource marked("\xEF\xBB\xBF\xEA\xB0\x80\n", 7);
  TableReader either(marked, TableEncoding::kCp949, 0);
  ASSERT_TRUE(either.Next(&row));
  EXPECT_EQ(std::string(row.cells[0].text), "가");
}

TEST(TableReader, LongCellsAndWideRowsAreKeptToTheirBuffers) {
  std::string bytes = std::string(3 * kCellWidth, 'x') + ",\"" + std::string(kCellWidth, 'y') + "\"";
  for (int i = 0; i < kTableColumns + 3; ++i) bytes += ",c";
  bytes += "\nnext\n";
  MemorySource source(bytes.data(), bytes.size());
  TableReader reader(source, TableEncoding::kUtf8, ',');
  static TableRow row;
  ASSERT_TRUE(reader.Next(&row));
  EXPECT_EQ(row.cells[0].length, kCellWidth - 1);
  EXPECT_EQ(row.cells[1].length, kCellWidth - 1);
  EXPECT_EQ(row.count, kTableColumns);
  EXPECT_EQ(row.dropped, 5);
  ASSERT_TRUE(reader.Next(&row));
  EXPECT_EQ(std::string(row.cells[0].text), "next");
  // A quote left open runs to the end, and says so.
  MemorySource open("a,\"b\nc\n", 7);
  TableReader unclosed(open, TableEncoding::kUtf8, ',');
  ASSERT_TRUE(unclosed.Next(&row));
  EXPECT_TRUE(row.openQuote);
  EXPECT_EQ(std::string(row.cells[1].text), "b\nc\n");
}

}  // namespace
}  // namespace plotweave
