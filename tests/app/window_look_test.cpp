// How the window looks: a picture of each page for a person to look at, and checks that no
// control is cut off or lies over another (CTest runs this once more at scale 1.25).

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>

#include "core/run/run.h"
#include "core/run/udp_datagram.h"
#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using WindowLookTest = WindowFixture;

QString PictureName(const QString& page) {
    QString name = page + QLatin1Char('-') + QGuiApplication::platformName();
    const QByteArray scale = qgetenv("QT_SCALE_FACTOR");
    if (!scale.isEmpty()) name += QLatin1Char('-') + QString::fromLatin1(scale);
    return name;
}

// What a control needs to show all of its text.
bool CutOff(const QWidget* w) {
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->text().isEmpty()) return false;
        if (label->wordWrap()) return label->heightForWidth(label->width()) > label->height();
        return label->sizeHint().width() > label->width() ||
               label->sizeHint().height() > label->height();
    }
    if (qobject_cast<const QAbstractButton*>(w) != nullptr ||
        qobject_cast<const QComboBox*>(w) != nullptr) {
        const QSize need = w->minimumSizeHint();
        return need.width() > w->width() || need.height() > w->height();
    }
    return false;
}

TEST_F(WindowLookTest, NoControlIsCutOffOrCoversAnother) {
    MainWindow& w = Open({"/dev/ttyUSB0", "/dev/ttyUSB1"});
    w.show();
    // Texts as wide as a run makes them.
    w.Controller().ReceiverControls(SourceId::Receiver1).Label = "roof-antenna";
    w.Controller().StartStopClicked();  // running: receiver 2 on UDP with its typed format
    for (int page = 0; page < w.Pages()->count(); ++page) {
        w.Pages()->setCurrentIndex(page);
        QApplication::processEvents();
        SaveScreenshot(w, PictureName(w.Pages()->tabText(page).toLower()));
        EXPECT_EQ(w.grab().size() / w.devicePixelRatio(), QSize(kWindowWidth, kWindowHeight));

        const QList<QWidget*> controls = w.Pages()->widget(page)->findChildren<QWidget*>();
        for (QWidget* control : controls) {
            if (!control->isVisible() || control->isWindow()) continue;
            const QString name = control->objectName();
            QWidget* parent = control->parentWidget();
            EXPECT_TRUE(parent->rect().contains(control->geometry()))
                << name.toStdString() << " leaves its parent";
            EXPECT_FALSE(CutOff(control)) << name.toStdString() << " is cut off";
            for (QWidget* other : controls) {
                if (other == control || other->parentWidget() != parent || !other->isVisible() ||
                    other->isWindow() || name.isEmpty() || other->objectName().isEmpty()) {
                    continue;
                }
                EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                    << name.toStdString() << " overlaps " << other->objectName().toStdString();
            }
        }
    }
}

// Pictures of a running window with traffic, for a person to look at.
TEST_F(WindowLookTest, RunningWindowHasScreenshots) {
    MainWindow& w = Open();
    MeasurementController& c = w.Controller();
    c.ReceiverControls(SourceId::Receiver2).Format.SelectIndex(1);
    c.StartStopClicked();
    c.Timer().stop();
    const char* frames[] = {"*8D4840D6202CC371C32CE0576098;", "*5D484FDEA248F5;",
                            "*8D4840D6202CC371C32CE0576098;", "*8D4840D6202CC371C32CE05760ZZ;"};
    for (int second = 0; second < 30; ++second) {
        for (int i = 0; i <= second % 7; ++i) {
            for (const char* frame : frames) c.Input(SourceId::Receiver2).Framer().FeedText(frame);
        }
        c.CurrentRun().TakeFeed("MSG,3,1,1,4840D6,1\r\nMSG,8,1,1,4840D6,1\r\n");
        c.Tick();
    }
    w.show();
    for (int page : {0, 1}) {
        w.Pages()->setCurrentIndex(page);
        QApplication::processEvents();
        SaveScreenshot(w, PictureName(w.Pages()->tabText(page).toLower() + "-running"));
    }
    EXPECT_GT(c.Input(SourceId::Receiver2).Rejected().Count, 0u);
}

}  // namespace
}  // namespace quorvex::app::test
