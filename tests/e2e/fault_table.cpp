#include "fault_table.h"

#include <gtest/gtest.h>

#include "installation.h"

namespace e2e {
namespace {

std::string Row(const std::vector<std::string>& cells) {
  std::string line = "|";
  for (const std::string& cell : cells) line += " " + cell + " |";
  return line + "\n";
}

}  // namespace

std::string FaultTableMarkdown(const FaultTable& table) {
  std::string text = Row(table.header);
  text += "|";
  for (std::size_t i = 0; i < table.header.size(); ++i) text += "---|";
  text += "\n";
  for (const FaultRow& row : table.rows) {
    std::vector<std::string> cells{row.fault};
    cells.insert(cells.end(), row.cells.begin(), row.cells.end());
    text += Row(cells);
  }
  return text;
}

void ExpectReadmeSection(const std::string& what, const std::string& source, const std::string& generated) {
  const std::string readme = test::ReadFileContent(FromUnixPath(SETUP_README));
  const std::string begin = "<!-- " + what + ": generated from " + source + " -->\n";
  const std::string end = "<!-- end of " + what + " -->";
  const std::size_t from = readme.find(begin);
  const std::size_t to = readme.find(end);
  ASSERT_NE(from, std::string::npos) << "README.md has no " << what << ". Put this there, between " << begin << " and "
                                     << end << ":\n"
                                     << generated;
  ASSERT_NE(to, std::string::npos);
  EXPECT_EQ(readme.substr(from + begin.size(), to - from - begin.size()), generated)
      << "Put this between the markers in README.md:\n"
      << generated;
}

}  // namespace e2e
