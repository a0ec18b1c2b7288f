#include "debugger/debugger_window.h"

#include "boards/board_file.h"
#include "debugger/views.h"
#include "icons/icon.h"
#include "services/qt_debugger_services.h"
#include "translate/hex_text.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace debugger {

namespace {

// How often a running program's views are brought up to date: at most 30 times a second.
constexpr int kRefreshMilliseconds = 33;

const QColor kChanged(255, 214, 140);
const QColor kNext(255, 245, 160);

QString Text(const std::string& text) { return QString::fromStdString(text); }

void SetCell(QTableWidget* table, int row, int column, const Cell& cell) {
  QTableWidgetItem* item = table->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    item->setTextAlignment(Qt::AlignCenter);
    table->setItem(row, column, item);
  }
  const QString text = Text(cell.text);
  if (item->text() != text) {
    item->setText(text);
  }
  const QBrush background = cell.changed ? QBrush(kChanged) : QBrush();
  if (item->background() != background) {
    item->setBackground(background);
  }
}

void SetValue(QLabel* label, const Cell& cell) {
  label->setText(Text(cell.text));
  label->setStyleSheet(cell.changed ? QStringLiteral("background: #ffd68c; font-weight: bold")
                                    : QString());
}

QLabel* Lamp(QWidget* parent) {
  auto* lamp = new QLabel(parent);
  lamp->setFixedSize(14, 14);
  return lamp;
}

void Light(QLabel* lamp, bool on) {
  lamp->setStyleSheet(on ? QStringLiteral("background: #e03020; border-radius: 7px")
                         : QStringLiteral("background: #c8c8c8; border-radius: 7px"));
  lamp->setProperty("on", on);
}

// A table of short values in fixed cells `characters` wide: fixed sizes, because sizing every
// section to its contents on each change costs more than everything else the window does.
QTableWidget* Table(QWidget* parent, int rows, int columns, int characters) {
  auto* table = new QTableWidget(rows, columns, parent);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionMode(QAbstractItemView::NoSelection);
  table->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  const QFontMetrics metrics(table->font());
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->horizontalHeader()->setDefaultSectionSize(
      metrics.horizontalAdvance(QLatin1Char('0')) * characters + 10);
  table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
  return table;
}

// The terminal: what the program sends, and every key typed goes to its serial input.
class Terminal final : public QPlainTextEdit {
public:
  Terminal(QWidget* parent, DebuggerCommands& commands)
      : QPlainTextEdit(parent), commands_(commands) {
    setReadOnly(true);
    setFocusPolicy(Qt::StrongFocus);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setPlaceholderText(QStringLiteral("Serial output appears here; type to send."));
  }

protected:
  void keyPressEvent(QKeyEvent* event) override {
    QString text = event->text();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      text = QStringLiteral("\r");
    }
    if (text.isEmpty() || (event->modifiers() & Qt::ControlModifier) != 0) {
      QPlainTextEdit::keyPressEvent(event);
      return;
    }
    const QByteArray bytes = text.toLatin1();
    commands_.Type(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  }

private:
  DebuggerCommands& commands_;
};

// The board's keyboard, switches, lamps and paper. Keys typed while it has the focus press the
// board's keys of the same name.
class BoardPanel final : public QWidget {
public:
  BoardPanel(QWidget* parent, DebuggerCommands& commands) : QWidget(parent), commands_(commands) {
    setFocusPolicy(Qt::StrongFocus);
  }

protected:
  void keyPressEvent(QKeyEvent* event) override {
    QString text = event->text();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      text = QStringLiteral("\r");
    } else if (event->key() == Qt::Key_Escape) {
      text = QStringLiteral("\x1B");
    }
    const QByteArray bytes = text.toUtf8();
    if (text.isEmpty() || (event->modifiers() & Qt::ControlModifier) != 0 ||
        !commands_.TypeKey(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
      QWidget::keyPressEvent(event);
    }
  }

private:
  DebuggerCommands& commands_;
};

// A line of paper as the panel shows it: red lines in red, without the note that says so.
void AppendPaper(QPlainTextEdit* paper, const PaperText& line) {
  QString text = Text(line.text);
  if (line.red && text.endsWith(QStringLiteral("  [red]"))) {
    text.chop(7);
  }
  QTextCursor cursor(paper->document());
  cursor.movePosition(QTextCursor::End);
  if (paper->document()->characterCount() > 1 || paper->property("lines").toInt() > 0) {
    cursor.insertBlock();
  }
  QTextCharFormat format;
  format.setForeground(line.red ? QBrush(QColor(200, 20, 20)) : QBrush(Qt::black));
  cursor.insertText(text, format);
  paper->setProperty("lines", paper->property("lines").toInt() + 1);
}

} // namespace

