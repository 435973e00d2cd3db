#include "splitter/write/xref.h"

#include <algorithm>
#include <cstdio>

namespace pagerift::splitter {

std::string xref_stream_data(const XrefRows& rows, int& w1, int& w2) {
  auto width = [](std::uint64_t max) {
    int w = 1;
    while (max >>= 8) ++w;
    return w;
  };
  std::uint64_t max1 = rows.size(), max2 = 0;
  for (auto& row : rows) {
    max1 = std::max(max1, row[1]);
    if (row[0] == 2) max2 = std::max(max2, row[2] + 1);  // the count of the stream's objects
  }
  w1 = width(max1);
  w2 = std::max(2, width(max2));
  std::string data(rows.size() * static_cast<std::size_t>(1 + w1 + w2), '\0');
  char* at = data.data();
  for (auto& row : rows) {
    *at++ = static_cast<char>(row[0]);
    for (int b = w1 - 1; b >= 0; --b) *at++ = static_cast<char>((row[1] >> (8 * b)) & 0xff);
    for (int b = w2 - 1; b >= 0; --b) *at++ = static_cast<char>((row[2] >> (8 * b)) & 0xff);
  }
  return data;
}

std::string xref_table(const std::vector<std::uint64_t>& offsets) {
  std::string table = "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
  char row[24];
  for (std::uint64_t offset : offsets) {
    std::snprintf(row, sizeof row, "%010llu 00000 %c \n", static_cast<unsigned long long>(offset),
                  offset ? 'n' : 'f');
    table += row;
  }
  return table;
}

}  // namespace pagerift::splitter
