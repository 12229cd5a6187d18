// The README's "Parameters by build" tables against what this build lists
// and answers, so that the documentation cannot drift from the code.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/plugin_fixture.hpp"

namespace grabline {
namespace {

using tarvel::Value;
using testing::PluginTest;

// One table: the first column's name (without its backticks) and the cell of
// each build column, by build name.
using Table = std::map<std::string, std::map<std::string, std::string>>;

std::vector<std::string> Cells(std::string_view row) {
  std::vector<std::string> cells;
  row.remove_prefix(1);  // the leading '|'
  while (!row.empty()) {
    const size_t bar = row.find('|');
    std::string_view cell = row.substr(0, bar);
    while (!cell.empty() && cell.front() == ' ') cell.remove_prefix(1);
    while (!cell.empty() && cell.back() == ' ') cell.remove_suffix(1);
    if (cell.size() >= 2 && cell.front() == '`' && cell.back() == '`') {
      cell = cell.substr(1, cell.size() - 2);
    }
    cells.emplace_back(cell);
    if (bar == std::string_view::npos) break;
    row.remove_prefix(bar + 1);
    if (row.find_first_not_of(' ') == std::string_view::npos) break;
  }
  return cells;
}

// The table of the "Parameters by build" section whose header row starts
// with `first_header`; empty when there is none.
Table ReadTable(const std::string &first_header, std::string *error) {
  std::ifstream file(std::string(GRABLINE_SOURCE_DIR) + "/README.md");
  if (!file) {
    *error = "README.md not found";
    return {};
  }
  bool in_section = false;
  std::vector<std::string> columns;
  Table table;
  for (std::string line; std::getline(file, line);) {
    if (line.rfind("## ", 0) == 0) {
      in_section = line == "## Parameters by build";
      continue;
    }
    if (!in_section) continue;
    if (line.rfind("|", 0) != 0) {
      if (!columns.empty()) break;  // the end of our table
      continue;
    }
    std::vector<std::string> cells = Cells(line);
    if (columns.empty()) {
      if (!cells.empty() && cells[0] == first_header) columns = cells;
      continue;
    }
    if (cells.size() != columns.size()) {
      *error = "row with " + std::to_string(cells.size()) + " cells: " + line;
      return {};
    }
    if (cells[0].find_first_not_of('-') == std::string::npos) continue;  // the rule
    if (table.count(cells[0]) != 0) {
      *error = "row given twice: " + cells[0];
      return {};
    }
    for (size_t c = 1; c < cells.size(); ++c) table[cells[0]][columns[c]] = cells[c];
  }
  if (columns.empty()) *error = "no table headed '" + first_header + "'";
  return table;
}

class ReadmeFeatureTable : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    std::string error;
    listed_ = ReadTable("Listed name", &error);
    ASSERT_EQ(error, "");
    families_ = ReadTable("Name or family", &error);
    ASSERT_EQ(error, "");
    instance_ = OpenOk();
    ASSERT_NE(instance_, nullptr);
  }

  // A concrete name for a family: a number or a register of this build.
  static std::string Probe(std::string name) {
    const size_t at = name.find('%');
    if (at == std::string::npos) return name;
    const char kind = name.at(at + 1);
    const std::string filler = kind == 's'   ? bfsim::RegisterNames().at(kProfile.reg.lut_switch)
                               : kind == 'x' ? "10"
                                             : "0";
    return name.replace(at, 2, filler);
  }

  // "set", "get", "set, get" or "-", as the instance answers the name.
  std::string Directions(const std::string &name) {
    const bool set = instance_->SetParam(name, Value::Str("?")) != FG_ERR_UNSUPPORTED;
    std::vector<Value> values(8);
    const bool get = instance_->GetParam(name, &values) != FG_ERR_UNSUPPORTED;
    return set && get ? "set, get" : set ? "set" : get ? "get" : "-";
  }

  void CheckRows(bool quick_switch) {
    ASSERT_FALSE(families_.empty());
    for (const auto &[name, builds] : families_) {
      if ((name.rfind("quick_switch_", 0) == 0) != quick_switch) continue;
      ASSERT_EQ(builds.count(kProfile.name), 1u) << "no column for " << kProfile.name;
      EXPECT_EQ(Directions(Probe(name)), builds.at(kProfile.name)) << name;
    }
  }

  Table listed_;
  Table families_;
  tarvel::Instance *instance_ = nullptr;
};

TEST_F(ReadmeFeatureTable, ListsMatchTheInformationQueries) {
  struct List {
    int32_t kind;
    const char *letter;
  };
  for (const List list : {List{4, "P"}, List{13, "R"}, List{14, "W"}, List{22, "H"}}) {
    const auto info = plugin_->Query(list.kind);
    ASSERT_EQ(info.result, kOk);
    std::set<std::string> answered;
    for (const Value &value : info.values) answered.insert(value.s);
    EXPECT_EQ(answered.size(), info.values.size()) << "a name listed twice";
    std::set<std::string> documented;
    for (const auto &[name, builds] : listed_) {
      const std::string &cell = builds.at(kProfile.name);
      std::stringstream letters(cell);
      for (std::string letter; std::getline(letters, letter, ',');) {
        letter.erase(0, letter.find_first_not_of(' '));
        if (letter == list.letter) documented.insert(name);
      }
    }
    EXPECT_EQ(documented, answered) << "list " << list.letter;
  }
}

// Every family the lists name ("out:xx") has its row, with the same prefix.
TEST_F(ReadmeFeatureTable, ListedFamiliesHaveTheirRows) {
  for (const auto &[name, builds] : listed_) {
    const size_t colon = name.find(':');
    if (colon == std::string::npos) continue;
    const std::string prefix = name.substr(0, colon + 1);
    const bool found = std::any_of(families_.begin(), families_.end(), [&](const auto &row) {
      return row.first.rfind(prefix, 0) == 0;
    });
    EXPECT_TRUE(found) << name;
  }
}

TEST_F(ReadmeFeatureTable, FamiliesAnswerAsDocumented) { CheckRows(false); }

// Apart from the rest: the Quick Switch branches are routed with their own
// feature.
TEST_F(ReadmeFeatureTable, QuickSwitchNamesAnswerAsDocumented) { CheckRows(true); }

}  // namespace
}  // namespace grabline
