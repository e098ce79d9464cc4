// End-to-end cases: each folder under tests/e2e/cases/ runs the program in a
// fresh temporary directory and compares exit code, standard output (and
// error) and every file the run leaves behind with the expected bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "support.h"

namespace fs = std::filesystem;

namespace {

fs::path CasesDir() { return fs::path(zt::TestsDir()) / "e2e" / "cases"; }

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  if (fs::exists(CasesDir()))
    for (const auto& e : fs::directory_iterator(CasesDir()))
      if (e.is_directory()) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool Updating() { return std::getenv("ZIR_E2E_UPDATE") != nullptr; }

// Times and the kernel that -v2 names (it depends on the processor) masked.
std::string Masked(const std::string& text) {
  static const std::regex isaRe("\nISA [^\n]*");
  return std::regex_replace(zt::MaskTimes(text), isaRe, "\nISA <ISA>");
}

// Binary data files are compared as they are; everything else masked.
std::string Normal(const std::string& name, const std::string& bytes) {
  if (name.size() > 5 && name.substr(name.size() - 5) == ".dmnb") return bytes;
  return Masked(bytes);
}

void Compare(const fs::path& expectedFile, const std::string& actual, const std::string& what) {
  if (Updating()) {
    fs::create_directories(expectedFile.parent_path());
    zt::WriteFile(expectedFile.string(), actual);
    return;
  }
  ASSERT_TRUE(fs::exists(expectedFile)) << "missing expected file " << expectedFile;
  EXPECT_EQ(zt::ReadFile(expectedFile.string()), actual) << what << " differs";
}

class E2E : public testing::TestWithParam<std::string> {};

TEST_P(E2E, Case) {
  fs::path dir = CasesDir() / GetParam();
  zt::TempDir tmp;
  std::set<std::string> inputs;
  if (fs::exists(dir / "in")) {
    for (const auto& e : fs::recursive_directory_iterator(dir / "in")) {
      fs::path rel = fs::relative(e.path(), dir / "in");
      if (e.is_directory()) {
        fs::create_directories(fs::path(tmp.path()) / rel);
      } else {
        fs::copy_file(e.path(), fs::path(tmp.path()) / rel);
        inputs.insert(rel.string());
      }
    }
  }
  std::vector<std::string> args{"."};
  if (fs::exists(dir / "args")) args = Lines(zt::ReadFile((dir / "args").string()));
  std::string input = zt::ReadFile((dir / "stdin").string());

  zt::RunResult r = zt::RunProgram(args, tmp.path(), input);

  fs::path exp = dir / "expected";
  if (Updating()) {
    fs::remove_all(exp);
    fs::create_directories(exp);
    zt::WriteFile((exp / "exit").string(), std::to_string(r.exitCode) + "\n");
  } else {
    EXPECT_EQ(std::stoi(zt::ReadFile((exp / "exit").string())), r.exitCode) << "exit code";
  }
  Compare(exp / "stdout", Masked(r.out), "standard output");
  if (fs::exists(exp / "stderr") || (Updating() && !r.err.empty()))
    Compare(exp / "stderr", Masked(r.err), "standard error");
  else
    EXPECT_EQ("", r.err) << "unexpected standard error";

  // Every file the run left behind must be expected, and every expected one written.
  std::set<std::string> written;
  for (const auto& e : fs::recursive_directory_iterator(tmp.path())) {
    if (!e.is_regular_file()) continue;
    std::string rel = fs::relative(e.path(), tmp.path()).string();
    if (!inputs.count(rel)) written.insert(rel);
  }
  for (const auto& name : written)
    Compare(exp / "files" / name, Normal(name, zt::ReadFile(tmp / name)), name);
  if (!Updating() && fs::exists(exp / "files"))
    for (const auto& e : fs::recursive_directory_iterator(exp / "files"))
      if (e.is_regular_file()) {
        std::string rel = fs::relative(e.path(), exp / "files").string();
        EXPECT_TRUE(written.count(rel)) << "expected file not written: " << rel;
      }
}

INSTANTIATE_TEST_SUITE_P(Cases, E2E, testing::ValuesIn(CaseNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string n = info.param;
                           std::replace_if(n.begin(), n.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                           return n;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(E2E);

}  // namespace
