#include "window/commands.h"

#include "assembly/assembler.h"
#include "translate/instruction_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

namespace window {

namespace {

using services::TextArea;

// The text with CR LF at every line break, whether the break was CR LF, LF alone or CR alone.
std::string WithCrLf(std::string_view text) {
  std::string result;
  result.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      result.append("\r\n");
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
    } else {
      result.push_back(c);
    }
  }
  return result;
}

// 1-based number of the line of a CR LF text in which the byte at `offset` stands.
std::size_t LineAt(std::string_view text, std::size_t offset) {
  return 1 + static_cast<std::size_t>(std::count(
                 text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// The UTF-8 character that starts at `offset`, as text and as "U+XXXX".
std::pair<std::string, std::string> CharacterAt(std::string_view text, std::size_t offset) {
  const auto lead = static_cast<unsigned char>(text[offset]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  const std::string_view character = text.substr(offset, length);
  std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < character.size(); ++i) {
    code = (code << 6) | (static_cast<unsigned char>(character[i]) & 0x3F);
  }
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
  return {std::string(character), name};
}

// The parts one after another. Messages are built by appending, so that no part is ever copied
// in front of another.
std::string Join(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (const std::string_view part : parts) {
    text += part;
  }
  return text;
}

} // namespace

Form1Commands::Form1Commands(services::WindowServices& services)
    : services_(services), store_(std::make_unique<assembly::ProgramStore>()) {}

void Form1Commands::Form_Load() { translate::LoadMnemonicTable(); }

bool Form1Commands::Form_QueryUnload() {
  if (!services_.SourceChanged()) {
    return true;
  }
  switch (services_.AskSaveChanges()) {
  case services::SaveChoice::Save:
    return SaveSource();
  case services::SaveChoice::Discard:
    return true;
  case services::SaveChoice::Cancel:
    break;
  }
  return false;
}

void Form1Commands::Command1_Click() {
  if (const std::optional<std::string> path = services_.ShowOpen()) {
    OpenFile(*path);
  }
}

void Form1Commands::OpenFile(const std::string& path) {
  file_io::FileContent file = services_.ReadFile(path);
  if (file.error) {
    services_.ShowMessage(Join({"Cannot open \"", path, "\": ", *file.error, "."}), kErrorTitle);
    return;
  }
  // A zero byte stands for no character.
  std::erase(file.bytes, '\0');
  services_.SetText(TextArea::Source, WithCrLf(services_.DecodeText(file.bytes)));
  services_.MarkSourceUnchanged();
  sourceFile_ = path;
  // The window holds another program now: the last assembly's listing and image are not its.
  services_.SetText(TextArea::Listing, "");
  assembled_ = false;
}

void Form1Commands::Command2_Click() {
  const std::string source = services_.GetText(TextArea::Source);
  const assembly::AssemblyOutcome outcome = assembly::Assemble(*store_, source);
  assembled_ = outcome.Completed();
  // After a rejected line the listing area keeps the previous run's listing; otherwise it shows
  // this run's lines, up to the record that stopped the second pass.
  if (outcome.Listing) {
    services_.SetText(TextArea::Listing, *outcome.Listing);
  }
  if (!outcome.Completed()) {
    services_.ShowMessage(outcome.Message, kErrorTitle);
  }
  if (outcome.Selection) {
    services_.SetSourceFocus();
    services_.SetSourceSelection(outcome.Selection->Start, outcome.Selection->Length);
  }
}

void Form1Commands::Command3_Click() { (void)SaveSource(); }

bool Form1Commands::SaveSource() {
  const std::optional<std::string> path = services_.ShowSave();
  if (!path || !MayReplace(*path, sourceFile_)) {
    return false;
  }
  const std::string text = services_.GetText(TextArea::Source);
  const services::EncodedText encoded = services_.EncodeText(text);
  if (encoded.unencodable) {
    const auto [character, name] = CharacterAt(text, *encoded.unencodable);
    const std::string line = std::to_string(LineAt(text, *encoded.unencodable));
    services_.ShowMessage(
        Join({"Cannot save \"", *path, "\": the character \"", character, "\" (", name,
              ") on line ", line, " has no single-byte code. No file was written."}),
        kErrorTitle);
    return false;
  }
  if (!WriteFile(*path, encoded.bytes)) {
    return false;
  }
  services_.MarkSourceUnchanged();
  sourceFile_ = *path;
  return true;
}

void Form1Commands::Command4_Click() {
  if (!assembled_) {
    services_.ShowMessage("There is no assembled program to save. Press \"Assemble\", and save "
                          "once the program assembles without an error.",
                          kErrorTitle);
    return;
  }
  const std::optional<std::string> path = services_.ShowSave();
  if (!path || !MayReplace(*path, imageFile_)) {
    return;
  }
  const std::vector<std::uint8_t> image = assembly::BinaryImage(*store_);
  if (WriteFile(*path,
                std::string_view(reinterpret_cast<const char*>(image.data()), image.size()))) {
    imageFile_ = *path;
  }
}

bool Form1Commands::MayReplace(const std::string& path, const std::string& own) {
  if (!services_.Exists(path) || (!own.empty() && services_.SameFile(path, own))) {
    return true;
  }
  return services_.AskReplace(path);
}

bool Form1Commands::WriteFile(const std::string& path, std::string_view bytes) {
  if (const auto failure = services_.ReplaceFile(path, bytes)) {
    services_.ShowMessage(
        Join({"Cannot save \"", path, "\": ", failure->reason,
              failure->existed ? ". The file is left as it was." : ". Nothing was written."}),
        kErrorTitle);
    return false;
  }
  return true;
}

} // namespace window
