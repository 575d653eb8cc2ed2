// Where a frame list's lines come from: the open list, read past a UTF-8 byte-order mark, or a
// private copy in UTF-8 of a list written in UTF-16, which every pass then reads alike.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/file_system.h"
#include "engine/list_format.h"
#include "engine/result.h"
#include "engine/run_control.h"

namespace snipforge {

struct ListSource {
  std::shared_ptr<const InputFile> file;  // known as the list, whatever it reads
  std::string name;                       // the list's name in messages
  ListFormat format = ListFormat::kPlain;
  std::uint64_t start = 0;                // where the first line begins
};

// The list's text. A list that begins with EF BB BF is read from the byte after the mark; one that
// begins with FF FE or FE FF is decoded from UTF-16 (little- or big-endian) into a copy in UTF-8
// that no name reaches, and fails, naming the line, when it is not valid UTF-16. Any other list
// is read as its bytes.
[[nodiscard]] Result<ListSource> OpenListSource(std::shared_ptr<const InputFile> file,
                                                std::string name, ListFormat format,
                                                RunControl* control = nullptr);

}  // namespace snipforge