DebuggerWindow::DebuggerWindow(QWidget* parent)
    : QMainWindow(parent), watcher_(std::make_unique<QFileSystemWatcher>()) {
  setWindowTitle(QStringLiteral("Brindlewick Debugger"));
  setWindowIcon(icons::IconFromPicture(QStringLiteral(":/icons/brindlewick-debugger.svg")));
  setObjectName(QStringLiteral("DebuggerWindow"));
  services_ = std::make_unique<services::QtDebuggerServices>(this, watcher_.get());
  commands_ = std::make_unique<DebuggerCommands>(*services_);

  listing_ = new QTableWidget(0, 4, this);
  listing_->setObjectName(QStringLiteral("Listing"));
  listing_->setHorizontalHeaderLabels(
      {QString(), QStringLiteral("Address"), QStringLiteral("Bytes"), QStringLiteral("Source")});
  listing_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  listing_->setSelectionBehavior(QAbstractItemView::SelectRows);
  listing_->setSelectionMode(QAbstractItemView::SingleSelection);
  listing_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  listing_->verticalHeader()->hide();
  listing_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  listing_->verticalHeader()->setDefaultSectionSize(listing_->fontMetrics().height() + 4);
  listing_->setWordWrap(false);
  listing_->horizontalHeader()->setStretchLastSection(true);
  listing_->setColumnWidth(0, 24);
  listing_->setColumnWidth(1, 64);
  listing_->setColumnWidth(2, 64);
  listing_->setShowGrid(false);
  setCentralWidget(listing_);
  // A click in the first column sets or clears a breakpoint.
  connect(listing_, &QTableWidget::cellClicked, this, [this](int row, int column) {
    if (column == 0) {
      Do([row](DebuggerCommands& c) { c.ToggleBreakpointAtRow(row); });
    }
  });

  BuildActions();
  BuildDocks();
  BuildBoardMenu();

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

template <typename Action> void DebuggerWindow::Do(Action action) {
  action(*commands_);
  Refresh();
}

void DebuggerWindow::BuildActions() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  QAction* open = file->addAction(QStringLiteral("&Open..."), this,
                                  [this] { Do([](DebuggerCommands& c) { c.OpenDialog(); }); });
  open->setShortcut(QKeySequence::Open);
  QAction* reload = file->addAction(QStringLiteral("&Reload"), this,
                                    [this] { Do([](DebuggerCommands& c) { c.Reload(); }); });
  reload->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  file->addSeparator();
  QAction* quit = file->addAction(QStringLiteral("&Quit"), this, &QWidget::close);
  quit->setShortcut(QKeySequence::Quit);

  QMenu* runMenu = menuBar()->addMenu(QStringLiteral("&Run"));
  run_ = runMenu->addAction(QStringLiteral("&Run"), this,
                            [this] { Do([](DebuggerCommands& c) { c.Run(); }); });
  run_->setShortcut(QKeySequence(Qt::Key_F5));
  stop_ = runMenu->addAction(QStringLiteral("S&top"), this,
                             [this] { Do([](DebuggerCommands& c) { c.Stop(); }); });
  stop_->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F5));
  QAction* step = runMenu->addAction(QStringLiteral("&Step"), this,
                                     [this] { Do([](DebuggerCommands& c) { c.Step(); }); });
  step->setShortcut(QKeySequence(Qt::Key_F11));
  QAction* over = runMenu->addAction(QStringLiteral("Step &over"), this,
                                     [this] { Do([](DebuggerCommands& c) { c.StepOver(); }); });
  over->setShortcut(QKeySequence(Qt::Key_F10));
  QAction* cursor = runMenu->addAction(QStringLiteral("Run to &cursor"), this, [this] {
    const int row = listing_->currentRow();
    Do([row](DebuggerCommands& c) { c.RunToRow(row); });
  });
  cursor->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F10));
  QAction* breakpoint = runMenu->addAction(QStringLiteral("Toggle &breakpoint"), this, [this] {
    const int row = listing_->currentRow();
    Do([row](DebuggerCommands& c) { c.ToggleBreakpointAtRow(row); });
  });
  breakpoint->setShortcut(QKeySequence(Qt::Key_F9));
  runMenu->addSeparator();
  QAction* reset = runMenu->addAction(QStringLiteral("R&eset"), this,
                                      [this] { Do([](DebuggerCommands& c) { c.Reset(); }); });
  reset->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F5));
  realSpeed_ = runMenu->addAction(QStringLiteral("Real &speed"));
  realSpeed_->setCheckable(true);
  connect(realSpeed_, &QAction::toggled, this, [this](bool on) { commands_->SetRealSpeed(on); });

  QToolBar* tools = addToolBar(QStringLiteral("Run"));
  tools->setObjectName(QStringLiteral("RunToolBar"));
  tools->addAction(open);
  tools->addSeparator();
  for (QAction* action : {run_, stop_, step, over, reset}) {
    tools->addAction(action);
  }
  tools->addAction(realSpeed_);
  tools->addSeparator();
  cpu_ = new QComboBox(tools);
  cpu_->setObjectName(QStringLiteral("Processor"));
  cpu_->addItems({QStringLiteral("4004"), QStringLiteral("4040")});
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

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(QStringLiteral("&About"), this, [this] {
    QMessageBox::about(this, QStringLiteral("Brindlewick Debugger"),
                       QStringLiteral("Brindlewick Debugger %1\nSteps through Intel 4004 and "
                                      "4040 programs on a simulated board.")
                           .arg(QStringLiteral(BRINDLEWICK_VERSION)));
  });
}

