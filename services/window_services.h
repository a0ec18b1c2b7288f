#pragma once

#include "file_io/file_io.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace services {

// The window services read and replace files through the file layer.
using file_io::FileContent;
using file_io::WriteFailure;

// The two text areas of the window.
enum class TextArea {
  Source,  // Text1, where the user types the program
  Listing, // Text3, where the listing appears
};

// What the user answers when closing with unsaved changes.
enum class SaveChoice {
  Save,
  Discard,
  Cancel,
};

// A text in the single-byte code page: one byte per character, or, when a character has no
// code there, the byte offset in the UTF-8 text of the first such character.
struct EncodedText {
  std::string bytes;
  std::optional<std::size_t> unencodable;
};

// Everything the window's commands need from the window system, in standard types. Texts are
// UTF-8, and a text area's text has CR LF at every line break. Offsets into a text area's text
// count characters (a multi-byte UTF-8 sequence is one character).
class WindowServices {
public:
  virtual ~WindowServices() = default;

  [[nodiscard]] virtual std::string GetText(TextArea area) = 0;
  virtual void SetText(TextArea area, std::string_view text) = 0;
  // Gives the source area the keyboard focus.
  virtual void SetSourceFocus() = 0;
  // Selects `length` characters of the source area from `start` and scrolls them into view, the
  // start of the selection first.
  virtual void SetSourceSelection(std::size_t start, std::size_t length) = 0;
  // Whether the source area differs from the state last marked unchanged (an undo back to that
  // state counts as unchanged), and marking the present state so.
  [[nodiscard]] virtual bool SourceChanged() = 0;
  virtual void MarkSourceUnchanged() = 0;

  // A modal message with the critical icon and a single OK button; returns when dismissed.
  virtual void ShowMessage(std::string_view prompt, std::string_view title) = 0;
  // Asks "Save changes to the source?" with Save, Discard and Cancel.
  [[nodiscard]] virtual SaveChoice AskSaveChanges() = 0;
  // Asks whether to replace the existing file `path`; true for yes.
  [[nodiscard]] virtual bool AskReplace(const std::string& path) = 0;

  // The standard open and save dialogs: the chosen path, or nothing when cancelled.
  [[nodiscard]] virtual std::optional<std::string> ShowOpen() = 0;
  [[nodiscard]] virtual std::optional<std::string> ShowSave() = 0;

  [[nodiscard]] virtual FileContent ReadFile(const std::string& path) = 0;
  // Whether something (a file or a folder) stands at `path`.
  [[nodiscard]] virtual bool Exists(const std::string& path) = 0;
  // The same file, however `a` and `b` name it (relative, absolute, through a link).
  [[nodiscard]] virtual bool SameFile(const std::string& a, const std::string& b) = 0;
  // Replaces the file with `bytes` atomically: the old file stays as it was until the new
  // content is completely written and flushed to the disk. Returns what failed, nothing on
  // success.
  [[nodiscard]] virtual std::optional<WriteFailure> ReplaceFile(const std::string& path,
                                                                std::string_view bytes) = 0;

  // Conversion between characters and the codes of the single-byte code page.
  [[nodiscard]] virtual std::string DecodeText(std::string_view bytes) = 0;
  [[nodiscard]] virtual EncodedText EncodeText(std::string_view text) = 0;
};

} // namespace services
