#include "debugger/window/debugger_window.h"

#include "boards/board_file.h"
#include "debugger/window/board_panel.h"
#include "debugger/window/listing_view.h"
#include "debugger/window/ports_dock.h"
#include "debugger/window/processor_dock.h"
#include "debugger/window/ram_dock.h"
#include "debugger/window/terminal_dock.h"
#include "debugger/window/widgets.h"
#include "icons/icon.h"
#include "services/qt_debugger_services.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

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
  BuildToolBar();
  BuildDocks();
  BuildSyntaxMenu();
  BuildBoardMenu();
  BuildHelpMenu();

  timer_ = new QTimer(this);
  timer_->setInterval(kRefreshMilliseconds);
  connect(timer_, &QTimer::timeout, this, [this] {
    commands_->Tick();
    Refresh();
  });
  connect(watcher_.get(), &QFileSystemWatcher::fileChanged, this,
          [this] { Do([](DebuggerCommands& c) { c.FileChanged(); }); });

  resize(1100, 720);
  QSettings settings;
  restoreGeometry(settings.value(QStringLiteral("debugger/geometry")).toByteArray());
  restoreState(settings.value(QStringLiteral("debugger/state")).toByteArray());
  Refresh();
}

DebuggerWindow::~DebuggerWindow() = default;

void DebuggerWindow::Do(const std::function<void(DebuggerCommands&)>& action) {
  action(*commands_);
  Refresh();
}

void DebuggerWindow::BuildFileMenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  open_ = file->addAction(QStringLiteral("&Open..."), this,
                          [this] { Do([](DebuggerCommands& c) { c.OpenDialog(); }); });
  open_->setShortcut(QKeySequence::Open);
  QAction* reload = file->addAction(QStringLiteral("&Reload"), this,
                                    [this] { Do([](DebuggerCommands& c) { c.Reload(); }); });
  reload->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  file->addSeparator();
  QAction* quit = file->addAction(QStringLiteral("&Quit"), this, &QWidget::close);
  quit->setShortcut(QKeySequence::Quit);
}

void DebuggerWindow::BuildRunMenu() {
  QMenu* menu = menuBar()->addMenu(QStringLiteral("&Run"));
  const auto add = [this, menu](const QString& text, const QKeySequence& keys,
                                void (DebuggerCommands::*command)()) {
    QAction* action = menu->addAction(
        text, this, [this, command] { Do([command](DebuggerCommands& c) { (c.*command)(); }); });
    action->setShortcut(keys);
    return action;
  };
  run_ = add(QStringLiteral("&Run"), QKeySequence(Qt::Key_F5), &DebuggerCommands::Run);
  stop_ =
      add(QStringLiteral("S&top"), QKeySequence(Qt::SHIFT | Qt::Key_F5), &DebuggerCommands::Stop);
  step_ = add(QStringLiteral("&Step"), QKeySequence(Qt::Key_F11), &DebuggerCommands::Step);
  stepOver_ =
      add(QStringLiteral("Step &over"), QKeySequence(Qt::Key_F10), &DebuggerCommands::StepOver);
  QAction* cursor = menu->addAction(QStringLiteral("Run to &cursor"), this, [this] {
    const int row = listing_->currentRow();
    Do([row](DebuggerCommands& c) { c.RunToRow(row); });
  });
  cursor->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F10));
  QAction* breakpoint = menu->addAction(QStringLiteral("Toggle &breakpoint"), this, [this] {
    const int row = listing_->currentRow();
    Do([row](DebuggerCommands& c) { c.ToggleBreakpointAtRow(row); });
  });
  breakpoint->setShortcut(QKeySequence(Qt::Key_F9));
  menu->addSeparator();
  reset_ = add(QStringLiteral("R&eset"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F5),
               &DebuggerCommands::Reset);
  realSpeed_ = menu->addAction(QStringLiteral("Real &speed"));
  realSpeed_->setCheckable(true);
  connect(realSpeed_, &QAction::toggled, this, [this](bool on) { commands_->SetRealSpeed(on); });
}

