#include "failing_finish.h"
#include "modal.h"
#include "test_files.h"
#include "translate/instruction_table.h"
#include "window/form1.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <csignal>
#include <memory>

namespace {

// Answers a file dialog with `path`.
ModalAnswers::Action ChoosingFile(const QString& path) {
  return [path](QWidget* modal) { ChooseInFileDialog(modal, path); };
}

// Clicks the button of a message box (Save, Discard, Yes, ...) and keeps its text in `text`.
ModalAnswers::Action Clicking(QMessageBox::StandardButton button, QString& text) {
  return [button, &text](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QVERIFY(box != nullptr);
    text = box->text();
    QVERIFY(box->button(button) != nullptr);
    box->button(button)->click();
  };
}

// Dismisses a message box and keeps its text in `text`.
ModalAnswers::Action DismissingMessage(QString& text) {
  return [&text](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QVERIFY(box != nullptr);
    text = box->text();
    box->button(QMessageBox::Ok)->click();
  };
}

} // namespace

class Form1Test : public QObject {
  Q_OBJECT

private slots:
  void init() {
    form = std::make_unique<window::Form1>();
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QVERIFY(folder.isValid());
  }

  void cleanup() { form.reset(); }

  void loadingFillsTheMnemonicTable() { QCOMPARE(translate::Mnemonics[65], "DATA"); }

