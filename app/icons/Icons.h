// The program's pictures, drawn at run time: the toolbar and menu images and the
// globe of the window and tray icon.
#pragma once

#include <QIcon>

#include <vector>

namespace app {

// The image list: 0 zoom out, 1 zoom in, 2 globe, 3 about, 4 options, 5 add.
const std::vector<QIcon>& ImageList();
// The globe shown in the title bar and the tray.
QIcon AppIcon();
// A globe picture of the given side, for the tray and the wizard pages.
QPixmap GlobePixmap(int side);

} // namespace app
