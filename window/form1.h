#pragma once

#include "window/commands.h"

#include <QWidget>

#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace services {
class QtWindowServices;
}

namespace window {

// The program's only window: the source area, the listing area, a label above each, and the
// buttons "Open", "Save", "Assemble" and "Save binary file". Every control keeps the place it
// is given here; resizing the window moves nothing.
class Form1 : public QWidget {
public:
  explicit Form1(QWidget* parent = nullptr);
  ~Form1() override;

  // Opens `path` into the source area, as "Open" does after its dialog (the command line's FILE).
  void OpenFile(const std::string& path);

protected:
  // Closing with unsaved changes asks whether to save them first.
  void closeEvent(QCloseEvent* event) override;

private:
  QPlainTextEdit* Text1;
  QPlainTextEdit* Text3;
  QPushButton* Command1;
  QPushButton* Command2;
  QPushButton* Command3;
  QPushButton* Command4;
  QLabel* Label1;
  QLabel* Label3;
  std::unique_ptr<services::QtWindowServices> services_;
  std::unique_ptr<Form1Commands> commands_;
};

} // namespace window
