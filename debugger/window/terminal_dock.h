#pragma once

#include "debugger/session.h"
#include "debugger/window/widgets.h"

#include <QWidget>

#include <string>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace debugger {

// The serial terminal dock: the serial line's settings, and a terminal that shows what the
// program sends and sends every key typed in it to the program's serial input.
class TerminalDock final : public QWidget {
public:
  TerminalDock(QWidget* parent, DebuggerCommands& commands, Act act);

  // Shows the serial line of `session`; the settings can be changed only without a board.
  void ShowSettings(const Session& session);
  // Appends what the program sent.
  void Append(const std::string& output);
  void Clear();
  // Whether the user keeps the text when the machine is reset or another file opened.
  [[nodiscard]] bool KeepsText() const;

private:
  void Apply();

  Act act_;
  QPlainTextEdit* terminal_ = nullptr;
  QWidget* settings_ = nullptr;
  QCheckBox* on_ = nullptr;
  QLineEdit* pin_ = nullptr;
  QLineEdit* format_ = nullptr;
  QSpinBox* baud_ = nullptr;
  QCheckBox* receive_ = nullptr;
  QCheckBox* invertTransmit_ = nullptr;
  QCheckBox* invertReceive_ = nullptr;
  QCheckBox* keep_ = nullptr;
};

} // namespace debugger
