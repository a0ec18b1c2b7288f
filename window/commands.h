#pragma once

#include "assembly/program_store.h"
#include "services/window_services.h"

#include <memory>
#include <string>
#include <string_view>

namespace window {

// Title of every message the window shows.
inline constexpr std::string_view kErrorTitle = "Error";

// What the window's load event and its four buttons do. Everything reaches the window system
// through the services, so the commands run alike in the real window and under a test's fake.
class Form1Commands {
public:
  explicit Form1Commands(services::WindowServices& services);

  // Load of the window: fills the mnemonic table.
  void Form_Load();
  // "Open": loads a file chosen in the open dialog into the source area.
  void Command1_Click();
  // "Assemble": assembles the source area into the program store and the listing area.
  void Command2_Click();
  // "Save": writes the source area to a file chosen in the save dialog.
  void Command3_Click();
  // "Save binary file": writes the last assembled program's image to a chosen file.
  void Command4_Click();

private:
  // Replaces the file with `bytes`; a failure is shown, and the old file stays as it was.
  void WriteFile(const std::string& path, std::string_view bytes);

  services::WindowServices& services_;
  std::unique_ptr<assembly::ProgramStore> store_;
  // True when the last "Assemble" completed without an error, so the store holds a whole
  // program whose image may be saved.
  bool assembled_ = false;
};

} // namespace window
