// The program's pictures, drawn here rather than kept as files: the window's scissors and the
// pictures of the two file buttons.
#pragma once

#include <QImage>

namespace snipforge {

// 32 x 32 in the sixteen colours of the classic desktop palette, with a transparent background.
[[nodiscard]] QImage ScissorsImage();
// 16 x 15: an opened folder with a curved arrow, for the button that opens the input file.
[[nodiscard]] QImage OpenFolderImage();
// 16 x 15: a floppy disk, for the button that chooses the output file.
[[nodiscard]] QImage FloppyImage();

}  // namespace snipforge
