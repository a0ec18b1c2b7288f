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
  void ShowError(std::string_view text) override;
  [[nodiscard]] bool AskReload(const std::string& path) override;
  void WatchFiles(const std::vector<std::string>& paths) override;
  [[nodiscard]] double Now() override;
  [[nodiscard]] std::optional<std::string> LoadSetting(const std::string& key) override;
  void SaveSetting(const std::string& key, const std::string& value) override;

private:
  QWidget* window_;
  QFileSystemWatcher* watcher_;
  QElapsedTimer clock_;
};

} // namespace services
