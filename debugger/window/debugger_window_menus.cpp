// The debugger window's menus and tool bars.
#include "boards/board_file.h"
#include "debugger/window/debugger_window.h"
#include "debugger/window/listing_view.h"
#include "debugger/window/widgets.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QToolBar>

namespace debugger {

void DebuggerWindow::BuildFileMenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  open_ = AddCommand(file, QStringLiteral("&Open..."), QKeySequence::Open,
                     QStringLiteral("Open a source, a binary image or an Intel HEX file"),
                     &DebuggerCommands::OpenDialog);
  AddCommand(file, QStringLiteral("&Reload"), QKeySequence(Qt::CTRL | Qt::Key_R),
             QStringLiteral("Load the open file again"), &DebuggerCommands::Reload);
  file->addSeparator();
  QAction* quit = file->addAction(QStringLiteral("&Quit"), this, &QWidget::close);
  quit->setShortcut(QKeySequence::Quit);
}

void DebuggerWindow::BuildRunMenu() {
  QMenu* menu = menuBar()->addMenu(QStringLiteral("&Run"));
  run_ = AddCommand(menu, QStringLiteral("&Run"), QKeySequence(Qt::Key_F5),
                    QStringLiteral("Run until a breakpoint or a watch stops it"),
                    &DebuggerCommands::Run);
  stop_ = AddCommand(menu, QStringLiteral("S&top"), QKeySequence(Qt::SHIFT | Qt::Key_F5),
                     QStringLiteral("Stop the program where it is"), &DebuggerCommands::Stop);
  step_ = AddCommand(menu, QStringLiteral("&Step"), QKeySequence(Qt::Key_F11),
                     QStringLiteral("Run one instruction"), &DebuggerCommands::Step);
  stepOver_ = AddCommand(menu, QStringLiteral("Step &over"), QKeySequence(Qt::Key_F10),
                         QStringLiteral("Run one instruction; a call runs to its return"),
                         &DebuggerCommands::StepOver);
  stepOut_ = AddCommand(menu, QStringLiteral("Step o&ut"), QKeySequence(Qt::SHIFT | Qt::Key_F11),
                        QStringLiteral("Run until the subroutine has returned"),
                        &DebuggerCommands::StepOut);
  menu->addSeparator();
  stepBack_ = AddCommand(menu, QStringLiteral("Step &back"), QKeySequence(Qt::CTRL | Qt::Key_F11),
                         QStringLiteral("Go back one instruction, board and output included"),
                         &DebuggerCommands::StepBack);
  runBackwards_ = AddCommand(
      menu, QStringLiteral("Run back&wards"), QKeySequence(Qt::CTRL | Qt::Key_F5),
      QStringLiteral("Go back to the last place a breakpoint or a watch would have stopped"),
      &DebuggerCommands::RunBackwards);
  menu->addSeparator();
  QAction* cursor = menu->addAction(QStringLiteral("Run to &cursor"), this, [this] {
    const int row = listing_->currentRow();
    Do([row](DebuggerCommands& c) { c.RunToRow(row); });
  });
  cursor->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F10));
  QAction* next = menu->addAction(QStringLiteral("Set &next instruction"), this, [this] {
    const int row = listing_->currentRow();
    Do([row](DebuggerCommands& c) { c.SetNextRow(row); });
  });
  next->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F10));
  QAction* breakpoint = menu->addAction(QStringLiteral("Toggle &breakpoint"), this, [this] {
    const int row = listing_->currentRow();
    Do([row](DebuggerCommands& c) { c.ToggleBreakpointAtRow(row); });
  });
  breakpoint->setShortcut(QKeySequence(Qt::Key_F9));
  undo_ = AddCommand(menu, QStringLiteral("&Undo edit"), QKeySequence::Undo,
                     QStringLiteral("Take back the last change made to the machine by hand"),
                     &DebuggerCommands::Undo);
  menu->addSeparator();
  reset_ =
      AddCommand(menu, QStringLiteral("R&eset"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F5),
                 QStringLiteral("Reset the machine"), &DebuggerCommands::Reset);
  realSpeed_ = menu->addAction(QStringLiteral("Real &speed"));
  realSpeed_->setCheckable(true);
  realSpeed_->setToolTip(QStringLiteral("Run at the processor's own speed at the clock chosen"));
  connect(realSpeed_, &QAction::toggled, this, [this](bool on) { commands_->SetRealSpeed(on); });
  // The same in the listing's context menu, for the line under the mouse.
  listing_->setContextMenuPolicy(Qt::ActionsContextMenu);
  listing_->addActions({cursor, next, breakpoint});
}

