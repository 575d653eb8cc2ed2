// For the window's tests: a desktop that answers in the user's place and records what it was
// asked to show, and, for the logic's tests, a window without controls whose focus and timer
// the test drives.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "window/logic/desktop.h"

namespace snipforge::testing {

class FakeDesktop final : public DesktopDialogs, public WindowView {
 public:
  // The answers of the next file dialogs, in turn: a file name, or nothing for a cancel.
  std::deque<std::optional<std::string>> answers;
  // The answers of the next questions, in turn; No when none is left.
  std::deque<bool> replies;
  // Called while a question is open, as events that come meanwhile would be.
  std::function<void()> whileAsking;
  // Called while the values are shown, as a view's controls report their new text.
  std::function<void()> whileShowing;
  // Called with the control that loses the focus when the logic moves it, as a view reports it.
  std::function<void(std::size_t)> focusLeaves;
  bool fileManager = true;  // whether OpenFolder finds a file manager
  std::vector<FileDialog> opened;
  std::vector<FileDialog> saved;
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::vector<std::string> abouts;
  std::vector<std::string> folders;

  // The window's part.
  int shown = 0;                      // how often the values were shown
  std::optional<std::size_t> focus;   // the control with the focus; nothing for another window
  std::vector<std::size_t> focused;   // each control the logic put the focus into, in turn
  std::vector<RunProgress> runs;      // each progress the logic showed, in turn

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
    if (whileAsking) whileAsking();
    if (replies.empty()) return false;
    const bool reply = replies.front();
    replies.pop_front();
    return reply;
  }
  void ShowAbout(const std::string& text) override { abouts.push_back(text); }
  bool OpenFolder(const std::string& path) override {
    folders.push_back(path);
    return fileManager;
  }

  void ShowValues() override {
    ++shown;
    if (whileShowing) whileShowing();
  }
  void Focus(std::size_t control) override {
    const std::optional<std::size_t> left = std::exchange(focus, control);
    if (left && *left != control && focusLeaves) focusLeaves(*left);
    focused.push_back(control);
  }
  std::optional<std::size_t> FocusedControl() const override { return focus; }
  void After(std::chrono::milliseconds delay, std::function<void()> task) override {
    tasks_.push_back({delay, std::move(task)});
  }
  void ShowRun(const RunProgress& run) override { runs.push_back(run); }

  // Runs the tasks waiting, and those they leave, the shortest delay first, until none is
  // left: a run is polled to its end.
  void RunTasks() {
    while (!tasks_.empty()) {
      auto next = tasks_.begin();
      for (auto task = tasks_.begin(); task != tasks_.end(); ++task) {
        if (task->first < next->first) next = task;
      }
      const std::function<void()> task = std::move(next->second);
      tasks_.erase(next);
      task();
      std::this_thread::yield();
    }
  }

 private:
  std::optional<std::string> NextAnswer() {
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(answers.front());
    answers.pop_front();
    return answer;
  }

  std::vector<std::pair<std::chrono::milliseconds, std::function<void()>>> tasks_;
};

}  // namespace snipforge::testing
