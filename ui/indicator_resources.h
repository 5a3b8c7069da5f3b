#pragma once
// The bitmaps the port indicators and the lamps paint, embedded in the program
// (resources/indicators.qrc) and looked up by resource name.
//
// Threads: the user-interface thread only.

#include <QImage>

namespace quorvex::ui {

// The bitmap with resource name `name` ("LEDGREENON", "ALEDLG"); a null image when there is
// none. Registers the embedded resources on first use, since a static library's own
// registration may be dropped by the linker.
QImage LoadIndicatorBitmap(const char* name);

}  // namespace quorvex::ui
