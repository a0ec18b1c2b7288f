#include "services/qt_debugger_services.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMessageBox>
#include <QSettings>

namespace services {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QtDebuggerServices::QtDebuggerServices(QWidget* window, QFileSystemWatcher* watcher)
    : window_(window), watcher_(watcher) {
  clock_.start();
}

std::optional<std::string> QtDebuggerServices::ChooseProgram() {
  QFileDialog dialog(window_, QStringLiteral("Open a program"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QStringLiteral("4004 programs (*.asm *.s *.src *.txt *.bin *.rom *.img)"),
                         QStringLiteral("Sources (*.asm *.s *.src *.txt)"),
                         QStringLiteral("Images (*.bin *.rom *.img)"),
                         QStringLiteral("All files (*)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return dialog.selectedFiles().constFirst().toStdString();
}

std::optional<std::string> QtDebuggerServices::ChooseBoardFile() {
  QFileDialog dialog(window_, QStringLiteral("Open a board file"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QStringLiteral("Board files (*.json)"), QStringLiteral("All files (*)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return dialog.selectedFiles().constFirst().toStdString();
}

FileContent QtDebuggerServices::ReadFile(const std::string& path) {
  return file_io::ReadFile(path);
}

std::optional<std::string> QtDebuggerServices::ChooseSaveFile(const std::string& title,
                                                              const std::string& suggested) {
  QFileDialog dialog(window_, FromUtf8(title));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.selectFile(FromUtf8(suggested));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return dialog.selectedFiles().constFirst().toStdString();
}

std::optional<std::string> QtDebuggerServices::WriteFile(const std::string& path,
                                                         std::string_view bytes) {
  if (const auto failure = file_io::ReplaceFile(path, bytes)) {
    return failure->reason;
  }
  return std::nullopt;
}

void QtDebuggerServices::ShowError(std::string_view text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Brindlewick Debugger"), FromUtf8(text),
                  QMessageBox::Ok, window_);
  box.exec();
}

bool QtDebuggerServices::AskReload(const std::string& path) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Brindlewick Debugger"),
                  QStringLiteral("\"%1\" has changed on disk. Load it again? The breakpoints stay "
                                 "on their lines.")
                      .arg(QString::fromStdString(path)),
                  QMessageBox::Yes | QMessageBox::No, window_);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

void QtDebuggerServices::WatchFiles(const std::vector<std::string>& paths) {
  wanted_ = paths;
  if (!watcher_->files().isEmpty()) {
    watcher_->removePaths(watcher_->files());
  }
  if (!watcher_->directories().isEmpty()) {
    watcher_->removePaths(watcher_->directories());
  }
  // A file that an editor removes and writes anew drops out of the watch: its folder is watched
  // too, to see it come back.
  for (const std::string& path : paths) {
    const QString file = QString::fromStdString(path);
    if (QFileInfo::exists(file)) {
      watcher_->addPath(file);
    }
    const QString folder = QFileInfo(file).absolutePath();
    if (!watcher_->directories().contains(folder)) {
      watcher_->addPath(folder);
    }
  }
}

bool QtDebuggerServices::RewatchReturned() {
  bool returned = false;
  for (const std::string& path : wanted_) {
    const QString file = QString::fromStdString(path);
    if (QFileInfo::exists(file) && !watcher_->files().contains(file)) {
      watcher_->addPath(file);
      returned = true;
    }
  }
  return returned;
}

double QtDebuggerServices::Now() { return static_cast<double>(clock_.nsecsElapsed()) * 1e-9; }

std::optional<std::string> QtDebuggerServices::LoadSetting(const std::string& key) {
  const QVariant value = QSettings().value(QString::fromStdString(key));
  if (!value.isValid()) {
    return std::nullopt;
  }
  return value.toString().toStdString();
}

void QtDebuggerServices::SaveSetting(const std::string& key, const std::string& value) {
  QSettings().setValue(QString::fromStdString(key), QString::fromStdString(value));
}

} // namespace services
