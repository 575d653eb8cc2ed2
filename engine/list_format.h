// How the lines of a frame list are read: plain, one number a line, or auto, which also reads
// the ranges, lists, qpfiles and logs that other tools write.
#pragma once

namespace snipforge {

// In the order of kListFormats.
enum class ListFormat { kPlain, kAuto };

}  // namespace snipforge
