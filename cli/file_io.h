#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace cli {

// The whole content of a file, or the reason it could not be read.
struct FileContent {
  std::string bytes;
  std::optional<std::string> error;
};

[[nodiscard]] FileContent ReadFile(const std::filesystem::path& path);

// Replaces `target` with `bytes` atomically: the bytes go to a temporary file in the target's
// folder, which is renamed over the target only once everything is written and flushed. On
// failure the temporary file is removed, the target is left as it was, and the reason is
// returned. A new file gets the usual permissions; an existing one keeps its own.
[[nodiscard]] std::optional<std::string> ReplaceFile(const std::filesystem::path& target,
                                                     std::string_view bytes);

} // namespace cli
