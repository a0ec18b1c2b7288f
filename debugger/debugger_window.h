#pragma once

#include "debugger/commands.h"

#include <QMainWindow>

#include <array>
#include <bitset>
#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QCheckBox;
class QDockWidget;
class QPushButton;
class QComboBox;
class QDoubleSpinBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace services {
class QtDebuggerServices;
}

namespace debugger {

// The debugger window: the listing with breakpoints and the next instruction, and docks for the
// processor, the RAM, the ports, the serial terminal and, on a board that has them, its keyboard,
// switches, lamps and printer. A thin shell over DebuggerCommands: it
// passes the user's actions on and shows the commands' state.
class DebuggerWindow : public QMainWindow {
public:
  explicit DebuggerWindow(QWidget* parent = nullptr);
  ~DebuggerWindow() override;

  DebuggerCommands& commands() { return *commands_; }
  // Shows the commands' state; the window calls it after every action and, while a program
  // runs, at most 30 times a second.
  void Refresh();

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildActions();
  void BuildDocks();
  void RebuildListing();
  void ShowProcessor();
  void ShowMemory();
  void ShowPorts();
  void ShowSerialSettings();
  void ApplySerialSettings();
  void ShowRunning();
  void BuildBoardMenu();
  void RebuildBoardPanel();
  void ShowBoard();
  // Runs `action` on the commands, then shows what it did.
  template <typename Action> void Do(Action action);

  std::unique_ptr<QFileSystemWatcher> watcher_;
  std::unique_ptr<services::QtDebuggerServices> services_;
  std::unique_ptr<DebuggerCommands> commands_;
  QTimer* timer_ = nullptr;
  int shownVersion_ = -1;
  int highlightedRow_ = -1;
  std::bitset<simulate::kBanks * simulate::kBankSize> shownBreakpoints_;
  bool ramMarked_ = true; // some RAM cell is shown as changed

  QTableWidget* listing_ = nullptr;
  QAction* run_ = nullptr;
  QAction* stop_ = nullptr;
  QAction* realSpeed_ = nullptr;
  QComboBox* cpu_ = nullptr;
  QDoubleSpinBox* clock_ = nullptr;
  QCheckBox* test_ = nullptr;

  // The processor.
  std::vector<std::pair<QLabel*, QLabel*>> fields_; // name, value
  QTableWidget* registers_ = nullptr;
  QTableWidget* stack_ = nullptr;
  // The RAM and ports.
  QTableWidget* ram_ = nullptr;
  std::array<std::array<QLabel*, 4>, 16> romLamps_{};
  std::array<std::array<QCheckBox*, 4>, 16> romSwitches_{};
  std::array<std::array<QLabel*, 4>, 16> ramLamps_{};
  // The serial terminal.
  QPlainTextEdit* terminal_ = nullptr;
  QCheckBox* serialOn_ = nullptr;
  QLineEdit* serialPin_ = nullptr;
  QLineEdit* serialFormat_ = nullptr;
  QSpinBox* serialBaud_ = nullptr;
  QCheckBox* serialReceive_ = nullptr;
  QCheckBox* invertTransmit_ = nullptr;
  QCheckBox* invertReceive_ = nullptr;
  QWidget* serialSettings_ = nullptr;
  // The board's panel.
  QActionGroup* boardGroup_ = nullptr;
  std::vector<std::pair<std::string, QAction*>> boardActions_; // by board name
  QDockWidget* boardDock_ = nullptr;
  int shownBoardVersion_ = -1;
  std::vector<QPushButton*> keyButtons_;
  std::vector<QComboBox*> switchBoxes_;
  std::vector<QLabel*> boardLamps_;
  QPlainTextEdit* paper_ = nullptr;
  QLabel* printing_ = nullptr;
  std::size_t shownPaper_ = 0;
};

} // namespace debugger
