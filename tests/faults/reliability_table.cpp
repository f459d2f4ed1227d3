// Collects the fault campaign's rows and checks or writes docs/reliability.md at the end.
#include "faults/reliability_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <utility>

namespace quillon::faults {
namespace {

struct Row {
  std::string expected, observed;
};
using Table = std::map<std::pair<std::string, std::string>, Row>;

Table& Rows() {
  static Table rows;
  return rows;
}

std::string Cell(std::string text) {
  for (size_t at = 0; (at = text.find('|', at)) != std::string::npos; at += 2) {
    text.replace(at, 1, "\\|");
  }
  return text;
}

std::string RowLine(const std::string& scenario, const Row& row) {
  return "| " + Cell(scenario) + " | " + Cell(row.expected) + " | " + Cell(row.observed) + " |";
}

std::string Document(const Table& rows) {
  std::ostringstream out;
  out << "# Reliability\n\n"
         "What Quillon does when printers, ports, disks and files misbehave. Every row is a\n"
         "test of `tests/faults/` against the virtual printer (USB on a fake clock, serial\n"
         "through a pseudo-terminal); the observed column is what the test saw. The test\n"
         "program fails when this file and its results differ: after a deliberate change run\n"
         "it with `QUILLON_WRITE_RELIABILITY=1` to rewrite the file.\n\n"
         "No row depends on how fast the machine is: each scenario waits on events (the\n"
         "virtual printer's packet count, the port's notifications, a held reply), never on a\n"
         "moment picked by the clock, and `scripts/test.sh --stress` runs the campaign three\n"
         "times beside two CPU-burning processes.\n";
  std::string area;
  for (const auto& [key, row] : rows) {
    if (key.first != area) {
      area = key.first;
      out << "\n## " << area << "\n\n| Scenario | Expected | Observed |\n|---|---|---|\n";
    }
    out << RowLine(key.second, row) << "\n";
  }
  return out.str();
}

// The committed table's rows, by line.
std::set<std::string> TableLines(const std::string& text) {
  std::set<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("| ", 0) == 0 && line != "| Scenario | Expected | Observed |") {
      lines.insert(line);
    }
  }
  return lines;
}

class ReliabilityDocument final : public ::testing::Environment {
 public:
  void TearDown() override {
    const Table& rows = Rows();
    if (rows.empty()) return;
    const char* write = std::getenv("QUILLON_WRITE_RELIABILITY");
    if (write && std::string(write) == "1") {
      std::ofstream(QUILLON_RELIABILITY_DOC, std::ios::binary) << Document(rows);
      return;
    }
    std::ifstream in(QUILLON_RELIABILITY_DOC, std::ios::binary);
    std::stringstream committed;
    committed << in.rdbuf();
    const std::set<std::string> lines = TableLines(committed.str());
    std::set<std::string> seen;
    for (const auto& [key, row] : rows) {
      const std::string line = RowLine(key.second, row);
      seen.insert(line);
      EXPECT_TRUE(lines.count(line)) << "docs/reliability.md lacks or differs in: " << line;
    }
    // A full run must also account for every row of the document.
    if (::testing::GTEST_FLAG(filter) == "*") {
      for (const std::string& line : lines) {
        EXPECT_TRUE(seen.count(line)) << "docs/reliability.md has a row no test observed: " << line;
      }
    }
  }
};

[[maybe_unused]] ::testing::Environment* const kDocument =
    ::testing::AddGlobalTestEnvironment(new ReliabilityDocument);

}  // namespace

void Record(const std::string& area, const std::string& scenario, const std::string& expected,
            const std::string& observed) {
  Rows()[{area, scenario}] = Row{expected, observed};
}

}  // namespace quillon::faults