  void controlsSitWhereTheTwipsSay_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry"); // pixels at 96 dots per inch: twips / 15
    QTest::newRow("Text1") << "Text1" << QRect(16, 32, 353, 441);
    QTest::newRow("Command1") << "Command1" << QRect(16, 488, 57, 25);
    QTest::newRow("Command2") << "Command2" << QRect(144, 488, 65, 25);
    QTest::newRow("Text3") << "Text3" << QRect(416, 32, 233, 441);
    QTest::newRow("Command3") << "Command3" << QRect(80, 488, 57, 25);
    QTest::newRow("Label1") << "Label1" << QRect(72, 8, 105, 17);
    QTest::newRow("Label3") << "Label3" << QRect(448, 8, 105, 17);
    QTest::newRow("Command4") << "Command4" << QRect(416, 488, 233, 25);
  }

  void controlsSitWhereTheTwipsSay() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    if (form->logicalDpiX() != 96 || form->logicalDpiY() != 96) {
      QSKIP("the screen is not at 96 dots per inch");
    }
    QCOMPARE(form->size(), QSize(671, 530));
    auto* control = form->findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    QCOMPARE(control->geometry(), geometry);
    // Resizing the window moves nothing.
    form->resize(1000, 800);
    QCOMPARE(control->geometry(), geometry);
    form->resize(300, 200);
    QCOMPARE(control->geometry(), geometry);
  }

  void captionsAndFonts() {
    QCOMPARE(form->windowTitle(), QString("Brindlewick"));
    const std::pair<const char*, const char*> buttons[] = {{"Command1", "Open"},
                                                           {"Command2", "Assemble"},
                                                           {"Command3", "Save"},
                                                           {"Command4", "Save binary file"}};
    for (const auto& [name, caption] : buttons) {
      auto* button = form->findChild<QPushButton*>(name);
      QVERIFY(button != nullptr);
      QCOMPARE(button->text(), QString(caption));
      // No default button, so Enter in a text area is a new line.
      QVERIFY(!button->isDefault());
      QVERIFY(!button->autoDefault());
    }
    const std::pair<const char*, const char*> labels[] = {{"Label1", "Assembly Code"},
                                                          {"Label3", "Machine Code"}};
    for (const auto& [name, caption] : labels) {
      auto* label = form->findChild<QLabel*>(name);
      QVERIFY(label != nullptr);
      QCOMPARE(label->text(), QString(caption));
      QCOMPARE(label->font().pointSize(), 12);
      QVERIFY(label->font().bold());
      QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
    }
    for (const char* name : {"Text1", "Text3"}) {
      auto* area = form->findChild<QPlainTextEdit*>(name);
      QVERIFY(area != nullptr);
      QCOMPARE(area->toPlainText(), QString());
      QCOMPARE(area->lineWrapMode(), QPlainTextEdit::NoWrap);
      QCOMPARE(area->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
      QCOMPARE(area->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }
  }

  void tabVisitsTheControlsInOrder() {
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("Text1"));
    QStringList visited;
    for (int i = 0; i < 6; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited,
             QStringList({"Command1", "Command2", "Text3", "Command3", "Command4", "Text1"}));
  }

  void enterInTheSourceAreaIsANewLine() {
    auto* text1 = form->findChild<QPlainTextEdit*>("Text1");
    QList<std::shared_ptr<QSignalSpy>> spies;
    for (auto* button : form->findChildren<QPushButton*>()) {
      spies << std::make_shared<QSignalSpy>(button, &QPushButton::clicked);
    }
    QTest::keyClicks(text1, "NOP");
    QTest::keyClick(text1, Qt::Key_Return);
    QTest::keyClicks(text1, "NOP");
    QCOMPARE(text1->toPlainText(), QString("NOP\nNOP"));
    for (const auto& spy : spies) {
      QCOMPARE(spy->count(), 0);
    }
  }

  void typingAndAssemblingShowsTheListing() {
    auto* text1 = form->findChild<QPlainTextEdit*>("Text1");
    for (const char* line : {"JUN NEXT", "NOP", "NEXT:", "JZ NEXT"}) {
      QTest::keyClicks(text1, line);
      QTest::keyClick(text1, Qt::Key_Return);
    }
    QTest::mouseClick(form->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QCOMPARE(form->findChild<QPlainTextEdit*>("Text3")->toPlainText(),
             QString("000    40 03\n002    00\n003    14 03\n"));
  }

  void aRejectedLineIsShownAndSelected() {
    auto* text1 = form->findChild<QPlainTextEdit*>("Text1");
    text1->setPlainText("NOP\nLDM 5\nFIM 9\nNOP");
    QString message;
    const ModalAnswers answer(DismissingMessage(message));
    QTest::mouseClick(form->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QCOMPARE(message, QString("Register out of range"));
    QCOMPARE(text1->textCursor().selectedText(), QString("FIM 9"));
    QCOMPARE(form->focusWidget(), text1);
  }

  // The correction typed over the selected line replaces that line and nothing else.
  void typingOverARejectedLineKeepsTheNextLine() {
    auto* text1 = form->findChild<QPlainTextEdit*>("Text1");
    text1->setPlainText("NOP\nLDM 1\nSRC 8\nXCH 6\nNOP\nNOP");
    QString message;
    const ModalAnswers answer(DismissingMessage(message));
    Click("Command2");
    QCOMPARE(message, QString("Register out of range"));
    QCOMPARE(form->focusWidget(), text1);
    QTest::keyClicks(text1, "SRC 7");
    Click("Command2");
    QCOMPARE(Listing(),
             QString("000    00\n001    D1\n002    2F\n003    B6\n004    00\n005    00\n"));
  }

  // Shift+Enter, pasting and dropping bring line and paragraph separators; each must become a
  // line break that the assembler sees, not a character inside the line.
  void lineAndParagraphSeparatorsBecomeLineBreaks() {
    auto* text1 = form->findChild<QPlainTextEdit*>("Text1");
    QTest::keyClicks(text1, "NOP");
    QTest::keyClick(text1, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(text1, "LDM 5");
    QApplication::clipboard()->setText(QString("\nDATA 01") + QChar(QChar::LineSeparator) +
                                       "DATA 02" + QChar(QChar::ParagraphSeparator));
    QTest::keyClick(text1, Qt::Key_V, Qt::ControlModifier);

    QMimeData dropped;
    dropped.setText(QString("DATA 03") + QChar(QChar::LineSeparator) + "DATA 04");
    text1->moveCursor(QTextCursor::End);
    const QPoint at = text1->cursorRect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(text1->viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(text1->viewport(), &drop);
    QVERIFY(drop.isAccepted());

    QVERIFY(!text1->toPlainText().contains(QChar(QChar::LineSeparator)));
    Click("Command2");
    QCOMPARE(Listing(),
             QString("000    00\n001    D5\n002    01\n003    02\n004    03\n005    04\n"));
  }

  void openIsOneEditThatUndoTakesBack() {
    auto* text1 = form->findChild<QPlainTextEdit*>("Text1");
    QTest::keyClicks(text1, "NOP");
    const QString in = folder.filePath("in.asm");
    WriteFileBytes(in.toStdString(), "LDM 1\r\nLDM 2\r\n");
    const ModalAnswers answer(ChoosingFile(in));
    Click("Command1");
    QCOMPARE(text1->toPlainText(), QString("LDM 1\nLDM 2\n"));
    QTest::keyClick(text1, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(text1->toPlainText(), QString("NOP"));
    // The typing before it can still be undone too.
    while (text1->document()->isUndoAvailable()) {
      QTest::keyClick(text1, Qt::Key_Z, Qt::ControlModifier);
    }
    QCOMPARE(text1->toPlainText(), QString());
  }

  void enterPressesTheFocusedButton_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter);
  }

  void enterPressesTheFocusedButton() {
    QFETCH(int, key);
    form->findChild<QPlainTextEdit*>("Text1")->setPlainText("LDM 7");
    auto* assemble = form->findChild<QPushButton*>("Command2");
    assemble->setFocus();
    QTest::keyClick(assemble, Qt::Key(key),
                    key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(Listing(), QString("000    D7\n"));
  }

  void theWindowShowsTheProgramsIcon() {
    const QIcon icon = form->windowIcon();
    QVERIFY(!icon.isNull());
    const QImage image = icon.pixmap(32, 32).toImage();
    QCOMPARE(image.size(), QSize(32, 32));
    // Drawn from the picture: the chip's lid in the middle, nothing in the corner.
    QVERIFY(qAlpha(image.pixel(16, 16)) == 255);
    QVERIFY(qAlpha(image.pixel(0, 0)) == 0);
  }

  void aFailingLineDeepInALargeSourceIsSelected() {
    QString text;
    const QString comment = "; " + QString(1000, '-') + "\n";
    while (text.size() < (1 << 20)) {
      text += comment;
    }
    const int badLine = static_cast<int>(text.size()) + 4;
    text += "NOP\nJMP AWAY\nNOP";
    auto* text1 = form->findChild<QPlainTextEdit*>("Text1");
    text1->setPlainText(text);
    QString message;
    const ModalAnswers answer(DismissingMessage(message));
    QTest::mouseClick(form->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QCOMPARE(message, QString("Undefined instruction"));
    QCOMPARE(text1->textCursor().selectionStart(), badLine);
    QCOMPARE(text1->textCursor().selectedText(), QString("JMP AWAY"));
  }

  void everyByteSurvivesOpenAndSave() {
    // Every byte value but zero, with CR LF between the lines; a no-break space (A0) included.
    std::string bytes;
    for (int b = 1; b < 256; ++b) {
      if (b != '\r' && b != '\n') {
        bytes.push_back(static_cast<char>(b));
      }
      if (b % 64 == 0) {
        bytes += "\r\n";
      }
    }
    const QString in = folder.filePath("in.asm");
    const QString out = folder.filePath("out.asm");
    WriteFileBytes(in.toStdString(), bytes);
    const ModalAnswers answers({ChoosingFile(in), ChoosingFile(out)});
    QTest::mouseClick(form->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QTest::mouseClick(form->findChild<QPushButton*>("Command3"), Qt::LeftButton);
    QCOMPARE(ReadFileBytes(out.toStdString()), bytes);
  }

  void saveBinaryFileWritesTheImageOrSaysWhyNot() {
    const QString out = folder.filePath("out.bin");
    WriteFileBytes(out.toStdString(), "old image");
    QString message;
    QString question;
    const ModalAnswers answers(
        {DismissingMessage(message), ChoosingFile(out), Clicking(QMessageBox::Yes, question)});
    QTest::mouseClick(form->findChild<QPushButton*>("Command4"), Qt::LeftButton);
    QVERIFY(message.startsWith("There is no assembled program to save"));

    form->findChild<QPlainTextEdit*>("Text1")->setPlainText("FIM 7, FF\nDATA 3F");
    QTest::mouseClick(form->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QTest::mouseClick(form->findChild<QPushButton*>("Command4"), Qt::LeftButton);
    QCOMPARE(ReadFileBytes(out.toStdString()), std::string("\x2E\xFF\x3F"));
  }

  // Real failures: a file-size limit, a path under a regular file, and a flush or a close of
  // the temporary file that fails, as on a full or broken disk.
  void aFailedSaveIsShownAndTheOldFileKept_data() {
    QTest::addColumn<QString>("target"); // in the test's folder
    QTest::addColumn<bool>("sizeLimit");
    QTest::addColumn<QString>("failingCall");
    QTest::addColumn<QString>("ending");
    const QString kept = "The file is left as it was.";
    QTest::newRow("file size limit") << "old.asm" << true << "" << kept;
    QTest::newRow("path under a regular file") << "old.asm/inner" << false << ""
                                               << "Nothing was written.";
    QTest::newRow("flush fails") << "old.asm" << false << "fsync" << kept;
    QTest::newRow("close fails") << "old.asm" << false << "close" << kept;
    QTest::newRow("flush of a new file fails") << "new.asm" << false << "fsync"
                                               << "Nothing was written.";
  }

  void aFailedSaveIsShownAndTheOldFileKept() {
    QFETCH(QString, target);
    QFETCH(bool, sizeLimit);
    QFETCH(QString, failingCall);
    QFETCH(QString, ending);
    const std::string old = "old source\r\n";
    WriteFileBytes(folder.filePath("old.asm").toStdString(), old);
    const QStringList before = QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden);
    form->findChild<QPlainTextEdit*>("Text1")->setPlainText(QString(100000, 'x'));

    // The limit makes the write fail part-way; SIGXFSZ would otherwise end the process.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = sizeLimit ? 4096 : saved.rlim_cur;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    const FailingFinish failing(failingCall.toStdString());
    QString message;
    const QString path = folder.filePath(target);
    QString question;
    std::vector<ModalAnswers::Action> actions{ChoosingFile(path)};
    if (QFileInfo(path).isFile()) {
      actions.push_back(Clicking(QMessageBox::Yes, question)); // replace another file: yes
    }
    actions.push_back(DismissingMessage(message));
    const ModalAnswers answers(actions);
    Click("Command3");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    QVERIFY2(message.startsWith("Cannot save \"" + path + "\": "), qPrintable(message));
    QVERIFY2(message.endsWith(ending), qPrintable(message));
    QCOMPARE(ReadFileBytes(folder.filePath("old.asm").toStdString()), old);
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
  }

  // Closing asks to save the source only when it changed since it was opened or saved; an undo
  // back to that state counts as no change.
  void closingWithUnsavedEditsAsksFirst() {
    auto* text1 = form->findChild<QPlainTextEdit*>("Text1");
    {
      const ModalAnswers none(std::vector<ModalAnswers::Action>{});
      QTest::keyClicks(text1, "NOP");
      while (text1->document()->isUndoAvailable()) {
        QTest::keyClick(text1, Qt::Key_Z, Qt::ControlModifier);
      }
      QVERIFY(form->close());
    }
    form->show();
    QTest::keyClicks(text1, "NOP ; typed, never saved");
    QString question;
    {
      const ModalAnswers cancel(Clicking(QMessageBox::Cancel, question));
      QVERIFY2(!form->close(), "Cancel keeps the window open");
    }
    QCOMPARE(question, QString("Save changes to the source?"));
    QCOMPARE(text1->toPlainText(), QString("NOP ; typed, never saved"));
    const QString path = folder.filePath("kept.asm");
    {
      // Save goes through the usual Save; a cancelled save dialog keeps the window open too.
      const ModalAnswers save({Clicking(QMessageBox::Save, question),
                               [](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); },
                               Clicking(QMessageBox::Save, question), ChoosingFile(path)});
      QVERIFY(!form->close());
      QVERIFY(form->close());
    }
    QCOMPARE(ReadFileBytes(path.toStdString()), std::string("NOP ; typed, never saved"));
    form->show();
    QTest::keyClick(text1, Qt::Key_Return);
    QTest::keyClicks(text1, "NOP");
    {
      const ModalAnswers discard(Clicking(QMessageBox::Discard, question));
      QVERIFY(form->close());
    }
    QCOMPARE(ReadFileBytes(path.toStdString()), std::string("NOP ; typed, never saved"));
  }

  // Save and "Save binary file" ask before replacing a file that is not the window's own: not
  // the source file it last opened or saved, nor the image it last saved.
  void replacingAnotherFileAsksFirst() {
    const QString victim = folder.filePath("victim.asm");
    const QString own = folder.filePath("own.asm");
    WriteFileBytes(victim.toStdString(), "precious");
    WriteFileBytes(own.toStdString(), "NOP");
    form->findChild<QPlainTextEdit*>("Text1")->setPlainText("LDM 1");
    QString question;
    {
      const ModalAnswers no({ChoosingFile(victim), Clicking(QMessageBox::No, question)});
      Click("Command3");
    }
    QCOMPARE(question, "\"" + victim + "\" already exists. Replace it?");
    QCOMPARE(ReadFileBytes(victim.toStdString()), std::string("precious"));
    {
      const ModalAnswers yes({ChoosingFile(own), Clicking(QMessageBox::Yes, question)});
      Click("Command3");
    }
    QCOMPARE(ReadFileBytes(own.toStdString()), std::string("LDM 1"));
    {
      // Now it is the window's own file: replaced without a question.
      const ModalAnswers once(ChoosingFile(own));
      Click("Command3");
    }
    // The image over the source file asks, and No leaves the source as it was.
    Click("Command2");
    {
      const ModalAnswers no({ChoosingFile(own), Clicking(QMessageBox::No, question)});
      Click("Command4");
    }
    QCOMPARE(ReadFileBytes(own.toStdString()), std::string("LDM 1"));
    const QString image = folder.filePath("prog.bin");
    {
      const ModalAnswers save(ChoosingFile(image));
      Click("Command4");
    }
    {
      const ModalAnswers again(ChoosingFile(image));
      Click("Command4");
    }
    QCOMPARE(ReadFileBytes(image.toStdString()), std::string("\xD1"));
  }

  // Open puts another program in the window: the last assembly's listing and image go with the
  // old one, so "Save binary file" has nothing to save until the next Assemble.
  void openClearsTheLastAssembly() {
    const QString mine = folder.filePath("my.asm");
    const QString blink = folder.filePath("blink.asm");
    WriteFileBytes(mine.toStdString(), "LDM 5\r\n");
    WriteFileBytes(blink.toStdString(), "JMP AWAY\r\n");
    {
      const ModalAnswers open(ChoosingFile(mine));
      Click("Command1");
    }
    Click("Command2");
    QCOMPARE(Listing(), QString("000    D5\n"));
    QString message;
    {
      const ModalAnswers open({ChoosingFile(blink), DismissingMessage(message)});
      Click("Command1");
      QCOMPARE(Listing(), QString());
      Click("Command4");
    }
    QVERIFY2(message.startsWith("There is no assembled program to save"), qPrintable(message));
  }

  // The selection of a rejected long line is scrolled so that the line's start shows.
  void aRejectedLongLineShowsItsStart() {
    auto* text1 = form->findChild<QPlainTextEdit*>("Text1");
    text1->setPlainText("NOP\nFIM 9 ; " + QString(400, 'x') + "\nNOP");
    QString message;
    {
      const ModalAnswers answer(DismissingMessage(message));
      Click("Command2");
    }
    QCOMPARE(message, QString("Register out of range"));
    QVERIFY(text1->textCursor().selectedText().startsWith("FIM 9"));
    QCOMPARE(text1->horizontalScrollBar()->value(), 0);
    QVERIFY(text1->cursorRect().left() >= 0);
  }

  // brindlewick FILE opens the file as Open would, and an unreadable one gives Open's message.
  void aFileFromTheCommandLineOpens() {
    const QString path = folder.filePath("given.asm");
    WriteFileBytes(path.toStdString(), "LDM 3\r\n");
    form->OpenFile(path.toStdString());
    QCOMPARE(form->findChild<QPlainTextEdit*>("Text1")->toPlainText(), QString("LDM 3\n"));
    QString message;
    {
      const ModalAnswers answer(DismissingMessage(message));
      form->OpenFile(folder.filePath("missing.asm").toStdString());
    }
    QCOMPARE(message,
             "Cannot open \"" + folder.filePath("missing.asm") + "\": No such file or directory.");
  }

private:
  void Click(const char* button) {
    QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton);
  }
  QString Listing() const { return form->findChild<QPlainTextEdit*>("Text3")->toPlainText(); }

  QTemporaryDir folder;
  std::unique_ptr<window::Form1> form;
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
