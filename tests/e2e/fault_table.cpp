#include "fault_table.h"

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

}  // namespace e2e