void DebuggerWindow::BuildToolBar() {
  QToolBar* tools = addToolBar(QStringLiteral("Run"));
  tools->setObjectName(QStringLiteral("RunToolBar"));
  tools->addAction(open_);
  tools->addSeparator();
  for (QAction* action : {run_, stop_, step_, stepOver_, reset_, realSpeed_}) {
    tools->addAction(action);
  }
  tools->addSeparator();
  cpu_ = new QComboBox(tools);
  cpu_->setObjectName(QStringLiteral("Processor"));
  for (const simulate::Processor cpu : {simulate::Processor::I4004, simulate::Processor::I4040}) {
    cpu_->addItem(QString::fromLatin1(simulate::ProcessorName(cpu)));
  }
  tools->addWidget(new QLabel(QStringLiteral(" Processor "), tools));
  tools->addWidget(cpu_);
  connect(cpu_, &QComboBox::currentIndexChanged, this, [this](int index) {
    Do([index](DebuggerCommands& c) {
      c.SetCpu(index == 0 ? simulate::Processor::I4004 : simulate::Processor::I4040);
    });
  });
  clock_ = new QDoubleSpinBox(tools);
  clock_->setObjectName(QStringLiteral("Clock"));
  clock_->setRange(1, 10000);
  clock_->setDecimals(1);
  clock_->setSuffix(QStringLiteral(" kHz"));
  clock_->setValue(740);
  tools->addWidget(new QLabel(QStringLiteral(" Clock "), tools));
  tools->addWidget(clock_);
  connect(clock_, &QDoubleSpinBox::valueChanged, this,
          [this](double kHz) { Do([kHz](DebuggerCommands& c) { c.SetClock(kHz * 1000); }); });
  test_ = new QCheckBox(QStringLiteral("TEST"), tools);
  test_->setObjectName(QStringLiteral("Test"));
  tools->addWidget(test_);
  connect(test_, &QCheckBox::toggled, this,
          [this](bool on) { Do([on](DebuggerCommands& c) { c.SetTest(on); }); });
}

void DebuggerWindow::BuildHelpMenu() {
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(QStringLiteral("&About"), this, [this] {
    QMessageBox::about(this, QStringLiteral("Brindlewick Debugger"),
                       QStringLiteral("Brindlewick Debugger %1\nSteps through Intel 4004 and "
                                      "4040 programs on a simulated board.")
                           .arg(QStringLiteral(BRINDLEWICK_VERSION)));
  });
}

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
  return widget;
}

void DebuggerWindow::BuildDocks() {
  const Act act = [this](const std::function<void(DebuggerCommands&)>& action) { Do(action); };
  processor_ = new ProcessorDock(this);
  QDockWidget* processorDock =
      AddDock("ProcessorDock", QStringLiteral("Processor"), processor_, Qt::RightDockWidgetArea);
  ram_ = new RamDock(this);
  QDockWidget* ramDock =
      AddDock("RamDock", QStringLiteral("4002 RAM"), ram_, Qt::RightDockWidgetArea);
  ports_ = new PortsDock(this, act);
  QDockWidget* portsDock =
      AddDock("PortsDock", QStringLiteral("Ports"), ports_, Qt::RightDockWidgetArea);
  tabifyDockWidget(ramDock, portsDock);
  portsDock->raise();
  terminal_ = new TerminalDock(this, *commands_, act);
  QDockWidget* terminalDock = AddDock("TerminalDock", QStringLiteral("Serial terminal"), terminal_,
                                      Qt::BottomDockWidgetArea);
  // The board's keyboard, switches, lamps and paper, when it has them.
  boardScroll_ = new QScrollArea(this);
  boardScroll_->setWidgetResizable(true);
  boardScroll_->setFrameShape(QFrame::NoFrame);
  boardDock_ = new QDockWidget(QStringLiteral("Board"), this);
  boardDock_->setObjectName(QStringLiteral("BoardDock"));
  boardDock_->setWidget(boardScroll_);
  addDockWidget(Qt::LeftDockWidgetArea, boardDock_);
  boardDock_->hide();

  // A first layout: the processor whole, the listing as tall as can be.
  resizeDocks({processorDock}, {470}, Qt::Horizontal);
  resizeDocks({processorDock, ramDock}, {450, 300}, Qt::Vertical);
  resizeDocks({terminalDock}, {150}, Qt::Vertical);
}

