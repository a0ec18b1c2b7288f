#include "fuzz/checks.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

using Check = std::function<std::string(std::string_view)>;

const std::map<std::string, Check>& Targets() {
  static const std::map<std::string, Check> targets = {
      {"parse_line", [](std::string_view input) { return fuzz::CheckParseLine(input); }},
      {"assembly",
       [](std::string_view input) { return fuzz::CheckAssembly(fuzz::ExpandInput(input)); }},
      {"file_bytes",
       [](std::string_view input) { return fuzz::CheckFileBytes(fuzz::ExpandInput(input)); }},
      {"disassembly",
       [](std::string_view input) {
         return fuzz::CheckDisassembly(std::span<const std::uint8_t>(
             reinterpret_cast<const std::uint8_t*>(input.data()), input.size()));
       }},
      {"simulation",
       [](std::string_view input) {
         return fuzz::CheckSimulation(std::span<const std::uint8_t>(
             reinterpret_cast<const std::uint8_t*>(input.data()), input.size()));
       }},
      {"board_file", [](std::string_view input) { return fuzz::CheckBoardFile(input); }},
      {"asl", [](std::string_view input) { return fuzz::CheckAslSource(input); }},
  };
  return targets;
}

// Every input that ever broke an invariant keeps passing its target's checks.
TEST(FuzzRegressions, KeptInputsPassTheirChecks) {
  const fs::path root = fs::path(BRINDLEWICK_SOURCE_DIR) / "tests" / "fuzz_regressions";
  for (const auto& [target, check] : Targets()) {
    if (!fs::is_directory(root / target)) {
      continue;
    }
    for (const auto& entry : fs::directory_iterator(root / target)) {
      SCOPED_TRACE(entry.path().string());
      EXPECT_EQ(check(ReadFileBytes(entry.path())), "");
    }
  }
}

// The seeds pass every check as sources, as file bytes, and as images.
TEST(FuzzRegressions, SeedsPassEveryCheck) {
  const fs::path source = BRINDLEWICK_SOURCE_DIR;
  int seeds = 0;
  for (const fs::path& folder :
       {source / "examples", source / "fuzz" / "seeds", source / "boards"}) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (folder.filename() == "boards" && entry.path().extension() != ".json") {
        continue;
      }
      const std::string bytes = ReadFileBytes(entry.path());
      for (const auto& [target, check] : Targets()) {
        SCOPED_TRACE(target + " " + entry.path().string());
        EXPECT_EQ(check(bytes), "");
      }
      ++seeds;
    }
  }
  EXPECT_GE(seeds, 5);
}

// Where the checks draw their lines: the largest images, and how inputs grow.
TEST(FuzzRegressions, ImageLimitsAndInputExpansion) {
  // Every image of up to 4096 bytes is a program; a larger one is refused.
  EXPECT_EQ(fuzz::CheckDisassembly(std::vector<std::uint8_t>(4096, 0xFF)), "");
  EXPECT_EQ(fuzz::CheckDisassembly(std::vector<std::uint8_t>(4097, 0xFF)), "");
  EXPECT_EQ(fuzz::ExpandInput("\xC0NOP\n").size(), 4u * 160u);
  EXPECT_EQ(fuzz::ExpandInput("NOP\n"), "NOP\n");
  EXPECT_LE(fuzz::ExpandInput("\xFF" + std::string(1000, 'x')).size(), 32768u);
  // Short inputs reach both limits: 4097 one-byte instructions, 8193 labels.
  EXPECT_EQ(fuzz::ExpandInput("\xFFNOP\n").size(), 4u * 8192u);
  EXPECT_EQ(fuzz::ExpandInput("\xFFX:\n").size(), 3u * 10240u);
}

} // namespace
