#pragma once

// The faults the fault suite runs, as the README's "What happens when…"
// table shows them. The rows come from the cases' own expectations, and a
// test compares them with the README, so the table cannot drift from what
// the suite checks.

#include <string>
#include <vector>

namespace e2e {

struct FaultRow {
  std::string fault;
  std::vector<std::string> cells;  // the answer, column by column
};

struct FaultTable {
  std::vector<std::string> header;  // "Fault" first
  std::vector<FaultRow> rows;
};

// The table in Markdown, one line per row, each ending with '\n'.
std::string FaultTableMarkdown(const FaultTable& table);

}  // namespace e2e
