#include "cli/syntax.h"

#include "cli/command_line.h"
#include "file_io/file_io.h"

#include <chrono>
#include <cstdlib>
#include <ostream>

namespace cli {

namespace {

// Reads included files from the disk.
class DiskFiles final : public asl::FileReader {
public:
  Text Read(const std::string& path) override {
    file_io::FileContent content = file_io::ReadFile(path);
    Text text;
    if (content.error) {
      text.error = *content.error;
      text.missing = content.missing;
    } else {
      text.bytes = std::move(content.bytes);
    }
    return text;
  }
};

} // namespace

std::optional<Syntax> ParseSyntax(std::string_view name) {
  if (name == "classic") {
    return Syntax::Classic;
  }
  if (name == "asl") {
    return Syntax::Asl;
  }
  if (name == "auto") {
    return Syntax::Auto;
  }
  return std::nullopt;
}

Syntax ChooseSyntax(Syntax chosen, std::string_view source) {
  if (chosen != Syntax::Auto) {
    return chosen;
  }
  return asl::HasCpuDirective(source) ? Syntax::Asl : Syntax::Classic;
}

std::int64_t BuildTime() {
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch != nullptr && *epoch != '\0') {
    char* end = nullptr;
    const long long seconds = std::strtoll(epoch, &end, 10);
    if (*end == '\0') {
      return seconds;
    }
  }
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

asl::Outcome AssembleAsl(const std::string& path, const std::string& bytes,
                         const std::vector<std::string>& includeFolders, bool listing) {
  DiskFiles files;
  asl::Request request;
  // Standard input has no folder of its own: its includes are looked for in the current one.
  request.path = path == kStandardStream ? InputName(path) : path;
  request.text = bytes;
  request.includeFolders = includeFolders;
  request.files = &files;
  request.time = BuildTime();
  request.listing = listing;
  return asl::Assemble(request);
}

bool ReportAsl(const asl::Outcome& outcome, std::ostream& err) {
  for (const asl::Diagnostic& diagnostic : outcome.diagnostics) {
    err << asl::DiagnosticText(diagnostic);
  }
  return outcome.ok;
}

} // namespace cli