void DebuggerWindow::BuildDocks() {
  // Each dock scrolls its content where the window is too small to show it whole.
  const auto dock = [this](const char* name, const QString& title, QWidget* content,
                           Qt::DockWidgetArea area) {
    auto* widget = new QDockWidget(title, this);
    widget->setObjectName(QString::fromLatin1(name));
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
  };

  // The processor.
  auto* processor = new QWidget(this);
  auto* layout = new QVBoxLayout(processor);
  auto* form = new QGridLayout;
  const char* names[] = {"A",   "Carry", "PC",        "Stack depth", "Cycles", "Time",
                         "SRC", "DCL",   "Reg. bank", "ROM bank",    "Halted", "Interrupts"};
  int index = 0;
  for (const char* name : names) {
    auto* label = new QLabel(QString::fromLatin1(name), processor);
    auto* value = new QLabel(processor);
    value->setObjectName(QStringLiteral("Value ") + QString::fromLatin1(name));
    value->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    form->addWidget(label, index / 2, (index % 2) * 2);
    form->addWidget(value, index / 2, (index % 2) * 2 + 1);
    fields_.emplace_back(label, value);
    ++index;
  }
  layout->addLayout(form);
  registers_ = Table(processor, 8, 6, 4);
  registers_->setObjectName(QStringLiteral("Registers"));
  registers_->setHorizontalHeaderLabels({QStringLiteral("R"), QStringLiteral("R"),
                                         QStringLiteral("Pair"), QStringLiteral("R'"),
                                         QStringLiteral("R'"), QStringLiteral("Pair'")});
  registers_->setMinimumHeight(registers_->horizontalHeader()->sizeHint().height() +
                               9 * registers_->fontMetrics().height() + 24);
  layout->addWidget(registers_);
  stack_ = Table(processor, 7, 1, 16);
  stack_->setMinimumHeight(stack_->horizontalHeader()->sizeHint().height() +
                           4 * stack_->fontMetrics().height() + 12);
  stack_->setObjectName(QStringLiteral("Stack"));
  stack_->setHorizontalHeaderLabels({QStringLiteral("Return addresses")});
  layout->addWidget(stack_);
  QDockWidget* processorDock =
      dock("ProcessorDock", QStringLiteral("Processor"), processor, Qt::RightDockWidgetArea);

  // The RAM.
  ram_ = Table(this, 64, 20, 2);
  ram_->setObjectName(QStringLiteral("Ram"));
  QStringList columns;
  for (int c = 0; c < 16; ++c) {
    columns << QString::number(c, 16).toUpper();
  }
  columns << QStringLiteral("S0") << QStringLiteral("S1") << QStringLiteral("S2")
          << QStringLiteral("S3");
  ram_->setHorizontalHeaderLabels(columns);
  QDockWidget* ramDock = dock("RamDock", QStringLiteral("4002 RAM"), ram_, Qt::RightDockWidgetArea);

  // The ports: ROM ports with their output latch as lamps and input lines as switches, RAM
  // chips' output ports as lamps.
  auto* ports = new QWidget(this);
  auto* grid = new QGridLayout(ports);
  grid->addWidget(new QLabel(QStringLiteral("ROM port"), ports), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("Output 3-0"), ports), 0, 1, 1, 4);
  grid->addWidget(new QLabel(QStringLiteral("Input 3-0"), ports), 0, 5, 1, 4);
  grid->addWidget(new QLabel(QStringLiteral("RAM port (line:chip)"), ports), 0, 9);
  grid->addWidget(new QLabel(QStringLiteral("Output 3-0"), ports), 0, 10, 1, 4);
  for (int port = 0; port < 16; ++port) {
    grid->addWidget(new QLabel(QString::number(port, 16).toUpper(), ports), port + 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("%1:%2").arg(port / 4).arg(port % 4), ports),
                    port + 1, 9);
    for (int bit = 0; bit < 4; ++bit) {
      romLamps_[static_cast<std::size_t>(port)][static_cast<std::size_t>(bit)] = Lamp(ports);
      grid->addWidget(romLamps_[static_cast<std::size_t>(port)][static_cast<std::size_t>(bit)],
                      port + 1, 4 - bit);
      auto* input = new QCheckBox(ports);
      input->setObjectName(QStringLiteral("RomInput %1.%2").arg(port).arg(bit));
      romSwitches_[static_cast<std::size_t>(port)][static_cast<std::size_t>(bit)] = input;
      grid->addWidget(input, port + 1, 8 - bit);
      connect(input, &QCheckBox::toggled, this, [this, port, bit](bool on) {
        commands_->SetRomInputBit(static_cast<std::uint8_t>(port), bit, on);
      });
      ramLamps_[static_cast<std::size_t>(port)][static_cast<std::size_t>(bit)] = Lamp(ports);
      grid->addWidget(ramLamps_[static_cast<std::size_t>(port)][static_cast<std::size_t>(bit)],
                      port + 1, 13 - bit);
    }
  }
  QDockWidget* portsDock =
      dock("PortsDock", QStringLiteral("Ports"), ports, Qt::RightDockWidgetArea);
  tabifyDockWidget(ramDock, portsDock);
  portsDock->raise();

  // The serial terminal and its line.
  auto* serial = new QWidget(this);
  auto* serialLayout = new QVBoxLayout(serial);
  serialSettings_ = new QWidget(serial);
  auto* settings = new QHBoxLayout(serialSettings_);
  settings->setContentsMargins(0, 0, 0, 0);
  serialOn_ = new QCheckBox(QStringLiteral("Serial line on"), serial);
  serialOn_->setObjectName(QStringLiteral("SerialOn"));
  serialPin_ = new QLineEdit(serial);
  serialPin_->setObjectName(QStringLiteral("SerialPin"));
  serialPin_->setToolTip(QStringLiteral("Output pin: rom:P:B or ram:L:C:B"));
  serialFormat_ = new QLineEdit(serial);
  serialFormat_->setObjectName(QStringLiteral("SerialFormat"));
  serialFormat_->setMaximumWidth(50);
  serialBaud_ = new QSpinBox(serial);
  serialBaud_->setObjectName(QStringLiteral("SerialBaud"));
  serialBaud_->setRange(1, 1000000);
  serialReceive_ = new QCheckBox(QStringLiteral("Input on TEST"), serial);
  invertTransmit_ = new QCheckBox(QStringLiteral("Invert output"), serial);
  invertReceive_ = new QCheckBox(QStringLiteral("Invert input"), serial);
  auto* apply = new QPushButton(QStringLiteral("Apply"), serial);
  apply->setObjectName(QStringLiteral("SerialApply"));
  settings->addWidget(serialOn_);
  settings->addWidget(new QLabel(QStringLiteral("Pin"), serial));
  settings->addWidget(serialPin_);
  settings->addWidget(serialFormat_);
  settings->addWidget(serialBaud_);
  settings->addWidget(new QLabel(QStringLiteral("baud"), serial));
  settings->addWidget(serialReceive_);
  settings->addWidget(invertTransmit_);
  settings->addWidget(invertReceive_);
  settings->addWidget(apply);
  serialLayout->addWidget(serialSettings_);
  terminal_ = new Terminal(serial, *commands_);
  terminal_->setObjectName(QStringLiteral("Terminal"));
  serialLayout->addWidget(terminal_);
  connect(apply, &QPushButton::clicked, this, [this] { ApplySerialSettings(); });
  QDockWidget* terminalDock =
      dock("TerminalDock", QStringLiteral("Serial terminal"), serial, Qt::BottomDockWidgetArea);
  // The board's keyboard, switches, lamps and paper, when it has them.
  auto* boardScroll = new QScrollArea(this);
  boardScroll->setWidgetResizable(true);
  boardScroll->setFrameShape(QFrame::NoFrame);
  boardDock_ = new QDockWidget(QStringLiteral("Board"), this);
  boardDock_->setObjectName(QStringLiteral("BoardDock"));
  boardDock_->setWidget(boardScroll);
  addDockWidget(Qt::LeftDockWidgetArea, boardDock_);
  boardDock_->hide();

  // A first layout: the processor whole, the listing as tall as can be.
  resizeDocks({processorDock}, {470}, Qt::Horizontal);
  resizeDocks({processorDock, ramDock}, {450, 300}, Qt::Vertical);
  resizeDocks({terminalDock}, {150}, Qt::Vertical);
}

