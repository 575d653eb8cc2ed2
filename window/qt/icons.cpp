#include "window/qt/icons.h"

// The pictures are compiled into this library; a static library's resources are registered by
// hand, since nothing else makes the linker keep them.
static void RegisterPictures() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(snipforge_icons);
    return true;
  }();
  static_cast<void>(registered);
}

namespace snipforge {

QIcon ProgramIcon() {
  RegisterPictures();
  QIcon icon;
  for (const int size : {16, 32, 48, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/snipforge-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

// A high-DPI screen takes the 32-pixel picture QIcon finds beside each as NAME@2x.png.
QIcon OpenIcon() {
  RegisterPictures();
  return QIcon(QStringLiteral(":/icons/open-16.png"));
}

QIcon SaveIcon() {
  RegisterPictures();
  return QIcon(QStringLiteral(":/icons/save-16.png"));
}

}  // namespace snipforge
