#pragma once

#include "file_io/file_io.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace services {

// The window services read and replace files through the file layer.
using file_io::FileContent;
using file_io::WriteFailure;

// Everything the debugger's commands need from the window system, in standard types.
class DebuggerServices {
public:
  virtual ~DebuggerServices() = default;

  // The standard save dialog, with `suggested` as the name; nothing when cancelled.
  [[nodiscard]] virtual std::optional<std::string> ChooseSaveFile(const std::string& title,
                                                                  const std::string& suggested) = 0;
  // Replaces the file at `path` with `bytes`; the reason when it cannot.
  [[nodiscard]] virtual std::optional<std::string> WriteFile(const std::string& path,
                                                             std::string_view bytes) = 0;
  // The standard open dialog for a program (source or image); nothing when cancelled.
  [[nodiscard]] virtual std::optional<std::string> ChooseProgram() = 0;
  // The open dialog for a board file; nothing when cancelled.
  [[nodiscard]] virtual std::optional<std::string> ChooseBoardFile() = 0;
  [[nodiscard]] virtual FileContent ReadFile(const std::string& path) = 0;
  // A modal message with the critical icon and a single OK button.
  virtual void ShowError(std::string_view text) = 0;
  // Asks whether to load again a file that changed on disk.
  [[nodiscard]] virtual bool AskReload(const std::string& path) = 0;
  // Watches `paths` (a program and the files it includes) for changes on disk, in place of any
  // files watched before.
  virtual void WatchFiles(const std::vector<std::string>& paths) = 0;
  // Seconds on a clock that only goes forward.
  [[nodiscard]] virtual double Now() = 0;
  // Remembered settings, such as the serial line of a file.
  [[nodiscard]] virtual std::optional<std::string> LoadSetting(const std::string& key) = 0;
  virtual void SaveSetting(const std::string& key, const std::string& value) = 0;
};

} // namespace services