void DebuggerWindow::BuildSyntaxMenu() {
  QMenu* menu = menuBar()->addMenu(QStringLiteral("&Syntax"));
  auto* group = new QActionGroup(this);
  const auto choice = [this, menu, group](Syntax syntax, const QString& text, const QString& name) {
    QAction* action = menu->addAction(text);
    action->setCheckable(true);
    action->setObjectName(name);
    action->setToolTip(QStringLiteral("The language the open source is written in; remembered "
                                      "for the file"));
    group->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, syntax] { Do([syntax](DebuggerCommands& c) { c.SetSyntax(syntax); }); });
    return action;
  };
  classicSyntax_ =
      choice(Syntax::Classic, QStringLiteral("&Brindlewick language"), QStringLiteral("Classic"));
  aslSyntax_ =
      choice(Syntax::Asl, QStringLiteral("&Macro-assembler syntax (asl)"), QStringLiteral("Asl"));
}

void DebuggerWindow::BuildBoardMenu() {
  QMenu* menu = menuBar()->addMenu(QStringLiteral("&Board"));
  boardGroup_ = new QActionGroup(this);
  const auto choice = [this, menu](const std::string& name, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setCheckable(true);
    action->setObjectName(QStringLiteral("Board ") + Text(name));
    boardGroup_->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, name] { Do([&name](DebuggerCommands& c) { c.ChooseBoard(name); }); });
    boardActions_.emplace_back(name, action);
  };
  choice("", QStringLiteral("&Serial line only"));
  menu->addSeparator();
  for (const std::string& name : boards::BuiltInBoardNames()) {
    const auto loaded = boards::ParseBoard(*boards::BuiltInBoard(name), name);
    const QString title =
        loaded.board && !loaded.board->title.empty() ? Text(loaded.board->title) : Text(name);
    choice(name, title);
  }
  menu->addSeparator();
  menu->addAction(QStringLiteral("Open board &file..."), this,
                  [this] { Do([](DebuggerCommands& c) { c.OpenBoardDialog(); }); });
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
  boardDock_->setWindowTitle(
      Text(description.title.empty() ? description.name : description.title));
  auto* panel =
      new BoardPanel(boardScroll_, *commands_,
                     [this](const std::function<void(DebuggerCommands&)>& action) { Do(action); });
  boardScroll_->setWidget(panel);
  boardPanel_ = panel;
  boardDock_->show();
  boardDock_->raise();
  // Wide enough for the whole keyboard.
  resizeDocks(
      {boardDock_},
      {panel->sizeHint().width() + boardScroll_->verticalScrollBar()->sizeHint().width() + 4},
      Qt::Horizontal);
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
  if (running && !timer_->isActive()) {
    timer_->start();
  } else if (!running && timer_->isActive()) {
    timer_->stop();
  }
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
    // The syntax applies to a source, not to an image.
    const bool source = session.HasProgram() && !session.program().image;
    classicSyntax_->setEnabled(source);
    aslSyntax_->setEnabled(source);
    classicSyntax_->setChecked(source && session.program().syntax == Syntax::Classic);
    aslSyntax_->setChecked(source && session.program().syntax == Syntax::Asl);
    terminal_->ShowSettings(session);
  }
  listing_->Show(session, listingRebuilt);
  processor_->Show(session, commands_->shown());
  ram_->Show(session.machine(), commands_->shown());
  ports_->Show(session.machine(), session.board().InterruptRequested());
  if (shownBoardVersion_ != commands_->boardVersion()) {
    shownBoardVersion_ = commands_->boardVersion();
    RebuildBoardPanel();
  }
  if (boardPanel_ != nullptr) {
    boardPanel_->Show(session);
  }
  terminal_->Append(commands_->TakeTerminalOutput());
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