void DebuggerWindow::BuildBoardMenu() {
  QMenu* menu = menuBar()->addMenu(QStringLiteral("&Board"));
  // Before Help.
  menuBar()->insertMenu(menuBar()->actions().at(menuBar()->actions().size() - 2), menu);
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
  const boards::Board& board = session.board();
  for (auto& [name, action] : boardActions_) {
    action->setChecked(name == commands_->boardChoice());
  }
  serialSettings_->setEnabled(!session.boardDescription().has_value());
  keyButtons_.clear();
  switchBoxes_.clear();
  boardLamps_.clear();
  paper_ = nullptr;
  printing_ = nullptr;
  shownPaper_ = 0;
  const bool hasPanel = !board.Keys().empty() || !board.Lamps().empty() ||
                        board.Printer() != nullptr || !board.Switches().empty();
  auto* scroll = static_cast<QScrollArea*>(boardDock_->widget());
  delete scroll->takeWidget();
  if (!hasPanel) {
    boardDock_->hide();
    return;
  }
  const boards::BoardDescription& description = *session.boardDescription();
  boardDock_->setWindowTitle(
      Text(description.title.empty() ? description.name : description.title));
  auto* panel = new BoardPanel(scroll, *commands_);
  panel->setObjectName(QStringLiteral("BoardPanel"));
  auto* layout = new QVBoxLayout(panel);

  if (!board.Lamps().empty()) {
    auto* lamps = new QHBoxLayout;
    for (const boards::Board::Lamp& lamp : board.Lamps()) {
      auto* light = Lamp(panel);
      light->setObjectName(QStringLiteral("Lamp ") + Text(lamp.name));
      boardLamps_.push_back(light);
      lamps->addWidget(light);
      lamps->addWidget(new QLabel(Text(lamp.label.empty() ? lamp.name : lamp.label), panel));
      lamps->addSpacing(8);
    }
    lamps->addStretch();
    layout->addLayout(lamps);
  }
  if (!board.Switches().empty()) {
    auto* switches = new QHBoxLayout;
    for (std::size_t index = 0; index < board.Switches().size(); ++index) {
      const boards::Board::Switch& each = board.Switches()[index];
      switches->addWidget(new QLabel(Text(each.label.empty() ? each.name : each.label), panel));
      auto* box = new QComboBox(panel);
      box->setObjectName(QStringLiteral("Switch ") + Text(each.name));
      box->setFocusPolicy(Qt::NoFocus);
      for (const std::string& position : each.positions) {
        box->addItem(Text(position));
      }
      connect(box, &QComboBox::currentIndexChanged, this, [this, index](int position) {
        if (position >= 0) {
          Do([index, position](DebuggerCommands& c) {
            c.SetSwitch(index, static_cast<std::size_t>(position));
          });
        }
      });
      switchBoxes_.push_back(box);
      switches->addWidget(box);
      switches->addSpacing(8);
    }
    switches->addStretch();
    layout->addLayout(switches);
  }
  if (!board.Keys().empty()) {
    // Keys where the board puts them; the rest in rows below.
    auto* keys = new QGridLayout;
    keys->setSpacing(3);
    int lastRow = -1;
    for (const boards::Board::Key& key : board.Keys()) {
      lastRow = std::max(lastRow, key.place.row);
    }
    int spare = 0;
    for (std::size_t index = 0; index < board.Keys().size(); ++index) {
      const boards::Board::Key& key = board.Keys()[index];
      auto* button =
          new QPushButton(Text(key.place.label.empty() ? key.name : key.place.label), panel);
      button->setObjectName(QStringLiteral("Key ") + Text(key.name));
      button->setFocusPolicy(Qt::NoFocus);
      button->setMinimumSize(std::max(44, button->sizeHint().width()), 34);
      button->setToolTip(Text(key.name));
      connect(button, &QPushButton::clicked, this, [this, index, panel] {
        Do([index](DebuggerCommands& c) { c.PressKey(index); });
        panel->setFocus();
      });
      keyButtons_.push_back(button);
      if (key.place.row >= 0 && key.place.column >= 0) {
        keys->addWidget(button, key.place.row, key.place.column);
      } else {
        keys->addWidget(button, lastRow + 1 + spare / 8, spare % 8);
        ++spare;
      }
    }
    auto* keyRow = new QHBoxLayout;
    keyRow->addLayout(keys);
    keyRow->addStretch();
    layout->addLayout(keyRow);
  }
  if (board.Printer() != nullptr) {
    layout->addWidget(new QLabel(QStringLiteral("Paper"), panel));
    paper_ = new QPlainTextEdit(panel);
    paper_->setObjectName(QStringLiteral("Paper"));
    paper_->setReadOnly(true);
    paper_->setFocusPolicy(Qt::NoFocus);
    paper_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    paper_->setLineWrapMode(QPlainTextEdit::NoWrap);
    paper_->setStyleSheet(QStringLiteral("background: #fffdf3; color: black"));
    paper_->setMinimumHeight(paper_->fontMetrics().height() * 10);
    // As wide as the printer's widest line, like the roll of paper.
    const int paperWidth = paper_->fontMetrics().horizontalAdvance(QString(28, QLatin1Char('0'))) +
                           2 * paper_->frameWidth() + 12 +
                           paper_->verticalScrollBar()->sizeHint().width();
    paper_->setFixedWidth(paperWidth);
    layout->addWidget(paper_, 1, Qt::AlignHCenter);
    printing_ = new QLabel(panel);
    printing_->setObjectName(QStringLiteral("Printing"));
    printing_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    printing_->setStyleSheet(QStringLiteral("background: #fffdf3; color: black; padding: 2px"));
    printing_->setToolTip(QStringLiteral("The line at the hammers"));
    printing_->setFixedWidth(paperWidth);
    layout->addWidget(printing_, 0, Qt::AlignHCenter);
  }
  if (board.Printer() == nullptr) {
    layout->addStretch();
  }
  scroll->setWidget(panel);
  boardDock_->show();
  boardDock_->raise();
  // Wide enough for the whole keyboard.
  resizeDocks({boardDock_},
              {panel->sizeHint().width() + scroll->verticalScrollBar()->sizeHint().width() + 4},
              Qt::Horizontal);
}

