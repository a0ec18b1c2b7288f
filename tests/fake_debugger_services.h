#pragma once

#include "services/debugger_services.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A scripted stand-in for the debugger's services: files live in memory, dialog answers and the
// clock are set by the test, and messages are kept.
class FakeDebuggerServices : public services::DebuggerServices {
public:
  std::map<std::string, std::string> files;
  std::deque<std::optional<std::string>> dialogAnswers;
  std::vector<std::string> errors;
  bool reloadAnswer = true;
  int reloadQuestions = 0;
  std::vector<std::string> watched;
  double now = 0;
  double tick = 0.001; // how far the clock moves on each look
  std::map<std::string, std::string> settings;

  std::optional<std::string> ChooseProgram() override { return NextAnswer(); }
  std::optional<std::string> ChooseSaveFile(const std::string&, const std::string&) override {
    return NextAnswer();
  }
  std::optional<std::string> WriteFile(const std::string& path, std::string_view bytes) override {
    files[path] = std::string(bytes);
    return std::nullopt;
  }
  std::optional<std::string> ChooseBoardFile() override { return NextAnswer(); }
  std::optional<std::string> NextAnswer() {
    if (dialogAnswers.empty()) {
      return std::nullopt;
    }
    auto answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    return answer;
  }
  file_io::FileContent ReadFile(const std::string& path) override {
    file_io::FileContent content;
    if (const auto file = files.find(path); file != files.end()) {
      content.bytes = file->second;
    } else {
      content.error = "No such file or directory";
      content.missing = true;
    }
    return content;
  }
  void ShowError(std::string_view text) override { errors.emplace_back(text); }
  std::function<void()> whileAsking; // what happens while the reload question is open
  bool AskReload(const std::string&) override {
    ++reloadQuestions;
    if (whileAsking) {
      whileAsking();
    }
    return reloadAnswer;
  }
  void WatchFiles(const std::vector<std::string>& paths) override { watched = paths; }
  double Now() override { return now += tick; }
  std::optional<std::string> LoadSetting(const std::string& key) override {
    if (const auto found = settings.find(key); found != settings.end()) {
      return found->second;
    }
    return std::nullopt;
  }
  void SaveSetting(const std::string& key, const std::string& value) override {
    settings[key] = value;
  }
};
