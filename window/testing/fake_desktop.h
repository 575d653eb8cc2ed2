// For the window's tests: a desktop that answers in the user's place and records what it was
// asked to show.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "window/logic/desktop.h"

namespace snipforge::testing {

class FakeDesktop final : public Desktop {
 public:
  // The answers of the next file dialogs, in turn: a file name, or nothing for a cancel.
  std::deque<std::optional<std::string>> answers;
  // The answers of the next questions, in turn; No when none is left.
  std::deque<bool> replies;
  std::vector<FileDialog> opened;
  std::vector<FileDialog> saved;
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::vector<std::string> abouts;
  std::vector<std::string> folders;

  std::optional<std::string> ChooseFileToOpen(const FileDialog& dialog) override {
    opened.push_back(dialog);
    return NextAnswer();
  }
  std::optional<std::string> ChooseFileToSave(const FileDialog& dialog) override {
    saved.push_back(dialog);
    return NextAnswer();
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool Ask(const std::string& question) override {
    questions.push_back(question);
    if (replies.empty()) return false;
    const bool reply = replies.front();
    replies.pop_front();
    return reply;
  }
  void ShowAbout(const std::string& text) override { abouts.push_back(text); }
  void OpenFolder(const std::string& path) override { folders.push_back(path); }

 private:
  std::optional<std::string> NextAnswer() {
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(answers.front());
    answers.pop_front();
    return answer;
  }
};

}  // namespace snipforge::testing