void DebuggerWindow::ShowBoard() {
  if (shownBoardVersion_ != commands_->boardVersion()) {
    shownBoardVersion_ = commands_->boardVersion();
    RebuildBoardPanel();
  }
  const Session& session = commands_->session();
  const boards::Board& board = session.board();
  const std::uint64_t now = session.machine().cycles;
  for (std::size_t index = 0; index < boardLamps_.size() && index < board.Lamps().size(); ++index) {
    Light(boardLamps_[index], board.LampLit(index));
  }
  for (std::size_t index = 0; index < switchBoxes_.size(); ++index) {
    const QSignalBlocker block(switchBoxes_[index]);
    switchBoxes_[index]->setCurrentIndex(static_cast<int>(board.SwitchPosition(index, now)));
  }
  for (std::size_t index = 0; index < keyButtons_.size(); ++index) {
    const bool down = board.KeyDown(index, now);
    if (keyButtons_[index]->isDown() != down) {
      keyButtons_[index]->setDown(down);
    }
  }
  if (paper_ != nullptr) {
    const std::vector<PaperText>& paper = session.paper();
    if (shownPaper_ > paper.size()) {
      paper_->clear();
      paper_->setProperty("lines", 0);
      shownPaper_ = 0;
    }
    if (shownPaper_ < paper.size()) {
      for (; shownPaper_ < paper.size(); ++shownPaper_) {
        AppendPaper(paper_, paper[shownPaper_]);
      }
      paper_->verticalScrollBar()->setValue(paper_->verticalScrollBar()->maximum());
    }
    const PaperText printing = session.PrintingLine();
    QString text = Text(printing.text);
    if (printing.red && text.endsWith(QStringLiteral("  [red]"))) {
      text.chop(7);
    }
    printing_->setText(text.isEmpty() ? QStringLiteral(" ") : text);
    printing_->setStyleSheet(
        printing.red ? QStringLiteral("background: #fffdf3; color: #c81414; padding: 2px")
                     : QStringLiteral("background: #fffdf3; color: black; padding: 2px"));
  }
}

