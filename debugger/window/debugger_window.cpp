#include "debugger/window/debugger_window.h"

#include "debugger/window/board_panel.h"
#include "debugger/window/breakpoints_dock.h"
#include "debugger/window/disassembly_dock.h"
#include "debugger/window/listing_view.h"
#include "debugger/window/ports_dock.h"
#include "debugger/window/processor_dock.h"
#include "debugger/window/ram_dock.h"
#include "debugger/window/terminal_dock.h"
#include "debugger/window/trace_dock.h"
#include "debugger/window/widgets.h"
#include "icons/icon.h"
#include "services/qt_debugger_services.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

namespace debugger {

namespace {

// How often a running program's views are brought up to date: at most 30 times a second.
constexpr int kRefreshMilliseconds = 33;

} // namespace

DebuggerWindow::DebuggerWindow(QWidget* parent)
    : QMainWindow(parent), watcher_(std::make_unique<QFileSystemWatcher>()) {
  setWindowTitle(QStringLiteral("Brindlewick Debugger"));
  setWindowIcon(icons::IconFromPicture(QStringLiteral(":/icons/brindlewick-debugger.svg")));
  setObjectName(QStringLiteral("DebuggerWindow"));
  services_ = std::make_unique<services::QtDebuggerServices>(this, watcher_.get());
  commands_ = std::make_unique<DebuggerCommands>(*services_);

  listing_ = new ListingView(this);
  setCentralWidget(listing_);
  // A click in the first column sets or clears a breakpoint.
  connect(listing_, &QTableWidget::cellClicked, this, [this](int row, int column) {
    if (column == 0) {
      Do([row](DebuggerCommands& c) { c.ToggleBreakpointAtRow(row); });
    }
  });

  BuildFileMenu();
  BuildRunMenu();
  BuildToolBars();
  BuildDocks();
  BuildSyntaxMenu();
  BuildBoardMenu();
  BuildViewMenu();
  BuildHelpMenu();

  timer_ = new QTimer(this);
  timer_->setInterval(kRefreshMilliseconds);
  connect(timer_, &QTimer::timeout, this, [this] {
    commands_->Tick();
    Refresh();
  });
  connect(watcher_.get(), &QFileSystemWatcher::fileChanged, this,
          [this] { Do([](DebuggerCommands& c) { c.FileChanged(); }); });
  // A file removed and written anew comes back into its folder.
  connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, this, [this] {
    if (services_->RewatchReturned()) {
      Do([](DebuggerCommands& c) { c.FileChanged(); });
    }
  });

  LayOut();
  Refresh();
}

DebuggerWindow::~DebuggerWindow() = default;

void DebuggerWindow::Do(const std::function<void(DebuggerCommands&)>& action) {
  action(*commands_);
  Refresh();
}

QAction* DebuggerWindow::AddCommand(QMenu* menu, const QString& text, const QKeySequence& keys,
                                    const QString& tip, void (DebuggerCommands::*command)()) {
  QAction* action = menu->addAction(
      text, this, [this, command] { Do([command](DebuggerCommands& c) { (c.*command)(); }); });
  action->setShortcut(keys);
  action->setToolTip(keys.isEmpty()
                         ? tip
                         : tip + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) +
                               QStringLiteral(")"));
  return action;
}

void DebuggerWindow::ShowControls() {
  const Session& session = commands_->session();
  const QSignalBlocker blockCpu(cpu_);
  cpu_->setCurrentIndex(session.cpu() == simulate::Processor::I4004 ? 0 : 1);
  if (realSpeed_->isChecked() != commands_->RealSpeed()) {
    const QSignalBlocker blockSpeed(realSpeed_);
    realSpeed_->setChecked(commands_->RealSpeed());
  }
  if (!clock_->hasFocus()) {
    const QSignalBlocker blockClock(clock_);
    clock_->setValue(session.clock() / 1000);
  }
  statusBar()->showMessage(Text(commands_->status()));
  const bool running = commands_->Running();
  run_->setEnabled(!running);
  stop_->setEnabled(running);
  undo_->setEnabled(!running && session.CanUndo());
  if (running && !timer_->isActive()) {
    timer_->start();
  } else if (!running && timer_->isActive()) {
    timer_->stop();
  }
}

void DebuggerWindow::ShowTerminal() {
  // Reset and another file start the terminal afresh, unless the user keeps its text; going
  // back writes it anew from what the program had sent by then.
  if (shownResetVersion_ != commands_->resetVersion()) {
    shownResetVersion_ = commands_->resetVersion();
    if (!terminal_->KeepsText()) {
      terminal_->Clear();
    }
  }
  if (commands_->TakeTerminalRewritten()) {
    terminal_->Clear();
    terminal_->Append(commands_->session().transcript());
  }
  terminal_->Append(commands_->TakeTerminalOutput());
}

void DebuggerWindow::Refresh() {
  const Session& session = commands_->session();
  const bool listingRebuilt = shownVersion_ != commands_->programVersion();
  if (listingRebuilt) {
    shownVersion_ = commands_->programVersion();
    listing_->Rebuild(session.program());
    const QString name = QFileInfo(Text(session.program().path)).fileName();
    setWindowTitle(name.isEmpty() ? QStringLiteral("Brindlewick Debugger")
                                  : QStringLiteral("%1 - Brindlewick Debugger").arg(name));
    terminal_->ShowSettings(session);
    // The syntax applies to a source, not to an image.
    const bool source = session.HasProgram() && !session.program().image;
    classicSyntax_->setEnabled(source);
    aslSyntax_->setEnabled(source);
    classicSyntax_->setChecked(source && session.program().syntax == Syntax::Classic);
    aslSyntax_->setChecked(source && session.program().syntax == Syntax::Asl);
  }
  listing_->Show(session, listingRebuilt, commands_->loadProblem());
  const bool running = commands_->Running();
  // Where the program has no source, its memory is shown disassembled, brought to the front
  // when the program gets there.
  const bool outside = disassembly_->Show(session);
  if (outside && !running && !wasOutside_) {
    disassemblyDock_->show();
    disassemblyDock_->raise();
  }
  wasOutside_ = outside && !running;
  processor_->Show(session, commands_->shown(), commands_->StopwatchCycles());
  ram_->Show(session.machine(), commands_->shown());
  ports_->Show(session.machine(), session.board().InterruptRequested());
  breakpoints_->Show(session);
  trace_->Show(running);
  if (shownBoardVersion_ != commands_->boardVersion()) {
    shownBoardVersion_ = commands_->boardVersion();
    RebuildBoardPanel();
  }
  if (boardPanel_ != nullptr) {
    boardPanel_->Show(session);
  }
  ShowTerminal();
  ShowControls();
  commands_->MarkShown();
}

void DebuggerWindow::closeEvent(QCloseEvent* event) {
  QSettings settings;
  settings.setValue(QStringLiteral("debugger/geometry"), saveGeometry());
  settings.setValue(QStringLiteral("debugger/state"), saveState());
  QMainWindow::closeEvent(event);
}

} // namespace debugger
