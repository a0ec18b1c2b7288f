#include "modal.h"
#include "test_files.h"
#include "translate/instruction_table.h"
#include "window/form1.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <csignal>
#include <memory>

namespace {

// Answers the next file dialog with `path`, then does `then`.
void ChooseFile(const QString& path, std::function<void()> then = {}) {
  OnNextModal([path, then](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    QVERIFY(dialog != nullptr);
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();
    if (then) {
      then();
    }
  });
}

// Dismisses the next message box and keeps its text in `text`.
void DismissMessage(QString& text) {
  OnNextModal([&text](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QVERIFY(box != nullptr);
    text = box->text();
    box->button(QMessageBox::Ok)->click();
  });
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
    DismissMessage(message);
    QTest::mouseClick(form->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QCOMPARE(message, QString("Register out of range"));
    QCOMPARE(text1->textCursor().selectedText(), "FIM 9" + QString(QChar::ParagraphSeparator));
    QCOMPARE(form->focusWidget(), text1);
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
    DismissMessage(message);
    QTest::mouseClick(form->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QCOMPARE(message, QString("Undefined instruction"));
    QCOMPARE(text1->textCursor().selectionStart(), badLine);
    QCOMPARE(text1->textCursor().selectedText(), "JMP AWAY" + QString(QChar::ParagraphSeparator));
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
    ChooseFile(in);
    QTest::mouseClick(form->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    ChooseFile(out);
    QTest::mouseClick(form->findChild<QPushButton*>("Command3"), Qt::LeftButton);
    QCOMPARE(ReadFileBytes(out.toStdString()), bytes);
  }

  void saveBinaryFileWritesTheImageOrSaysWhyNot() {
    const QString out = folder.filePath("out.bin");
    WriteFileBytes(out.toStdString(), "old image");
    QString message;
    DismissMessage(message);
    QTest::mouseClick(form->findChild<QPushButton*>("Command4"), Qt::LeftButton);
    QVERIFY(message.startsWith("There is no assembled program to save"));

    form->findChild<QPlainTextEdit*>("Text1")->setPlainText("FIM 7, FF\nDATA 3F");
    QTest::mouseClick(form->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    ChooseFile(out);
    QTest::mouseClick(form->findChild<QPushButton*>("Command4"), Qt::LeftButton);
    QCOMPARE(ReadFileBytes(out.toStdString()), std::string("\x2E\xFF\x3F"));
  }

  void aFailedSaveIsShownAndTheOldFileKept_data() {
    QTest::addColumn<QString>("target"); // in the test's folder
    QTest::addColumn<bool>("sizeLimit");
    QTest::newRow("file size limit") << "old.asm" << true;
    QTest::newRow("path under a regular file") << "old.asm/inner" << false;
  }

  void aFailedSaveIsShownAndTheOldFileKept() {
    QFETCH(QString, target);
    QFETCH(bool, sizeLimit);
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
    QString message;
    const QString path = folder.filePath(target);
    ChooseFile(path, [&message] { DismissMessage(message); });
    QTest::mouseClick(form->findChild<QPushButton*>("Command3"), Qt::LeftButton);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    QVERIFY2(message.startsWith("Cannot save \"" + path + "\": "), qPrintable(message));
    QVERIFY2(message.endsWith("The file is left as it was."), qPrintable(message));
    QCOMPARE(ReadFileBytes(folder.filePath("old.asm").toStdString()), old);
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
  }

private:
  QTemporaryDir folder;
  std::unique_ptr<window::Form1> form;
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