void DebuggerWindow::ApplySerialSettings() {
  SerialSettings settings;
  settings.enabled = serialOn_->isChecked();
  settings.pin = serialPin_->text().trimmed().toStdString();
  settings.format = serialFormat_->text().trimmed().toUpper().toStdString();
  settings.baud = serialBaud_->value();
  settings.receive = serialReceive_->isChecked();
  settings.invertTransmit = invertTransmit_->isChecked();
  settings.invertReceive = invertReceive_->isChecked();
  Do([&settings](DebuggerCommands& c) { c.SetSerial(settings); });
}

void DebuggerWindow::ShowSerialSettings() {
  const SerialSettings& serial = commands_->session().serial();
  serialOn_->setChecked(serial.enabled);
  serialPin_->setText(Text(serial.pin));
  serialFormat_->setText(Text(serial.format));
  serialBaud_->setValue(static_cast<int>(serial.baud));
  serialReceive_->setChecked(serial.receive);
  invertTransmit_->setChecked(serial.invertTransmit);
  invertReceive_->setChecked(serial.invertReceive);
}

void DebuggerWindow::RebuildListing() {
  const Program& program = commands_->session().program();
  listing_->setUpdatesEnabled(false);
  listing_->clearContents();
  listing_->setRowCount(static_cast<int>(program.rows.size()));
  for (int row = 0; row < static_cast<int>(program.rows.size()); ++row) {
    const ListingRow& line = program.rows[static_cast<std::size_t>(row)];
    std::string bytes;
    for (const std::uint8_t byte : line.bytes) {
      if (!bytes.empty()) {
        bytes += ' ';
      }
      bytes += translate::FormatByte(byte);
    }
    const QString address =
        line.address < 0
            ? QString()
            : Text(translate::FormatAddress(static_cast<std::int16_t>(line.address & 0xFFF)));
    listing_->setItem(row, 0, new QTableWidgetItem);
    listing_->setItem(row, 1, new QTableWidgetItem(address));
    listing_->setItem(row, 2, new QTableWidgetItem(Text(bytes)));
    listing_->setItem(row, 3, new QTableWidgetItem(Text(line.text)));
  }
  listing_->setUpdatesEnabled(true);
  const QString name = QFileInfo(Text(program.path)).fileName();
  setWindowTitle(name.isEmpty() ? QStringLiteral("Brindlewick Debugger")
                                : QStringLiteral("%1 - Brindlewick Debugger").arg(name));
  highlightedRow_ = -1;
  ShowSerialSettings();
}

