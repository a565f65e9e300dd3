#pragma once

// The README's tables of what the suites check (faults, kills, threats).
// The rows come from the cases' own expectations, and a test compares them
// with the README, so a table cannot drift from what its suite checks.

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

// Fails the test unless the README holds `generated` between the markers
// "<!-- <what>: generated from <source> -->" and "<!-- end of <what> -->",
// and says what to put there.
void ExpectReadmeSection(const std::string& what, const std::string& source, const std::string& generated);

}  // namespace e2e
