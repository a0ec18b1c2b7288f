#include "modal.h"
#include "services/qt_window_services.h"
#include "test_files.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using services::TextArea;

class QtWindowServicesTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    window = std::make_unique<QWidget>();
    source = new QPlainTextEdit(window.get());
    listing = new QPlainTextEdit(window.get());
    services = std::make_unique<services::QtWindowServices>(window.get(), source, listing);
    QVERIFY(folder.isValid());
  }

  void cleanup() {
    services.reset();
    window.reset();
  }

  void textHasCrLfAtEveryLineBreak_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("CR LF") << "NOP\r\nJZ X\r\nX:"
                           << "NOP\r\nJZ X\r\nX:";
    QTest::newRow("LF and CR alone") << "A\nB\rC"
                                     << "A\r\nB\r\nC";
    QTest::newRow("final line break") << "A\r\n"
                                      << "A\r\n";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("no-break space")
        << QString("A") + QChar(0xA0) + "B" << QString("A") + QChar(0xA0) + "B";
    QTest::newRow("beyond Latin-1") << QString::fromUtf8("\xE2\x82\xAC \xF0\x9F\x98\x80")
                                    << QString::fromUtf8("\xE2\x82\xAC \xF0\x9F\x98\x80");
  }

  void textHasCrLfAtEveryLineBreak() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    for (const TextArea area : {TextArea::Source, TextArea::Listing}) {
      services->SetText(area, text.toStdString());
      QCOMPARE(QString::fromStdString(services->GetText(area)), expected);
    }
  }

  void selectionCoversTheGivenCharacters_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("selected");
    const QString lineEnd(QChar::ParagraphSeparator);
    QTest::newRow("first line and its CR") << "BAD\r\nNOP" << 0 << 4 << "BAD" + lineEnd;
    QTest::newRow("middle line and its CR") << "NOP\r\nBAD\r\nNOP" << 5 << 4 << "BAD" + lineEnd;
    QTest::newRow("last line without break") << "NOP\r\nFIM 1" << 5 << 5 << "FIM 1";
    QTest::newRow("characters beyond Latin-1 before")
        << QString::fromUtf8("\xF0\x9F\x98\x80 \xE2\x82\xAC\r\nBAD\r\n") << 5 << 4
        << "BAD" + lineEnd;
    QTest::newRow("inside a line") << "JUN LOOP" << 4 << 4 << "LOOP";
  }

  void selectionCoversTheGivenCharacters() {
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, selected);
    services->SetText(TextArea::Source, text.toStdString());
    services->SetSourceSelection(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
    QCOMPARE(source->textCursor().selectedText(), selected);
  }

  void focusGoesToTheSourceArea() {
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    listing->setFocus();
    services->SetSourceFocus();
    QTRY_COMPARE(window->focusWidget(), source);
  }

  void charactersWithoutACodeAreFound_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("offset"); // in bytes of the UTF-8 text
    QTest::newRow("euro") << QString::fromUtf8("ab\xE2\x82\xAC") << 2;
    QTest::newRow("after Latin-1") << QString::fromUtf8("\xC3\xA9\xC3\xBF\xC4\x80") << 4;
    QTest::newRow("outside the BMP") << QString::fromUtf8("\xF0\x9F\x98\x80") << 0;
  }

  void charactersWithoutACodeAreFound() {
    QFETCH(QString, text);
    QFETCH(int, offset);
    const services::EncodedText encoded = services->EncodeText(text.toStdString());
    QVERIFY(encoded.unencodable);
    QCOMPARE(*encoded.unencodable, static_cast<std::size_t>(offset));
  }

  void readFileGivesAReasonAndCreatesNothing() {
    file_io::FileContent content = services->ReadFile(folder.filePath("missing").toStdString());
    QVERIFY(content.error);
    QVERIFY(!QFile::exists(folder.filePath("missing")));
    content = services->ReadFile(folder.path().toStdString());
    QVERIFY(content.error);
  }

  // The save dialog does not return a folder; should one stand at the chosen path by the time
  // of writing, it is left alone.
  void replaceFileRefusesAFolder() {
    QVERIFY(QDir(folder.path()).mkpath("sub/keep"));
    const std::string path = folder.filePath("sub").toStdString();
    const std::optional<file_io::WriteFailure> failure = services->ReplaceFile(path, "bytes");
    QVERIFY(failure);
    QCOMPARE(failure->reason, std::string("Is a directory"));
    QVERIFY(!failure->existed);
    QVERIFY(QFileInfo(folder.filePath("sub/keep")).isDir());
  }

  void messageIsCriticalWithTitleAndOneButton() {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    const ModalAnswers answer([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box != nullptr);
      text = box->text();
      title = box->windowTitle();
      icon = box->icon();
      buttons = box->standardButtons();
      box->button(QMessageBox::Ok)->click();
    });
    services->ShowMessage("Label missing", "Error");
    QCOMPARE(text, QString("Label missing"));
    QCOMPARE(title, QString("Error"));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  }

  void saveDialogAsksNothingAndReturnsThePath() {
    const QString path = folder.filePath("existing.asm");
    WriteFileBytes(path.toStdString(), "x");
    bool confirmsOverwrite = true;
    QString suffix = "unset";
    const ModalAnswers answer([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog != nullptr);
      confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
      suffix = dialog->defaultSuffix();
      QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
      ChooseInFileDialog(dialog, path);
    });
    QCOMPARE(services->ShowSave(), std::optional<std::string>(path.toStdString()));
    QVERIFY(!confirmsOverwrite);
    QCOMPARE(suffix, QString());
  }

  void openDialogReturnsThePathAndCancelNothing() {
    const QString path = folder.filePath("prog.asm");
    WriteFileBytes(path.toStdString(), "NOP");
    const ModalAnswers answers({[&](QWidget* modal) {
                                  auto* dialog = qobject_cast<QFileDialog*>(modal);
                                  QVERIFY(dialog != nullptr);
                                  QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
                                  ChooseInFileDialog(dialog, path);
                                },
                                [](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); }});
    QCOMPARE(services->ShowOpen(), std::optional<std::string>(path.toStdString()));
    QCOMPARE(services->ShowOpen(), std::optional<std::string>());
  }

private:
  QTemporaryDir folder;
  std::unique_ptr<QWidget> window;
  QPlainTextEdit* source = nullptr;
  QPlainTextEdit* listing = nullptr;
  std::unique_ptr<services::QtWindowServices> services;
};

QTEST_MAIN(QtWindowServicesTest)
#include "qt_window_services_test.moc"
