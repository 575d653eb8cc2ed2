// How the lines of an expression are joined with "++". Up to kChainLines lines stand in one
// chain, each but the last ending in "++\". A longer expression is a balanced binary tree with
// parentheses, still a line each: Avisynth's parser nests a chain, so that a frame of its k-th
// trim passes through k splices, and a chain of a few thousand trims takes minutes to read or
// overflows the frame server's stack; the tree nests only as deep as the logarithm of its length.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/script_stream.h"

namespace snipforge {

inline constexpr std::uint64_t kChainLines = 256;

class ExpressionLayout {
 public:
  // For an expression of `lines` lines (at least 1).
  explicit ExpressionLayout(std::uint64_t lines);

  // What stands around a line: the opening parentheses before it, the closing ones after it,
  // and whether it is the last line, which ends without "++\".
  struct Around {
    int opens = 0;
    int closes = 0;
    bool last = false;
    friend bool operator==(const Around&, const Around&) = default;
  };
  // Around the next line, the lines taken in order. The leaves are split ceil(n/2) on the left
  // and floor(n/2) on the right, recursively, and every subtree of two or more lines but the
  // whole gets parentheses: five lines read ((L1 L2) L3) (L4 L5).
  Around Next();

  // Writes the opening parentheses of the next line; its text follows.
  void BeginLine(ScriptStream& script);
  // Ends the line begun: its closing parentheses, then "++\" and the break, or the break alone.
  void EndLine(ScriptStream& script);

 private:
  // A subtree still to be walked: its lines, and the parentheses that close after its last one.
  struct Node {
    std::uint64_t first;
    std::uint64_t end;
    int closes;
  };

  std::uint64_t lines_;
  std::uint64_t next_ = 0;
  Around current_;
  std::vector<Node> pending_;  // the right subtrees still to be walked, the next one last
};

}  // namespace snipforge
