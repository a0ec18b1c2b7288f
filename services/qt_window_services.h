#pragma once

#include "services/window_services.h"

class QPlainTextEdit;
class QWidget;

namespace services {

// The window services on Qt widgets: QPlainTextEdit text areas, QMessageBox, QFileDialog, the
// file layer for reading and replacing files, and ISO-8859-1 as the single-byte code page.
class QtWindowServices final : public WindowServices {
public:
  // `window` is the parent of the dialogs and message boxes.
  QtWindowServices(QWidget* window, QPlainTextEdit* source, QPlainTextEdit* listing);

  [[nodiscard]] std::string GetText(TextArea area) override;
  void SetText(TextArea area, std::string_view text) override;
  void SetSourceFocus() override;
  void SetSourceSelection(std::size_t start, std::size_t length) override;
  [[nodiscard]] bool SourceChanged() override;
  void MarkSourceUnchanged() override;
  void ShowMessage(std::string_view prompt, std::string_view title) override;
  [[nodiscard]] SaveChoice AskSaveChanges() override;
  [[nodiscard]] bool AskReplace(const std::string& path) override;
  [[nodiscard]] std::optional<std::string> ShowOpen() override;
  [[nodiscard]] std::optional<std::string> ShowSave() override;
  [[nodiscard]] FileContent ReadFile(const std::string& path) override;
  [[nodiscard]] bool Exists(const std::string& path) override;
  [[nodiscard]] bool SameFile(const std::string& a, const std::string& b) override;
  [[nodiscard]] std::optional<WriteFailure> ReplaceFile(const std::string& path,
                                                        std::string_view bytes) override;
  [[nodiscard]] std::string DecodeText(std::string_view bytes) override;
  [[nodiscard]] EncodedText EncodeText(std::string_view text) override;

private:
  QPlainTextEdit* Area(TextArea area) const;

  QWidget* window_;
  QPlainTextEdit* source_;
  QPlainTextEdit* listing_;
};

} // namespace services
