// The program's pictures in the Qt window, drawn as SVG and rendered to PNG when the program is
// built (window/icons).
#pragma once

#include <QIcon>

namespace snipforge {

// The program's icon in every size.
[[nodiscard]] QIcon ProgramIcon();
// The pictures of the two file buttons: open the frame list, choose where the script goes.
[[nodiscard]] QIcon OpenIcon();
[[nodiscard]] QIcon SaveIcon();

}  // namespace snipforge
