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
class QMenu;
class QScrollArea;
class QTimer;

namespace services {
class QtDebuggerServices;
}

namespace debugger {

class BoardPanel;
class BreakpointsDock;
class DisassemblyView;
class ListingView;
class PortsDock;
class ProcessorDock;
class RamDock;
class TerminalDock;
class TraceDock;

// The debugger window: the listing with breakpoints and the next instruction in the middle, and
// docks for the processor, the RAM, the ports, the serial terminal, the breakpoints, the trace,
// the disassembly where the program has no source and, on a board that has them, its keyboard,
// switches, lamps and printer. A thin shell over DebuggerCommands: it passes the user's actions
// on and shows the commands' state.
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
  // debugger_window_menus.cpp
  void BuildFileMenu();
  void BuildRunMenu();
  void BuildToolBars();
  void BuildSyntaxMenu();
  void BuildBoardMenu();
  void BuildViewMenu();
  void BuildHelpMenu();
  // debugger_window_docks.cpp
  void BuildDocks();
  QDockWidget* AddDock(const char* name, const QString& title, QWidget* content,
                       Qt::DockWidgetArea area);
  // Sizes the window to the screen it is on, and the docks to the window.
  void LayOut();
  void RebuildBoardPanel();
  // debugger_window.cpp
  void ShowControls();
  void ShowTerminal();
  // Runs `action` on the commands, then shows what it did.
  void Do(const std::function<void(DebuggerCommands&)>& action);
  // A menu item that runs a command, with its keys in the menu and in its tool tip.
  QAction* AddCommand(QMenu* menu, const QString& text, const QKeySequence& keys,
                      const QString& tip, void (DebuggerCommands::*command)());

  std::unique_ptr<QFileSystemWatcher> watcher_;
  std::unique_ptr<services::QtDebuggerServices> services_;
  std::unique_ptr<DebuggerCommands> commands_;
  QTimer* timer_ = nullptr;
  int shownVersion_ = -1;
  int shownBoardVersion_ = -1;
  int shownResetVersion_ = -1;
  bool wasOutside_ = false; // the next instruction had no source when the views last showed it

  ListingView* listing_ = nullptr;
  ProcessorDock* processor_ = nullptr;
  RamDock* ram_ = nullptr;
  PortsDock* ports_ = nullptr;
  TerminalDock* terminal_ = nullptr;
  BreakpointsDock* breakpoints_ = nullptr;
  TraceDock* trace_ = nullptr;
  DisassemblyView* disassembly_ = nullptr;
  QDockWidget* disassemblyDock_ = nullptr;
  QDockWidget* boardDock_ = nullptr;
  QScrollArea* boardScroll_ = nullptr;
  BoardPanel* boardPanel_ = nullptr;
  std::vector<QDockWidget*> docks_; // in the order of the View menu

  QAction* open_ = nullptr;
  QAction* run_ = nullptr;
  QAction* stop_ = nullptr;
  QAction* step_ = nullptr;
  QAction* stepOver_ = nullptr;
  QAction* stepOut_ = nullptr;
  QAction* stepBack_ = nullptr;
  QAction* runBackwards_ = nullptr;
  QAction* reset_ = nullptr;
  QAction* realSpeed_ = nullptr;
  QAction* undo_ = nullptr;
  QComboBox* cpu_ = nullptr;
  QDoubleSpinBox* clock_ = nullptr;
  QCheckBox* test_ = nullptr;
  QAction* classicSyntax_ = nullptr;
  QAction* aslSyntax_ = nullptr;
  QActionGroup* boardGroup_ = nullptr;
  QMenu* viewMenu_ = nullptr;
  std::vector<std::pair<std::string, QAction*>> boardActions_; // by board name
};

} // namespace debugger
