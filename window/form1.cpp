#include "window/form1.h"

#include "icons/icon.h"
#include "services/qt_window_services.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>

namespace window {

namespace {

// Places and sizes are given in twips, 1440 to the inch, and converted by the screen's logical
// resolution: 15 twips make a pixel at 96 dots per inch.
struct Twips {
  int left;
  int top;
  int width;
  int height;
};

int ToPixels(int twips, int dotsPerInch) { return (twips * dotsPerInch + 720) / 1440; }

void Place(QWidget* control, Twips twips) {
  const int x = control->logicalDpiX();
  const int y = control->logicalDpiY();
  control->setGeometry(ToPixels(twips.left, x), ToPixels(twips.top, y), ToPixels(twips.width, x),
                       ToPixels(twips.height, y));
}

// A text area whose text holds only real line breaks. Qt types a line separator (U+2028) for
// Shift+Enter, and pasted or dropped text may bring one, or a paragraph separator (U+2029): it
// looks like a new line, but the assembler would read it as part of the line. Here each of them
// becomes a line break as it comes in.
class TextArea final : public QPlainTextEdit {
public:
  using QPlainTextEdit::QPlainTextEdit;

protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->matches(QKeySequence::InsertLineSeparator)) {
      QKeyEvent enter(event->type(), Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
      QPlainTextEdit::keyPressEvent(&enter);
      event->setAccepted(enter.isAccepted());
      return;
    }
    QPlainTextEdit::keyPressEvent(event);
  }

  void insertFromMimeData(const QMimeData* source) override {
    if (!source->hasText()) {
      QPlainTextEdit::insertFromMimeData(source);
      return;
    }
    QString text = source->text();
    text.replace(QChar::LineSeparator, u'\n').replace(QChar::ParagraphSeparator, u'\n');
    QMimeData plain;
    plain.setText(text);
    QPlainTextEdit::insertFromMimeData(&plain);
  }
};

// A push button that Enter presses as well as Space, as on many desktops. The window has no
// default button, so Enter in a text area still starts a new line.
class Button final : public QPushButton {
public:
  using QPushButton::QPushButton;

protected:
  void keyPressEvent(QKeyEvent* event) override {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      if (!event->isAutoRepeat()) {
        click();
      }
      event->accept();
      return;
    }
    QPushButton::keyPressEvent(event);
  }
};

QPlainTextEdit* MakeTextArea(QWidget* parent, const char* name, Twips twips) {
  auto* area = new TextArea(parent);
  area->setObjectName(name);
  area->setLineWrapMode(QPlainTextEdit::NoWrap);
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Tab moves on to the next control, as between all the window's controls.
  area->setTabChangesFocus(true);
  area->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Place(area, twips);
  return area;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, Twips twips) {
  auto* button = new Button(QString::fromLatin1(caption), parent);
  button->setObjectName(name);
  // Enter in a text area starts a new line; no button is pressed by Enter or Esc.
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setFocusPolicy(Qt::StrongFocus);
  Place(button, twips);
  return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, Twips twips) {
  auto* label = new QLabel(QString::fromLatin1(caption), parent);
  label->setObjectName(name);
  QFont font = label->font();
  font.setPointSize(12);
  font.setBold(true);
  Place(label, twips);
  // The label keeps its place and size. Where the bold face at 12 points is wider than that,
  // the face is narrowed until the caption fits, rather than cutting the caption off.
  for (int stretch = 100;
       stretch > 50 && QFontMetrics(font).horizontalAdvance(label->text()) > label->width();) {
    font.setStretch(--stretch);
  }
  label->setFont(font);
  return label;
}

} // namespace

Form1::Form1(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("Brindlewick"));
  setWindowIcon(icons::IconFromPicture(QStringLiteral(":/icons/brindlewick.svg")));
  resize(ToPixels(10065, logicalDpiX()), ToPixels(7950, logicalDpiY()));

  Text1 = MakeTextArea(this, "Text1", {240, 480, 5295, 6615});
  Command1 = MakeButton(this, "Command1", "Open", {240, 7320, 855, 375});
  Command2 = MakeButton(this, "Command2", "Assemble", {2160, 7320, 975, 375});
  Text3 = MakeTextArea(this, "Text3", {6240, 480, 3495, 6615});
  // The listing is rebuilt by every assembly; it can be selected and copied, not edited.
  Text3->setReadOnly(true);
  Text3->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Command3 = MakeButton(this, "Command3", "Save", {1200, 7320, 855, 375});
  Label1 = MakeLabel(this, "Label1", "Assembly Code", {1080, 120, 1575, 255});
  Label3 = MakeLabel(this, "Label3", "Machine Code", {6720, 120, 1575, 255});
  Command4 = MakeButton(this, "Command4", "Save binary file", {6240, 7320, 3495, 375});

  // Tab order: source, "Open", "Assemble", listing, "Save", "Save binary file".
  setTabOrder(Text1, Command1);
  setTabOrder(Command1, Command2);
  setTabOrder(Command2, Text3);
  setTabOrder(Text3, Command3);
  setTabOrder(Command3, Command4);
  Text1->setFocus();

  services_ = std::make_unique<services::QtWindowServices>(this, Text1, Text3);
  commands_ = std::make_unique<Form1Commands>(*services_);
  connect(Command1, &QPushButton::clicked, this, [this] { commands_->Command1_Click(); });
  connect(Command2, &QPushButton::clicked, this, [this] { commands_->Command2_Click(); });
  connect(Command3, &QPushButton::clicked, this, [this] { commands_->Command3_Click(); });
  connect(Command4, &QPushButton::clicked, this, [this] { commands_->Command4_Click(); });

  commands_->Form_Load();
}

Form1::~Form1() = default;

void Form1::OpenFile(const std::string& path) { commands_->OpenFile(path); }

void Form1::closeEvent(QCloseEvent* event) {
  if (commands_->Form_QueryUnload()) {
    event->accept();
  } else {
    event->ignore();
  }
}

} // namespace window