void DebuggerWindow::BuildToolBars() {
  QToolBar* tools = addToolBar(QStringLiteral("Run"));
  tools->setObjectName(QStringLiteral("RunToolBar"));
  tools->addAction(open_);
  tools->addSeparator();
  for (QAction* action : {run_, stop_, step_, stepOver_, stepOut_}) {
    tools->addAction(action);
  }
  tools->addSeparator();
  tools->addAction(stepBack_);
  tools->addAction(runBackwards_);
  tools->addSeparator();
  tools->addAction(reset_);
  tools->addAction(realSpeed_);
  // The board's controls in a bar of their own, beside the run bar where there is room for both.
  if (screen() != nullptr && screen()->availableGeometry().width() < 1200) {
    addToolBarBreak();
  }
  QToolBar* board = addToolBar(QStringLiteral("Board"));
  board->setObjectName(QStringLiteral("BoardToolBar"));
  cpu_ = new QComboBox(board);
  cpu_->setObjectName(QStringLiteral("Processor"));
  cpu_->setToolTip(QStringLiteral("The processor; changing it resets the machine"));
  for (const simulate::Processor cpu : {simulate::Processor::I4004, simulate::Processor::I4040}) {
    cpu_->addItem(QString::fromLatin1(simulate::ProcessorName(cpu)));
  }
  board->addWidget(new QLabel(QStringLiteral(" Processor "), board));
  board->addWidget(cpu_);
  connect(cpu_, &QComboBox::currentIndexChanged, this, [this](int index) {
    Do([index](DebuggerCommands& c) {
      c.SetCpu(index == 0 ? simulate::Processor::I4004 : simulate::Processor::I4040);
    });
  });
  clock_ = new QDoubleSpinBox(board);
  clock_->setObjectName(QStringLiteral("Clock"));
  clock_->setToolTip(QStringLiteral("The processor's clock, remembered for the file"));
  clock_->setRange(1, 10000);
  clock_->setDecimals(1);
  clock_->setSuffix(QStringLiteral(" kHz"));
  clock_->setValue(740);
  clock_->setKeyboardTracking(false);
  board->addWidget(new QLabel(QStringLiteral(" Clock "), board));
  board->addWidget(clock_);
  connect(clock_, &QDoubleSpinBox::valueChanged, this,
          [this](double kHz) { Do([kHz](DebuggerCommands& c) { c.SetClock(kHz * 1000); }); });
  test_ = new QCheckBox(QStringLiteral("TEST"), board);
  test_->setObjectName(QStringLiteral("Test"));
  test_->setToolTip(QStringLiteral("The level of the TEST input where nothing else drives it"));
  board->addWidget(test_);
  connect(test_, &QCheckBox::toggled, this,
          [this](bool on) { Do([on](DebuggerCommands& c) { c.SetTest(on); }); });
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

void DebuggerWindow::BuildViewMenu() {
  // Every dock, to bring back one that was closed.
  viewMenu_ = menuBar()->addMenu(QStringLiteral("&View"));
  for (QDockWidget* dock : docks_) {
    viewMenu_->addAction(dock->toggleViewAction());
  }
}

void DebuggerWindow::BuildHelpMenu() {
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(QStringLiteral("&About"), this, [this] {
    QMessageBox::about(this, QStringLiteral("Brindlewick Debugger"),
                       QStringLiteral("Brindlewick Debugger %1\nSteps through Intel 4004 and "
                                      "4040 programs on a simulated board, forwards and back.")
                           .arg(QStringLiteral(BRINDLEWICK_VERSION)));
  });
}

} // namespace debugger
