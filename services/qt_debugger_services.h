#pragma once

#include "services/debugger_services.h"

#include <QElapsedTimer>

class QFileSystemWatcher;
class QWidget;

namespace services {

// The debugger's services on Qt: QFileDialog, QMessageBox, QFileSystemWatcher and QSettings,
// and the file layer for reading.
class QtDebuggerServices final : public DebuggerServices {
public:
  // `window` is the parent of the dialogs; `watcher` tells the window of changed files.
  QtDebuggerServices(QWidget* window, QFileSystemWatcher* watcher);

  [[nodiscard]] std::optional<std::string> ChooseProgram() override;
  [[nodiscard]] std::optional<std::string> ChooseBoardFile() override;
  [[nodiscard]] FileContent ReadFile(const std::string& path) override;
  [[nodiscard]] std::optional<std::string> ChooseSaveFile(const std::string& title,
                                                          const std::string& suggested) override;
  [[nodiscard]] std::optional<std::string> WriteFile(const std::string& path,
                                                     std::string_view bytes) override;
  void ShowError(std::string_view text) override;
  [[nodiscard]] bool AskReload(const std::string& path) override;
  void WatchFiles(const std::vector<std::string>& paths) override;
  // After a change in a watched folder: watches again each file that had gone from the disk and
  // is back. Returns true when one came back, which counts as a change of the file.
  bool RewatchReturned();
  [[nodiscard]] double Now() override;
  [[nodiscard]] std::optional<std::string> LoadSetting(const std::string& key) override;
  void SaveSetting(const std::string& key, const std::string& value) override;

private:
  std::vector<std::string> wanted_; // the files to watch, whether they are on the disk now or not
  QWidget* window_;
  QFileSystemWatcher* watcher_;
  QElapsedTimer clock_;
};

} // namespace services