void DebuggerWindow::ShowProcessor() {
  const ProcessorView view = MakeProcessorView(commands_->session().machine(), commands_->shown(),
                                               commands_->session().clock());
  // In the order of the names beside them.
  const Cell* values[] = {&view.acc,          &view.carry,   &view.pc,     &view.depth,
                          &view.cycles,       &view.time,    &view.src,    &view.dcl,
                          &view.registerBank, &view.romBank, &view.halted, &view.interrupts};
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    SetValue(fields_[i].second, *values[i]);
  }
  const bool is4040 = commands_->session().cpu() == simulate::Processor::I4040;
  registers_->setColumnHidden(3, !is4040);
  registers_->setColumnHidden(4, !is4040);
  registers_->setColumnHidden(5, !is4040);
  QStringList rows;
  for (int pair = 0; pair < 8; ++pair) {
    rows << QStringLiteral("R%1 R%2").arg(2 * pair, 0, 16).arg(2 * pair + 1, 0, 16).toUpper();
    SetCell(registers_, pair, 0, view.registers[static_cast<std::size_t>(2 * pair)]);
    SetCell(registers_, pair, 1, view.registers[static_cast<std::size_t>(2 * pair + 1)]);
    SetCell(registers_, pair, 2, view.pairs[static_cast<std::size_t>(pair)]);
    if (is4040 && pair < 4) {
      SetCell(registers_, pair, 3, view.registers[static_cast<std::size_t>(16 + 2 * pair)]);
      SetCell(registers_, pair, 4, view.registers[static_cast<std::size_t>(17 + 2 * pair)]);
      SetCell(registers_, pair, 5, view.pairs[static_cast<std::size_t>(8 + pair)]);
    } else {
      for (int column = 3; column < 6; ++column) {
        SetCell(registers_, pair, column, Cell{});
      }
    }
  }
  if (registers_->verticalHeaderItem(0) == nullptr) {
    registers_->setVerticalHeaderLabels(rows);
  }
  stack_->setRowCount(static_cast<int>(view.stack.size()));
  for (int i = 0; i < static_cast<int>(view.stack.size()); ++i) {
    SetCell(stack_, i, 0, view.stack[static_cast<std::size_t>(i)]);
  }
}

