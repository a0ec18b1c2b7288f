#pragma once

#include "debugger/commands.h"

#include <QMainWindow>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QDockWidget;
class QDoubleSpinBox;
class QFileSystemWatcher;
class QScrollArea;
class QTimer;

namespace services {
class QtDebuggerServices;
}

namespace debugger {

class BoardPanel;
class ListingView;
class PortsDock;
class ProcessorDock;
class RamDock;
class TerminalDock;

// The debugger window: the listing with breakpoints and the next instruction in the middle, and
// docks for the processor, the RAM, the ports, the serial terminal and, on a board that has
// them, its keyboard, switches, lamps and printer. A thin shell over DebuggerCommands: it passes
// the user's actions on and shows the commands' state.
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
  void BuildFileMenu();
  void BuildRunMenu();
  void BuildToolBar();
  void BuildDocks();
  void BuildSyntaxMenu();
  void BuildBoardMenu();
  void BuildHelpMenu();
  QDockWidget* AddDock(const char* name, const QString& title, QWidget* content,
                       Qt::DockWidgetArea area);
  void RebuildBoardPanel();
  void ShowControls();
  // Runs `action` on the commands, then shows what it did.
  void Do(const std::function<void(DebuggerCommands&)>& action);

  std::unique_ptr<QFileSystemWatcher> watcher_;
  std::unique_ptr<services::QtDebuggerServices> services_;
  std::unique_ptr<DebuggerCommands> commands_;
  QTimer* timer_ = nullptr;
  int shownVersion_ = -1;
  int shownBoardVersion_ = -1;

  ListingView* listing_ = nullptr;
  ProcessorDock* processor_ = nullptr;
  RamDock* ram_ = nullptr;
  PortsDock* ports_ = nullptr;
  TerminalDock* terminal_ = nullptr;
  QDockWidget* boardDock_ = nullptr;
  QScrollArea* boardScroll_ = nullptr;
  BoardPanel* boardPanel_ = nullptr;

  QAction* open_ = nullptr;
  QAction* run_ = nullptr;
  QAction* stop_ = nullptr;
  QAction* step_ = nullptr;
  QAction* stepOver_ = nullptr;
  QAction* reset_ = nullptr;
  QAction* realSpeed_ = nullptr;
  QComboBox* cpu_ = nullptr;
  QDoubleSpinBox* clock_ = nullptr;
  QCheckBox* test_ = nullptr;
  QAction* classicSyntax_ = nullptr;
  QAction* aslSyntax_ = nullptr;
  QActionGroup* boardGroup_ = nullptr;
  std::vector<std::pair<std::string, QAction*>> boardActions_; // by board name
};

} // namespace debugger
