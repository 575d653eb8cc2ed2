#include "engine/expression_layout.h"

#include <string>

namespace snipforge {

ExpressionLayout::ExpressionLayout(std::uint64_t lines) : lines_(lines) {
  if (lines_ > kChainLines) pending_.push_back({0, lines_, 0});
}

ExpressionLayout::Around ExpressionLayout::Next() {
  const std::uint64_t line = next_++;
  if (lines_ <= kChainLines) return {0, 0, line + 1 >= lines_};
  // Down the left side of the subtree that starts at this line: each subtree of two or more
  // lines on the way opens here, but the whole; its right half waits, and closes where its
  // parent does, and once more for the parent itself.
  Around around;
  Node node = pending_.back();
  pending_.pop_back();
  while (node.end - node.first > 1) {
    const bool whole = node.first == 0 && node.end == lines_;
    if (!whole) ++around.opens;
    const std::uint64_t middle = node.first + (node.end - node.first + 1) / 2;
    pending_.push_back({middle, node.end, node.closes + (whole ? 0 : 1)});
    node = {node.first, middle, 0};
  }
  around.closes = node.closes;
  around.last = line + 1 >= lines_;
  return around;
}

void ExpressionLayout::BeginLine(ScriptStream& script) {
  current_ = Next();
  if (current_.opens > 0) script.Write(std::string(static_cast<std::size_t>(current_.opens), '('));
}

void ExpressionLayout::EndLine(ScriptStream& script) {
  std::string end(static_cast<std::size_t>(current_.closes), ')');
  if (!current_.last) end += "++\\";
  script.WriteLine(end);
}

}  // namespace snipforge
