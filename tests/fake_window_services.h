#pragma once

#include "services/window_services.h"
#include "translate/latin1.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A scripted stand-in for the window services: text areas and files live in memory, dialog
// answers and file failures are set up by the test, and every call is recorded in order.
class FakeWindowServices : public services::WindowServices {
public:
  // The window's state.
  std::string source;
  std::string listing;
  std::optional<std::pair<std::size_t, std::size_t>> selection;
  bool sourceFocused = false;
  std::vector<std::pair<std::string, std::string>> messages; // prompt, title

  // The file system, and what fails in it.
  std::map<std::string, std::string> files;
  std::map<std::string, std::string> readErrors;
  std::map<std::string, std::string> writeErrors;

  // Answers of the next dialogs, in order; nothing stands for a cancelled dialog.
  std::deque<std::optional<std::string>> dialogAnswers;
  // Answers of the next questions: to save changes, to replace a file.
  std::deque<services::SaveChoice> saveAnswers;
  std::deque<bool> replaceAnswers;
  // Whether the source area changed since it was last marked unchanged.
  bool sourceChanged = false;

  // Every call, in order, by name with its main argument.
  std::vector<std::string> calls;

  std::string GetText(services::TextArea area) override {
    calls.push_back("GetText " + Name(area));
    return area == services::TextArea::Source ? source : listing;
  }
  void SetText(services::TextArea area, std::string_view text) override {
    calls.push_back("SetText " + Name(area));
    (area == services::TextArea::Source ? source : listing) = text;
  }
  void SetSourceFocus() override {
    calls.push_back("SetSourceFocus");
    sourceFocused = true;
  }
  void SetSourceSelection(std::size_t start, std::size_t length) override {
    calls.push_back("SetSourceSelection " + std::to_string(start) + " " + std::to_string(length));
    selection = {start, length};
  }
  bool SourceChanged() override { return sourceChanged; }
  void MarkSourceUnchanged() override {
    calls.push_back("MarkSourceUnchanged");
    sourceChanged = false;
  }
  services::SaveChoice AskSaveChanges() override {
    calls.push_back("AskSaveChanges");
    const services::SaveChoice answer =
        saveAnswers.empty() ? services::SaveChoice::Cancel : saveAnswers.front();
    if (!saveAnswers.empty()) {
      saveAnswers.pop_front();
    }
    return answer;
  }
  bool AskReplace(const std::string& path) override {
    calls.push_back("AskReplace " + path);
    const bool answer = !replaceAnswers.empty() && replaceAnswers.front();
    if (!replaceAnswers.empty()) {
      replaceAnswers.pop_front();
    }
    return answer;
  }
  bool Exists(const std::string& path) override { return files.contains(path); }
  bool SameFile(const std::string& a, const std::string& b) override { return a == b; }
  void ShowMessage(std::string_view prompt, std::string_view title) override {
    calls.push_back("ShowMessage");
    messages.emplace_back(prompt, title);
  }
  std::optional<std::string> ShowOpen() override {
    calls.push_back("ShowOpen");
    return NextAnswer();
  }
  std::optional<std::string> ShowSave() override {
    calls.push_back("ShowSave");
    return NextAnswer();
  }
  file_io::FileContent ReadFile(const std::string& path) override {
    calls.push_back("ReadFile " + path);
    file_io::FileContent content;
    if (const auto error = readErrors.find(path); error != readErrors.end()) {
      content.error = error->second;
    } else if (const auto file = files.find(path); file != files.end()) {
      content.bytes = file->second;
    } else {
      content.error = "No such file or directory";
    }
    return content;
  }
  std::optional<file_io::WriteFailure> ReplaceFile(const std::string& path,
                                                   std::string_view bytes) override {
    calls.push_back("ReplaceFile " + path);
    if (const auto error = writeErrors.find(path); error != writeErrors.end()) {
      return file_io::WriteFailure{path, error->second, files.contains(path)};
    }
    files[path] = bytes;
    return std::nullopt;
  }
  std::string DecodeText(std::string_view bytes) override {
    calls.push_back("DecodeText");
    return translate::Latin1ToUtf8(bytes);
  }
  // ISO-8859-1, as the real window has it.
  services::EncodedText EncodeText(std::string_view text) override {
    calls.push_back("EncodeText");
    services::EncodedText encoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto lead = static_cast<unsigned char>(text[i]);
      if (lead < 0x80) {
        encoded.bytes.push_back(text[i]);
      } else if ((lead == 0xC2 || lead == 0xC3) && i + 1 < text.size()) {
        encoded.bytes.push_back(static_cast<char>(((lead & 0x03) << 6) |
                                                  (static_cast<unsigned char>(text[++i]) & 0x3F)));
      } else {
        encoded.bytes.clear();
        encoded.unencodable = i;
        return encoded;
      }
    }
    return encoded;
  }

private:
  static std::string Name(services::TextArea area) {
    return area == services::TextArea::Source ? "Source" : "Listing";
  }
  std::optional<std::string> NextAnswer() {
    if (dialogAnswers.empty()) {
      return std::nullopt;
    }
    std::optional<std::string> answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    return answer;
  }
};
