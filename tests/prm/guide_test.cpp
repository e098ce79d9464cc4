// The user guide describes the parameter table: every parameter once, in the
// table of its own section, with the table's default; no row for a
// parameter the table does not have.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "../support/support.h"
#include "prm/prm.h"

namespace {

struct Row {
  std::string section, deflt;
  int count = 0;
};

// The parameter rows of the guide's section tables, by name. A heading that
// ends in "(section `*x`)" opens the table of *x; any other heading closes it.
std::map<std::string, Row> GuideRows(const std::string& text) {
  static const std::regex heading(R"(^#+ .*\(section `(\*.)`\)\s*$)");
  static const std::regex row(R"(^\| `([a-z0-9]{2})` \|[^|]*\| ([^|]*) \|)");
  static const std::regex code("`([^`]*)`");
  std::map<std::string, Row> rows;
  std::string section;
  std::istringstream in(text);
  std::smatch m;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("#", 0) == 0) section = std::regex_match(line, m, heading) ? m[1].str() : "";
    if (section.empty() || !std::regex_search(line, m, row)) continue;
    Row& r = rows[m[1]];
    r.section = section;
    r.count++;
    const std::string cell = m[2];
    std::smatch d;
    r.deflt = std::regex_search(cell, d, code) ? d[1].str() : cell;
  }
  return rows;
}

TEST(Guide, ListsEveryParameterOfTheTableWithItsSectionAndDefault) {
  const std::string text = zt::ReadFile(zt::TestsDir() + "/../docs/guide.md");
  ASSERT_FALSE(text.empty()) << "docs/guide.md not found";
  std::map<std::string, Row> rows = GuideRows(text);
  std::string section;
  int parameters = 0;
  for (const PrmRecord* r = PrmTable; !r->IsEnd(); r++) {
    if (r->IsSection()) {
      section = r->name;
      continue;
    }
    parameters++;
    auto it = rows.find(r->name);
    if (it == rows.end()) {
      ADD_FAILURE() << r->name << " of " << section << " is missing from the guide";
      continue;
    }
    EXPECT_EQ(it->second.count, 1) << r->name;
    EXPECT_EQ(it->second.section, section) << r->name;
    EXPECT_EQ(it->second.deflt, *r->deflt ? r->deflt : "empty") << r->name;
    rows.erase(it);
  }
  EXPECT_EQ(parameters, 112);
  for (const auto& [name, row] : rows)
    ADD_FAILURE() << name << " in the guide's table of " << row.section << " is no parameter";
}

// zirmet's situations add up to the hours it used, which the weather
// example's README gives: the guide says so with that number and claims no
// year for them.
TEST(Guide, StatesTheHoursThatZirmetsSituationsAddUpTo) {
  const std::string guide = zt::ReadFile(zt::TestsDir() + "/../docs/guide.md");
  const std::string example = zt::ReadFile(zt::TestsDir() + "/../examples/weather/README.md");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(example, m, std::regex(R"(add up to the (\d+) hours used)")));
  EXPECT_NE(guide.find(m[1].str() + " h"), std::string::npos) << m[1];
  EXPECT_FALSE(std::regex_search(guide, std::regex(R"(zirmet's situations do\))")));
}

// The scripts build with as many jobs as the machine has cores, or with
// ZIR_JOBS, which the README documents.
TEST(Guide, ScriptsBuildWithAJobPerCoreOrZirJobs) {
  const std::string root = zt::TestsDir() + "/../";
  for (const char* script : {"scripts/demo.sh", "scripts/test.sh"}) {
    const std::string text = zt::ReadFile(root + script);
    ASSERT_FALSE(text.empty()) << script;
    EXPECT_NE(text.find(R"(jobs="${ZIR_JOBS:-$(nproc)}")"), std::string::npos) << script;
    std::istringstream in(text);
    int builds = 0;
    for (std::string line; std::getline(in, line);)
      if (line.find("cmake --build") != std::string::npos) {
        builds++;
        EXPECT_NE(line.find(R"(-j "$jobs")"), std::string::npos) << script << ": " << line;
      }
    EXPECT_GT(builds, 0) << script;
  }
  EXPECT_NE(zt::ReadFile(root + "README.md").find("ZIR_JOBS"), std::string::npos);
}

}  // namespace
