#include "asl_syntax/assembler.h"
#include "fuzz/checks.h"

#include <algorithm>
#include <map>

namespace fuzz {

namespace {

// The files an input holds: the main source, then "1.inc", "2.inc", ... after each NUL byte, so
// that includes, their nesting and their cycles are fuzzed too.
class InputFiles final : public asl::FileReader {
public:
  explicit InputFiles(std::string_view input) {
    int number = 0;
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = input.find('\0', start);
      const std::string_view part = input.substr(start, end - start);
      if (number == 0) {
        main = part;
      } else {
        files_.emplace(std::to_string(number) + ".inc", part);
      }
      if (end == std::string_view::npos) {
        break;
      }
      start = end + 1;
      ++number;
    }
  }
  Text Read(const std::string& path) override {
    Text text;
    const auto found = files_.find(path);
    if (found == files_.end()) {
      text.missing = true;
    } else {
      text.bytes = found->second;
    }
    return text;
  }
  std::string main;

private:
  std::map<std::string, std::string> files_;
};

// What a run gives, as text, for comparing two runs.
std::string Everything(const asl::Outcome& outcome) {
  std::string text(outcome.image.begin(), outcome.image.end());
  for (const bool written : outcome.written) {
    text += written ? '1' : '0';
  }
  for (const asl::Diagnostic& diagnostic : outcome.diagnostics) {
    text += asl::DiagnosticText(diagnostic);
  }
  return text + asl::ListingText(outcome);
}

} // namespace

std::string CheckAslSource(std::string_view input) {
  InputFiles files(input);
  const asl::Request request{"main.asm", files.main, {}, &files, 0};
  const asl::Outcome first = asl::Assemble(request);
  const bool hasError =
      std::any_of(first.diagnostics.begin(), first.diagnostics.end(),
                  [](const auto& d) { return d.kind == asl::Diagnostic::Kind::Error; });
  if (first.ok == hasError) {
    return first.ok ? "an accepted source has an error" : "a refused source has no error";
  }
  if (first.passes < 1 || first.passes > asl::kMostPasses) {
    return "the passes are not bounded";
  }
  const std::size_t memory = first.cpu4040 ? 0x2000 : 0x1000;
  if (first.ok && first.image.size() > memory) {
    return "the image is larger than the processor's program memory";
  }
  if (first.written.size() != first.image.size()) {
    return "the written bytes do not match the image";
  }
  for (std::size_t address = 0; address < first.image.size(); ++address) {
    if (!first.written[address] && first.image[address] != 0xFF) {
      return "a gap in the image is not FF";
    }
  }
  if (!first.image.empty() && !first.written.back()) {
    return "the image goes past the last byte written";
  }
  for (const asl::ListingRow& row : first.rows) {
    if (row.address >= 0 && static_cast<std::size_t>(row.address) + row.bytes.size() > memory) {
      if (first.ok) {
        return "a listed byte lies outside the program memory";
      }
    }
  }
  // The same source assembles the same way again: nothing is left over from the first run.
  if (Everything(asl::Assemble(request)) != Everything(first)) {
    return "two assemblies of the same source differ";
  }
  return {};
}

} // namespace fuzz
