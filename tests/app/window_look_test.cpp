// How the window looks: a picture of each page for a person to look at, and checks that no
// control is cut off or lies over another.

#include <QTabWidget>

#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using WindowLookTest = WindowFixture;

TEST_F(WindowLookTest, EveryPageHasAScreenshot) {
    MainWindow& w = Open();
    w.show();
    for (int page = 0; page < w.Pages()->count(); ++page) {
        w.Pages()->setCurrentIndex(page);
        QApplication::processEvents();
        SaveScreenshot(w, w.Pages()->tabText(page).toLower());
        EXPECT_EQ(w.grab().size(), QSize(kWindowWidth, kWindowHeight));
    }
}

}  // namespace
}  // namespace quorvex::app::test
