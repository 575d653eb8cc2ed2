// What a window shares with a conversion running on another thread: a cancel request the run
// checks between blocks, and how far it has come.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/result.h"

namespace snipforge {

struct RunControl {
  // Set by the window; the run stops at its next block and leaves every file as it was, unless
  // it has begun putting the script in place (committing), when it finishes.
  std::atomic<bool> cancel{false};
  std::atomic<bool> committing{false};
  std::atomic<std::uint64_t> inputSize{0};     // the list's size once it is open
  std::atomic<std::uint64_t> bytesRead{0};     // over both passes and the text copied out
  std::atomic<std::uint64_t> bytesWritten{0};  // of the script so far
  // The writers walk the list once for each part they write: the entries to pass in all, and
  // those passed up to the last block written.
  std::atomic<std::uint64_t> entriesToWrite{0};
  std::atomic<std::uint64_t> entriesWritten{0};
};

// What a run the user cancelled says.
inline Failure Cancelled() { return Fail("cancelled; nothing was written"); }

}  // namespace snipforge
