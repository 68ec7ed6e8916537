#pragma once

#include <QFont>
#include <QIcon>

namespace brandel::gui {

/// The main window's one font: a gothic family that writes both Latin and Japanese, so the
/// Japanese type captions and the rest look alike, at the size the user chose for the desktop.
QFont window_font();

/// The program's icon, drawn from its SVG at the usual sizes.
QIcon window_icon();

}  // namespace brandel::gui
