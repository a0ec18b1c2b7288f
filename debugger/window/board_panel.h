#pragma once

#include "debugger/session.h"
#include "debugger/window/widgets.h"

#include <QWidget>

#include <vector>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace debugger {

// The board's panel: its lamps, switches and keyboard, laid out as the board says, and the paper
// of its printer. Keys typed while it has the focus press the board's keys of the same name.
// Made for one board; a new board gets a new panel.
class BoardPanel final : public QWidget {
public:
  BoardPanel(QWidget* parent, DebuggerCommands& commands, Act act);

  // Whether `board` has anything for a panel to show.
  [[nodiscard]] static bool Shows(const boards::Board& board);
  void Show(const Session& session);

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  void AddLamps(const boards::Board& board);
  void AddSwitches(const boards::Board& board);
  void AddKeys(const boards::Board& board);
  void AddPaper();
  void ShowPaper(const Session& session);

  DebuggerCommands& commands_;
  Act act_;
  std::vector<QPushButton*> keyButtons_;
  std::vector<QComboBox*> switchBoxes_;
  std::vector<QLabel*> lamps_;
  QPlainTextEdit* paper_ = nullptr;
  QLabel* printing_ = nullptr;
  std::size_t shownPaper_ = 0;
};

} // namespace debugger
