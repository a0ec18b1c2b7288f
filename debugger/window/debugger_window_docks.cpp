// The debugger window's docks and how they are laid out on the screen.
#include "debugger/window/board_panel.h"
#include "debugger/window/breakpoints_dock.h"
#include "debugger/window/debugger_window.h"
#include "debugger/window/disassembly_dock.h"
#include "debugger/window/ports_dock.h"
#include "debugger/window/processor_dock.h"
#include "debugger/window/ram_dock.h"
#include "debugger/window/terminal_dock.h"
#include "debugger/window/trace_dock.h"
#include "debugger/window/widgets.h"

#include <QDockWidget>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace debugger {

QDockWidget* DebuggerWindow::AddDock(const char* name, const QString& title, QWidget* content,
                                     Qt::DockWidgetArea area) {
  auto* widget = new QDockWidget(title, this);
  widget->setObjectName(QString::fromLatin1(name));
  // Each dock scrolls its content where the window is too small to show it whole.
  if (qobject_cast<QAbstractScrollArea*>(content) != nullptr) {
    widget->setWidget(content);
  } else {
    auto* scroll = new QScrollArea(widget);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(content);
    widget->setWidget(scroll);
  }
  addDockWidget(area, widget);
  docks_.push_back(widget);
  return widget;
}

void DebuggerWindow::BuildDocks() {
  const Act act = [this](const std::function<void(DebuggerCommands&)>& action) { Do(action); };
  // The processor has the right side to itself; below the listing, the terminal on the left and
  // the other views in tabs on the right, the ports in front.
  processor_ = new ProcessorDock(this, act);
  AddDock("ProcessorDock", QStringLiteral("Processor"), processor_, Qt::RightDockWidgetArea);
  terminal_ = new TerminalDock(this, *commands_, act);
  QDockWidget* terminalDock = AddDock("TerminalDock", QStringLiteral("Serial terminal"), terminal_,
                                      Qt::BottomDockWidgetArea);
  ports_ = new PortsDock(this, act);
  QDockWidget* portsDock =
      AddDock("PortsDock", QStringLiteral("Ports"), ports_, Qt::BottomDockWidgetArea);
  ram_ = new RamDock(this, act);
  QDockWidget* ramDock =
      AddDock("RamDock", QStringLiteral("4002 RAM"), ram_, Qt::BottomDockWidgetArea);
  breakpoints_ = new BreakpointsDock(this, act);
  QDockWidget* breakpointsDock = AddDock("BreakpointsDock", QStringLiteral("Breakpoints"),
                                         breakpoints_, Qt::BottomDockWidgetArea);
  trace_ = new TraceDock(this, *commands_, act);
  QDockWidget* traceDock =
      AddDock("TraceDock", QStringLiteral("Trace"), trace_, Qt::BottomDockWidgetArea);
  disassembly_ = new DisassemblyView(this);
  disassemblyDock_ = AddDock("DisassemblyDock", QStringLiteral("Disassembly"), disassembly_,
                             Qt::BottomDockWidgetArea);
  splitDockWidget(terminalDock, portsDock, Qt::Horizontal);
  for (QDockWidget* dock : {ramDock, breakpointsDock, traceDock, disassemblyDock_}) {
    tabifyDockWidget(portsDock, dock);
  }
  portsDock->raise();

  // The board's keyboard, switches, lamps and paper, when it has them.
  boardScroll_ = new QScrollArea(this);
  boardScroll_->setWidgetResizable(true);
  boardScroll_->setFrameShape(QFrame::NoFrame);
  boardDock_ = new QDockWidget(QStringLiteral("Board"), this);
  boardDock_->setObjectName(QStringLiteral("BoardDock"));
  boardDock_->setWidget(boardScroll_);
  addDockWidget(Qt::LeftDockWidgetArea, boardDock_);
  boardDock_->hide();
  docks_.push_back(boardDock_);
}

void DebuggerWindow::LayOut() {
  // The window fits the screen it opens on: maximised where the screen is small, else most of
  // it; a size remembered from a larger screen is brought within this one.
  const QRect available =
      screen() != nullptr ? screen()->availableGeometry() : QRect(0, 0, 1600, 1000);
  const bool small = available.width() < 1400 || available.height() < 900;
  resize(std::min(available.width(), 1500), std::min(available.height(), 950));
  QSettings settings;
  const bool restored =
      restoreGeometry(settings.value(QStringLiteral("debugger/geometry")).toByteArray()) &&
      restoreState(settings.value(QStringLiteral("debugger/state")).toByteArray());
  if (restored) {
    if (!available.contains(frameGeometry())) {
      resize(std::min(width(), available.width()), std::min(height(), available.height()));
      move(available.topLeft());
    }
    return;
  }
  if (small) {
    setWindowState(windowState() | Qt::WindowMaximized);
  }
  // The docks are sized once the window has its size on the screen: the processor wide enough
  // for both register banks; the bottom tall enough for a monitor's menu in the terminal.
  QTimer::singleShot(100, this, [this, small] {
    auto* processor = findChild<QDockWidget*>(QStringLiteral("ProcessorDock"));
    auto* terminal = findChild<QDockWidget*>(QStringLiteral("TerminalDock"));
    resizeDocks({processor}, {std::clamp(width() * 2 / 5, 380, 520)}, Qt::Horizontal);
    resizeDocks({terminal}, {small ? 230 : std::max(height() * 3 / 10, 220)}, Qt::Vertical);
    resizeDocks({terminal}, {width() / 2}, Qt::Horizontal);
  });
}

void DebuggerWindow::RebuildBoardPanel() {
  const Session& session = commands_->session();
  for (auto& [name, action] : boardActions_) {
    action->setChecked(name == commands_->boardChoice());
  }
  terminal_->ShowSettings(session);
  delete boardScroll_->takeWidget();
  boardPanel_ = nullptr;
  if (!BoardPanel::Shows(session.board())) {
    boardDock_->hide();
    return;
  }
  const boards::BoardDescription& description = *session.boardDescription();
  // The dock's title is short enough for any width; the board's whole title heads the panel.
  boardDock_->setWindowTitle(QStringLiteral("Board: ") + Text(description.name));
  auto* content = new QWidget(boardScroll_);
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* title =
      new QLabel(Text(description.title.empty() ? description.name : description.title), content);
  title->setWordWrap(true);
  title->setObjectName(QStringLiteral("BoardTitle"));
  layout->addWidget(title);
  auto* panel =
      new BoardPanel(content, *commands_,
                     [this](const std::function<void(DebuggerCommands&)>& action) { Do(action); });
  layout->addWidget(panel);
  layout->addStretch(1);
  boardScroll_->setWidget(content);
  boardPanel_ = panel;
  // Wide enough for the whole keyboard. Where the screen is narrow, the board shares the right
  // side with the processor, in front of it, so that the listing keeps its width.
  const bool narrow = screen() != nullptr && screen()->availableGeometry().width() < 1400;
  auto* processor = findChild<QDockWidget*>(QStringLiteral("ProcessorDock"));
  if (narrow && dockWidgetArea(boardDock_) != Qt::RightDockWidgetArea) {
    tabifyDockWidget(processor, boardDock_);
  }
  boardDock_->show();
  boardDock_->raise();
  const int wanted =
      panel->minimumSizeHint().width() + boardScroll_->verticalScrollBar()->sizeHint().width() + 24;
  resizeDocks({boardDock_}, {narrow ? std::min(wanted, width() * 3 / 5) : wanted}, Qt::Horizontal);
}

} // namespace debugger
