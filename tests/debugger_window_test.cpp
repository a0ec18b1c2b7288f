#include "debugger/window/debugger_window.h"
#include "debugger/window/terminal_dock.h"
#include "modal.h"
#include "test_files.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The debugger window on Qt's offscreen platform, driven with keys and clicks.
class DebuggerWindowTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void init() {
    QVERIFY(folder.isValid());
    // Each test starts from the first layout and no remembered settings.
    QSettings().clear();
    window = std::make_unique<debugger::DebuggerWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
  }

  void cleanup() { window.reset(); }

  void stepShowsTheRegisters() {
    QCOMPARE(window->windowTitle(), QString("Brindlewick Debugger"));
    QVERIFY(!window->windowIcon().isNull());
    Open("LDM 5\nXCH 2\nLDM 9\n");
    QTest::keyClick(window.get(), Qt::Key_F11);
    QTest::keyClick(window.get(), Qt::Key_F11);
    QCOMPARE(Value("A"), QString("0"));
    QCOMPARE(Value("PC"), QString("002"));
    auto* registers = window->findChild<QTableWidget*>("Registers");
    QCOMPARE(registers->item(1, 0)->text(), QString("5"));            // R2
    QVERIFY(registers->item(1, 0)->background().color() != QColor()); // it changed
    QCOMPARE(Listing()->item(2, 3)->text(), QString("LDM 9"));
    QVERIFY2(Listing()->item(2, 1)->background() != QBrush(), "the next instruction stands out");
  }

  void aBreakpointStopsTheRun() {
    Open("START:\nLDM 5\nINC 3\nJUN START\n");
    // A click in the first column of INC 3's row sets the breakpoint.
    ClickCell(2, 0);
    QCOMPARE(Listing()->item(2, 0)->text(), QString(QChar(0x25CF)));
    QTest::keyClick(window.get(), Qt::Key_F5);
    QTRY_VERIFY(!window->commands().Running());
    QCOMPARE(Value("PC"), QString("001"));
    QCOMPARE(window->statusBar()->currentMessage(), QString("Stopped at the breakpoint at 001."));
    // F9 on the selected row takes it away again.
    Listing()->setCurrentCell(2, 3);
    QTest::keyClick(window.get(), Qt::Key_F9);
    QCOMPARE(Listing()->item(2, 0)->text(), QString());
  }

  // The Ports dock's INT button asks the 4040 for an interrupt, held until it is taken: the
  // routine at 003 counts it in R5.
  void theIntButtonReachesTheRoutine() {
    Open("JUN START\nNOP\nINC 5\nBBS\nSTART:\nSEI\nL:\nJUN L\n");
    auto* button = window->findChild<QPushButton*>("Interrupt");
    QVERIFY(button != nullptr);
    QVERIFY2(!button->isEnabled(), "the 4004 has no INT");
    window->findChild<QComboBox*>("Processor")->setCurrentIndex(1);
    QVERIFY(button->isEnabled());
    for (int i = 0; i < 3; ++i) {
      QTest::keyClick(window.get(), Qt::Key_F11);
    }
    QTest::mouseClick(button, Qt::LeftButton);
    for (int i = 0; i < 3; ++i) {
      QTest::keyClick(window.get(), Qt::Key_F11); // the interrupt, INC 5, BBS
    }
    auto* registers = window->findChild<QTableWidget*>("Registers");
    QCOMPARE(registers->item(2, 1)->text(), QString("1")); // R5
    QCOMPARE(Value("PC"), QString("006"));                 // back in the loop
  }

  void whatIsTypedReachesTheProgram() {
    Open("FIM 0, 00\nSRC 0\nLDM 1\nWRR\nL:\nJT LOW\nLDM 1\nWRR\nJUN L\nLOW:\nLDM 0\nWRR\nJUN L\n");
    window->findChild<QCheckBox*>("SerialOn")->setChecked(true);
    window->findChild<QLineEdit*>("SerialPin")->setText("rom:0:0");
    window->findChild<QSpinBox*>("SerialBaud")->setValue(1200);
    QTest::mouseClick(window->findChild<QPushButton*>("SerialApply"), Qt::LeftButton);
    QTest::keyClick(window.get(), Qt::Key_F5);
    auto* terminal = window->findChild<QPlainTextEdit*>("Terminal");
    QTest::keyClicks(terminal, "ok");
    QTRY_COMPARE(terminal->toPlainText(), QString("ok"));
    QTest::keyClick(window.get(), Qt::Key_F5, Qt::ShiftModifier);
    QTRY_VERIFY(!window->commands().Running());
  }

  void aChangedFileIsReloadedWithItsBreakpoints() {
    const QString path = Open("LDM 1\nLDM 2\nLDM 3\n");
    ClickCell(2, 0); // LDM 3 at 002
    const ModalAnswers answer([](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box != nullptr);
      box->button(QMessageBox::Yes)->click();
    });
    WriteFileBytes(path.toStdString(), "NOP\nLDM 1\nLDM 2\nLDM 3\n");
    QTRY_COMPARE(Listing()->rowCount(), 4);
    QCOMPARE(Listing()->item(3, 0)->text(), QString(QChar(0x25CF)));
    QVERIFY(window->commands().session().HasBreakpoint(0x003));
  }

  // The open file changed and no longer assembles: the program stays, the failing line is red.
  void aReloadThatFailsKeepsTheProgramAndMarksTheLine() {
    const QString path = Open("LDM 1\nLDM 2\nLDM 3\n");
    QString text;
    const ModalAnswers answers(
        {[](QWidget* modal) {
           qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
         },
         [&text](QWidget* modal) {
           auto* box = qobject_cast<QMessageBox*>(modal);
           QVERIFY(box != nullptr);
           text = box->text();
           box->button(QMessageBox::Ok)->click();
         }});
    WriteFileBytes(path.toStdString(), "LDM 1\nSRC 9\nLDM 3\n");
    QTRY_VERIFY(!text.isEmpty());
    QVERIFY2(text.contains("The program loaded before stays"), qPrintable(text));
    window->Refresh();
    QCOMPARE(Listing()->item(1, 3)->text(), QString("LDM 2"));
    QCOMPARE(Listing()->item(1, 3)->foreground().color(), QColor(Qt::red));
  }

  void aSourceErrorIsShownAndTheProgramKept() {
    Open("LDM 1\n");
    QString text;
    const ModalAnswers answer([&text](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box != nullptr);
      text = box->text();
      box->button(QMessageBox::Ok)->click();
    });
    const QString bad = folder.filePath("bad.asm");
    WriteFileBytes(bad.toStdString(), "NOP\nSRC 9\n");
    window->commands().Open(bad.toStdString());
    QCOMPARE(text, "\"" + bad + "\" does not assemble: line 2: Register out of range\n\nSRC 9");
    window->Refresh();
    QCOMPARE(Listing()->rowCount(), 1);
  }

  // The Busicom 141-PF firmware on its board: keys clicked on the panel and typed on it come out
  // on the paper.
  void theCalculatorPrintsWhatIsClickedAndTyped() {
    const QString firmware =
        QStringLiteral(BRINDLEWICK_SOURCE_DIR) + "/../shared/firmware/busicom141pf.bin";
    if (!QFileInfo::exists(firmware)) {
      QSKIP("no firmware in ../shared/firmware");
    }
    QVERIFY(window->commands().Open(firmware.toStdString()));
    window->findChild<QAction*>("Board busicom-141pf")->trigger();
    auto* panel = window->findChild<QWidget*>("BoardPanel");
    QVERIFY(panel != nullptr && panel->isVisible());
    // As fast as the machine goes, so that the test does not wait for the drum.
    window->commands().SetRealSpeed(false);
    QTest::keyClick(window.get(), Qt::Key_F5);
    for (const char* key : {"1", "2", "+"}) {
      QTest::mouseClick(panel->findChild<QPushButton*>(QString("Key ") + key), Qt::LeftButton);
      QTest::qWait(60);
    }
    for (const char key : std::string("34+\r")) {
      QTest::keyClick(panel, key == '\r' ? Qt::Key_Return : Qt::Key(key));
      QTest::qWait(60);
    }
    auto* paper = panel->findChild<QPlainTextEdit*>("Paper");
    QTRY_COMPARE(paper->toPlainText(), QString("             12 +\n             34 +\n"
                                               "             46    *\n"));
    QTest::keyClick(window.get(), Qt::Key_F5, Qt::ShiftModifier);
    QTRY_VERIFY(!window->commands().Running());
  }

  // An editor that saves by removing the file and writing it anew: the change is seen, and so
  // are the changes after it.
  void aFileRemovedAndWrittenAgainIsStillWatched() {
    const QString path = Open("LDM 1\n");
    const auto yes = [](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box != nullptr);
      box->button(QMessageBox::Yes)->click();
    };
    const ModalAnswers answers({yes, yes, yes});
    QFile::remove(path);
    QTest::qWait(300);
    WriteFileBytes(path.toStdString(), "LDM 1\nLDM 2\n");
    QTRY_COMPARE(Listing()->rowCount(), 2);
    for (int lines = 3; lines <= 4; ++lines) {
      std::string source;
      for (int i = 1; i <= lines; ++i) {
        source += "LDM " + std::to_string(i) + "\n";
      }
      QTest::qWait(300);
      WriteFileBytes(path.toStdString(), source);
      QTRY_COMPARE(Listing()->rowCount(), lines);
    }
  }

  // Back one instruction and forward again; an edit by hand, and Ctrl+Z.
  void stepBackAndEditsWithUndo() {
    Open("LDM 5\nXCH 2\nLDM 9\n");
    for (int i = 0; i < 3; ++i) {
      QTest::keyClick(window.get(), Qt::Key_F11);
    }
    QCOMPARE(Value("A"), QString("9"));
    QTest::keyClick(window.get(), Qt::Key_F11, Qt::ControlModifier);
    QCOMPARE(Value("PC"), QString("002"));
    QCOMPARE(Value("A"), QString("0"));
    QVERIFY2(window->findChild<QLineEdit*>("Value A")->styleSheet().contains("ffd68c"),
             "what going back changed is marked");
    auto* registers = window->findChild<QTableWidget*>("Registers");
    registers->setCurrentCell(3, 1); // R7
    QTest::keyClick(registers, Qt::Key_F2);
    auto* editor = registers->findChild<QLineEdit*>();
    QVERIFY(editor != nullptr);
    editor->setText("c");
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(registers->item(3, 1)->text(), QString("C"));
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(registers->item(3, 1)->text(), QString("0"));
  }

  // A watch typed into the Breakpoints dock stops the run and counts its hit; where the
  // program runs out of its source, its memory shows disassembled.
  void aWatchStopsTheRun() {
    Open("L:\nINC 5\nJUN L\n");
    auto* add = window->findChild<QLineEdit*>("AddWatch");
    add->setText("watch r5 = 3");
    QTest::keyClick(add, Qt::Key_Return);
    QCOMPARE(add->text(), QString());
    QTest::keyClick(window.get(), Qt::Key_F5);
    QTRY_VERIFY(!window->commands().Running());
    auto* registers = window->findChild<QTableWidget*>("Registers");
    QCOMPARE(registers->item(2, 1)->text(), QString("3"));
    auto* list = window->findChild<QTableWidget*>("Breakpoints");
    QCOMPARE(list->item(0, 0)->text(), QString("watch r5 = 3"));
    QCOMPARE(list->item(0, 2)->text(), QString("1"));
  }

  void memoryWithoutSourceIsDisassembled() {
    Open("NOP\n");
    auto* disassembly = window->findChild<QTableWidget*>("Disassembly");
    QVERIFY(!InFront("Disassembly"));
    QTest::keyClick(window.get(), Qt::Key_F11); // on into the empty memory after it
    QTRY_VERIFY(InFront("Disassembly"));
    const auto found = disassembly->findItems("001", Qt::MatchExactly);
    QVERIFY(!found.isEmpty());
    QVERIFY(found.front()->background() != QBrush());
  }

  // The terminal draws what a monitor sends as a terminal would; Ctrl and a letter send the
  // control character; a dock closed comes back from the View menu.
  void theTerminalIsATerminalAndDocksComeBack() {
    Open("L:\nJUN L\n");
    window->findChild<QCheckBox*>("SerialOn")->setChecked(true);
    QTest::mouseClick(window->findChild<QPushButton*>("SerialApply"), Qt::LeftButton);
    auto* terminal = window->findChild<QPlainTextEdit*>("Terminal");
    auto* dock = terminal->parentWidget();
    while (dock != nullptr && dynamic_cast<debugger::TerminalDock*>(dock) == nullptr) {
      dock = dock->parentWidget();
    }
    QVERIFY(dock != nullptr);
    static_cast<debugger::TerminalDock*>(dock)->Append("AB\bC\a\r\nD\x1B[2JE");
    QCOMPARE(terminal->toPlainText(), QString("AC\nDE"));
    QTest::keyClick(terminal, Qt::Key_C, Qt::ControlModifier);
    const simulate::SerialFeeder* input = window->commands().session().board().Input();
    QVERIFY(input != nullptr);
    QCOMPARE(input->Waiting(), std::size_t{1});
    QTest::mouseClick(window->findChild<QPushButton*>("ClearTerminal"), Qt::LeftButton);
    QCOMPARE(terminal->toPlainText(), QString());
    // Reset empties it, unless the text is to be kept.
    static_cast<debugger::TerminalDock*>(dock)->Append("kept");
    window->findChild<QCheckBox*>("KeepTerminal")->setChecked(true);
    QTest::keyClick(window.get(), Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(terminal->toPlainText(), QString("kept"));
    window->findChild<QCheckBox*>("KeepTerminal")->setChecked(false);
    QTest::keyClick(window.get(), Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(terminal->toPlainText(), QString());

    auto* trace = window->findChild<QDockWidget*>("TraceDock");
    trace->close();
    QVERIFY(!trace->isVisible());
    bool found = false;
    for (QAction* action : window->findChildren<QAction*>()) {
      if (action == trace->toggleViewAction()) {
        action->trigger();
        found = true;
      }
    }
    QVERIFY(found);
    QVERIFY(trace->isVisible());

    // Under a board, the greyed serial fields show the board's line.
    QVERIFY(window->commands().ChooseBoard("4004-sbc"));
    window->Refresh();
    QCOMPARE(window->findChild<QLineEdit*>("SerialPin")->text(), QString("ram:0:0:0"));
    QCOMPARE(window->findChild<QLineEdit*>("SerialFormat")->text(), QString("7N1"));
  }

private:
  QString Open(const char* source) {
    const QString path = folder.filePath("program.asm");
    WriteFileBytes(path.toStdString(), source);
    if (!window->commands().Open(path.toStdString())) {
      return {};
    }
    window->Refresh();
    return path;
  }

  QTableWidget* Listing() const { return window->findChild<QTableWidget*>("Listing"); }

  // Whether the dock titled `title` is the one in front among those sharing its place.
  bool InFront(const QString& title) const {
    for (const QTabBar* tabs : window->findChildren<QTabBar*>()) {
      for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == title) {
          return tabs->currentIndex() == i;
        }
      }
    }
    return false;
  }

  QString Value(const char* name) const {
    const QString object = QString("Value ") + name;
    // The accumulator and the carry can be edited; the other values are labels.
    if (auto* edit = window->findChild<QLineEdit*>(object)) {
      return edit->text();
    }
    return window->findChild<QLabel*>(object)->text();
  }

  void ClickCell(int row, int column) {
    QTableWidget* listing = Listing();
    const QRect cell = listing->visualItemRect(listing->item(row, column));
    QTest::mouseClick(listing->viewport(), Qt::LeftButton, {}, cell.center());
  }

  QTemporaryDir folder;
  std::unique_ptr<debugger::DebuggerWindow> window;
};

QTEST_MAIN(DebuggerWindowTest)
#include "debugger_window_test.moc"
