#include "services/qt_window_services.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <filesystem>

namespace services {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Number of characters (code points) in `text`: a surrogate pair is one character.
std::size_t CharacterCount(const QString& text) {
  std::size_t count = 0;
  for (const QChar c : text) {
    count += c.isLowSurrogate() ? 0 : 1;
  }
  return count;
}

// Index in `text` of its character number `character`.
int IndexOfCharacter(const QString& text, std::size_t character) {
  int index = 0;
  for (; index < text.size() && character > 0; ++index) {
    if (!text.at(index).isLowSurrogate()) {
      --character;
    }
  }
  while (index < text.size() && text.at(index).isLowSurrogate()) {
    ++index;
  }
  return index;
}

// The document position of a character offset into the text as GetText gives it, where every
// block ends with CR LF. The offset just after a CR stands for the start of the next line.
int DocumentPosition(const QTextDocument& document, std::size_t offset) {
  std::size_t lineStart = 0;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    const QString text = block.text();
    const std::size_t length = CharacterCount(text);
    if (offset <= lineStart + length) {
      return block.position() + IndexOfCharacter(text, offset - lineStart);
    }
    if (offset == lineStart + length + 1) {
      return block.next().isValid() ? block.next().position() : block.position() + text.size();
    }
    lineStart += length + 2;
  }
  return document.characterCount() - 1;
}

} // namespace

QtWindowServices::QtWindowServices(QWidget* window, QPlainTextEdit* source, QPlainTextEdit* listing)
    : window_(window), source_(source), listing_(listing) {}

QPlainTextEdit* QtWindowServices::Area(TextArea area) const {
  return area == TextArea::Source ? source_ : listing_;
}

std::string QtWindowServices::GetText(TextArea area) {
  // Block by block rather than toPlainText(), which turns a no-break space into a space.
  const QTextDocument& document = *Area(area)->document();
  QString text;
  text.reserve(document.characterCount() + document.blockCount());
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block != document.begin()) {
      text += QLatin1String("\r\n");
    }
    text += block.text();
  }
  return text.toStdString();
}

void QtWindowServices::SetText(TextArea area, std::string_view text) {
  // The document starts a new line at CR LF, LF and CR alike.
  if (area == TextArea::Listing) {
    listing_->setPlainText(FromUtf8(text));
    return;
  }
  // The source text is replaced as one edit that Undo takes back, after the edits before it.
  QTextCursor cursor(source_->document());
  cursor.beginEditBlock();
  cursor.select(QTextCursor::Document);
  cursor.insertText(FromUtf8(text));
  cursor.endEditBlock();
  source_->moveCursor(QTextCursor::Start);
}

void QtWindowServices::SetSourceFocus() { source_->setFocus(Qt::OtherFocusReason); }

void QtWindowServices::SetSourceSelection(std::size_t start, std::size_t length) {
  const QTextDocument& document = *source_->document();
  // The cursor at the start of the selection, so that scrolling it into view shows the start
  // of the line rather than its end (a long line's end may be all that would show).
  QTextCursor cursor(source_->document());
  cursor.setPosition(DocumentPosition(document, start + length));
  cursor.setPosition(DocumentPosition(document, start), QTextCursor::KeepAnchor);
  source_->setTextCursor(cursor);
  source_->ensureCursorVisible();
}

bool QtWindowServices::SourceChanged() { return source_->document()->isModified(); }

void QtWindowServices::MarkSourceUnchanged() { source_->document()->setModified(false); }

void QtWindowServices::ShowMessage(std::string_view prompt, std::string_view title) {
  QMessageBox box(QMessageBox::Critical, FromUtf8(title), FromUtf8(prompt), QMessageBox::Ok,
                  window_);
  box.exec();
}

SaveChoice QtWindowServices::AskSaveChanges() {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Brindlewick"),
                  QStringLiteral("Save changes to the source?"),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window_);
  box.setDefaultButton(QMessageBox::Save);
  switch (box.exec()) {
  case QMessageBox::Save:
    return SaveChoice::Save;
  case QMessageBox::Discard:
    return SaveChoice::Discard;
  default:
    return SaveChoice::Cancel;
  }
}

bool QtWindowServices::AskReplace(const std::string& path) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Brindlewick"),
                  QStringLiteral("\"%1\" already exists. Replace it?").arg(FromUtf8(path)),
                  QMessageBox::Yes | QMessageBox::No, window_);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtWindowServices::ShowOpen() {
  QFileDialog dialog(window_);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return dialog.selectedFiles().constFirst().toStdString();
}

std::optional<std::string> QtWindowServices::ShowSave() {
  QFileDialog dialog(window_);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The window asks before it replaces a file other than its own, after the dialog.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return dialog.selectedFiles().constFirst().toStdString();
}

FileContent QtWindowServices::ReadFile(const std::string& path) { return file_io::ReadFile(path); }

bool QtWindowServices::Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(path, ignored);
}

bool QtWindowServices::SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  const bool same = std::filesystem::equivalent(a, b, error);
  return !error && same;
}

std::optional<WriteFailure> QtWindowServices::ReplaceFile(const std::string& path,
                                                          std::string_view bytes) {
  return file_io::ReplaceFile(path, bytes);
}

std::string QtWindowServices::DecodeText(std::string_view bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
}

EncodedText QtWindowServices::EncodeText(std::string_view text) {
  EncodedText encoded;
  encoded.bytes.reserve(text.size());
  std::size_t offset = 0; // of the current character in the UTF-8 text
  for (const QChar c : FromUtf8(text)) {
    if (c.unicode() > 0xFF) {
      encoded.bytes.clear();
      encoded.unencodable = offset;
      return encoded;
    }
    encoded.bytes.push_back(static_cast<char>(c.unicode()));
    offset += c.unicode() < 0x80 ? 1 : 2;
  }
  return encoded;
}

} // namespace services
