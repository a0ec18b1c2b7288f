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
  // The window is about to close: with unsaved changes in the source area, asks whether to save
  // them. Returns false when the window is to stay open (Cancel, or a save that did not happen).
  [[nodiscard]] bool Form_QueryUnload();
  // "Open": loads a file chosen in the open dialog into the source area.
  void Command1_Click();
  // Loads the file at `path` into the source area, as "Open" does after its dialog.
  void OpenFile(const std::string& path);
  // "Assemble": assembles the source area into the program store and the listing area.
  void Command2_Click();
  // "Save": writes the source area to a file chosen in the save dialog.
  void Command3_Click();
  // "Save binary file": writes the last assembled program's image to a chosen file.
  void Command4_Click();

private:
  // Replaces the file with `bytes`; a failure is shown, and the old file stays as it was.
  // Returns true when the file was written.
  bool WriteFile(const std::string& path, std::string_view bytes);
  // Whether `path` may be written: a file other than `own` that exists is replaced only when
  // the user says so.
  bool MayReplace(const std::string& path, const std::string& own);
  // "Save" with its dialog; returns true when the source was written.
  bool SaveSource();

  services::WindowServices& services_;
  std::unique_ptr<assembly::ProgramStore> store_;
  // True when the last "Assemble" completed without an error and no file was opened since, so
  // the store holds the window's program whose image may be saved.
  bool assembled_ = false;
  // The source file this window last opened or saved, and the image file it last saved: each is
  // replaced without a question.
  std::string sourceFile_;
  std::string imageFile_;
};

} // namespace window
