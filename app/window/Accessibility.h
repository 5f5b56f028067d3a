// The window's parts as a screen reader meets them. Qt's own interfaces read
// the labels, buttons and menus; the parts painted by hand or written as
// abbreviations get interfaces here: each list row is a list item whose name
// reads its place and time in words and whose description is its tooltip, the
// list panel is a list, and each status panel reads its value in words.
#pragma once

class QWidget;

namespace app {

// Makes the interfaces known to Qt's accessibility; once per process, before
// any of the window's parts is asked for.
void InstallAccessibility();

// Keeps a window named by its title while it is minimised too: Qt names a
// minimised window by its icon text, which then follows the title.
void NameWhileMinimized(QWidget* window);

} // namespace app