void DebuggerWindow::ShowMemory() {
  const std::vector<RamRow> rows = MakeRamView(commands_->session().machine(), commands_->shown());
  if (ram_->verticalHeaderItem(0) == nullptr) {
    QStringList names;
    for (const RamRow& row : rows) {
      names << Text(row.name);
    }
    ram_->setVerticalHeaderLabels(names);
  }
  for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
    for (int c = 0; c < 20; ++c) {
      SetCell(ram_, row, c,
              rows[static_cast<std::size_t>(row)].characters[static_cast<std::size_t>(c)]);
    }
  }
}

void DebuggerWindow::ShowPorts() {
  const simulate::Machine& machine = commands_->session().machine();
  for (std::size_t port = 0; port < 16; ++port) {
    for (std::size_t bit = 0; bit < 4; ++bit) {
      Light(romLamps_[port][bit], ((machine.romPorts[port] >> bit) & 1) != 0);
      Light(ramLamps_[port][bit], ((machine.ramPorts[port] >> bit) & 1) != 0);
    }
  }
}

void DebuggerWindow::ShowRunning() {
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
  const bool listingRebuilt = shownVersion_ != commands_->programVersion();
  if (listingRebuilt) {
    shownVersion_ = commands_->programVersion();
    RebuildListing();
  }
  const Session& session = commands_->session();
  // The breakpoints, where they changed, and the next instruction.
  const Program& program = session.program();
  if (shownBreakpoints_ != session.breakpoints() || listingRebuilt) {
    shownBreakpoints_ = session.breakpoints();
    for (int row = 0; row < listing_->rowCount(); ++row) {
      QTableWidgetItem* mark = listing_->item(row, 0);
      const int address = program.rows[static_cast<std::size_t>(row)].address;
      const QString text = session.HasBreakpoint(address) ? QStringLiteral("\u25CF") : QString();
      if (mark != nullptr && mark->text() != text) {
        mark->setText(text);
        mark->setForeground(QBrush(Qt::red));
      }
    }
  }
  const int next = program.RowOf(session.NextAddress());
  if (next != highlightedRow_) {
    for (const int row : {highlightedRow_, next}) {
      if (row < 0 || row >= listing_->rowCount()) {
        continue;
      }
      for (int column = 1; column < 4; ++column) {
        listing_->item(row, column)->setBackground(row == next ? QBrush(kNext) : QBrush());
      }
    }
    highlightedRow_ = next;
    if (next >= 0) {
      listing_->scrollToItem(listing_->item(next, 3));
    }
  }
  ShowProcessor();
  ShowMemory();
  ShowPorts();
  ShowBoard();
  const std::string output = commands_->TakeTerminalOutput();
  if (!output.empty()) {
    terminal_->moveCursor(QTextCursor::End);
    terminal_->insertPlainText(
        QString::fromLatin1(output.data(), static_cast<qsizetype>(output.size())));
    terminal_->verticalScrollBar()->setValue(terminal_->verticalScrollBar()->maximum());
  }
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
  commands_->MarkShown();
  ShowRunning();
}

void DebuggerWindow::closeEvent(QCloseEvent* event) {
  QSettings settings;
  settings.setValue(QStringLiteral("debugger/geometry"), saveGeometry());
  settings.setValue(QStringLiteral("debugger/state"), saveState());
  QMainWindow::closeEvent(event);
}

} // namespace debugger
