#include "engine/output_path.h"

namespace snipforge {

std::string DeriveOutputPath(std::string_view input) {
  const std::size_t point = input.rfind('.');
  if (point == std::string_view::npos) return std::string(input) + ".avs";
  return std::string(input.substr(0, point + 1)) + "avs";
}

}  // namespace snipforge
