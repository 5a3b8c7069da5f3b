// The window as it opens, as one table: captions, items, selections, enabled states, and the
// bars' fill colours.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>

#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using WindowStateTest = WindowFixture;

QStringList Items(QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

TEST_F(WindowStateTest, EveryControlStartsAsDescribed) {
    MainWindow& w = Open({"/dev/ttyS0", "/dev/ttyUSB9", "/dev/ttyUSB10"});
    const QString udpItem = QStringLiteral("UDP Port %1").arg(udpPort);
    const QStringList rates = {"115200", "833333", "921600", "1000000", "3000000"};
    const QStringList ports = {"/dev/ttyS0", "/dev/ttyUSB9", "/dev/ttyUSB10", " "};

    struct Row {
        const char* control;
        const char* property;
        QVariant expected;
    };
    const Row rows[] = {
        {"mainWindow", "windowTitle", "quorvex"},
        {"startButton", "text", "Start"},
        {"feedFigureLabel", "text", ""},
        {"feedPortBox", "currentText", "TCP Port 30003"},
        {"feedPortBox", "enabled", false},
        {"connectButton", "text", "Connect"},
        {"connectButton", "checkable", true},
        {"connectButton", "checked", false},
        {"intervalList", "currentText", "5 secs"},  // no settings file: index 1
        {"newLogFileButton", "text", "New"},
        {"newLogFileButton", "enabled", false},
        {"loggingButton", "text", "Start"},
        {"receiver1FigureLabel", "text", ""},
        {"receiver1PortList", "currentIndex", -1},
        {"receiver1FormatList", "currentIndex", -1},
        {"receiver1FormatList", "editable", false},
        {"receiver1RateList", "currentText", "1000000"},
        {"receiver1CrcBox", "text", "CRC"},
        {"receiver1CrcBox", "checked", false},
        {"receiver1CrcBox", "enabled", false},
        {"receiver1LoadButton", "text", "Load"},
        {"receiver1SaveButton", "text", "Save"},
        {"receiver1ProfileLabel", "text", "No profile"},
        {"receiver2PortList", "currentIndex", -1},
        {"receiver2FormatList", "editable", true},
        {"receiver2FormatList", "currentIndex", -1},
        {"receiver2FormatList", "currentText", "*<mode-s>; no CRC"},
        {"receiver2RateList", "currentText", udpItem},
        {"receiver2CrcBox", "enabled", false},
        {"receiver2ProfileLabel", "text", "No profile"},
        {"chartWindowList", "currentText", "30 sec"},
        {"copyButton", "text", "Copy"},
        {"clearButton", "text", "Clear"},
        {"holdButton", "text", "Hold"},
        {"holdButton", "checkable", true},
        {"holdButton", "checked", false},
        {"copyStampLabel", "visible", false},
    };
    w.show();
    for (const Row& row : rows) {
        QWidget* control = Find(row.control);
        if (control == nullptr) continue;
        EXPECT_EQ(control->property(row.property), row.expected)
            << row.control << "." << row.property;
    }

    EXPECT_EQ(w.size(), QSize(kWindowWidth, kWindowHeight));  // without settings: the smallest
    EXPECT_EQ(w.Pages()->currentIndex(), 0);
    EXPECT_EQ(w.Pages()->tabText(0) + w.Pages()->tabText(1) + w.Pages()->tabText(2) +
                  w.Pages()->tabText(3),
              "ControlGraphAboutAircraft");
    EXPECT_TRUE(w.AboutText()->text().contains("Quorvex"));
    EXPECT_TRUE(w.AboutText()->text().contains("Version 0.3"));
    EXPECT_TRUE(w.AboutText()->font().bold());
    EXPECT_TRUE(w.AboutFilesText()->text().contains(
        QString::fromStdString(folder.Folder() + "quorvex.ini")));

    for (const char* list : {"receiver1PortList", "receiver2PortList"}) {
        EXPECT_EQ(Items(Find<QComboBox>(list)), ports) << list;
    }
    const QStringList network = {QStringLiteral("TCP raw"), QStringLiteral("TCP Beast")};
    EXPECT_EQ(Items(Find<QComboBox>("receiver1RateList")), rates + network);
    EXPECT_EQ(Items(Find<QComboBox>("receiver2RateList")), rates + QStringList{udpItem} + network);
    EXPECT_EQ(Items(Find<QComboBox>("receiver1FormatList")),
              (QStringList{"@<48-bit counter><mode-s>;", "*<mode-s>; no CRC", ":<mode-s>; CRC done",
                           "Beast binary"}));
    EXPECT_EQ(Items(Find<QComboBox>("receiver2FormatList")),
              (QStringList{"@<counter><mode-s>;", "*<mode-s>; no CRC", ":<mode-s>; CRC done",
                           "Beast binary"}));
    EXPECT_EQ(Items(Find<QComboBox>("intervalList")),
              (QStringList{"2 sec", "5 secs", "15 secs", "30 secs", "60 secs"}));
    EXPECT_EQ(Items(Find<QComboBox>("chartWindowList")),
              (QStringList{"30 sec", "60 sec", "5 min", "30 min", "60 min"}));
}

// Fills every bar to the top and reads the colour in its middle.
TEST_F(WindowStateTest, BarsShowTheirFillColourUnderEveryStyle) {
    const QColor yellow(255, 255, 0), black(0, 0, 0), none;
    const std::pair<const char*, QColor> bars[] = {
        {"receiver1Df0Bar", none},       {"receiver1Df4_5Bar", black},
        {"receiver1Df11Bar", yellow},    {"receiver1Df11IcBar", none},
        {"receiver1Df17_19Bar", yellow}, {"receiver1Df20_21Bar", black},
        {"receiver2Df0Bar", none},       {"receiver2Df4_5Bar", black},
        {"receiver2Df11Bar", yellow},    {"receiver2Df11IcBar", none},
        {"receiver2Df17_19Bar", yellow}, {"receiver2Df20_21Bar", black},
        {"feedMsg5_6Bar", black},        {"feedMsg8Bar", yellow},
        {"feedMsgOtherBar", yellow},
    };
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    for (const char* styleName : {"Fusion", "Windows"}) {
        std::unique_ptr<QStyle> style(QStyleFactory::create(QString::fromLatin1(styleName)));
        ASSERT_NE(style, nullptr) << styleName;
        MainWindow& w = Open();
        for (QWidget* child : w.findChildren<QWidget*>()) child->setStyle(style.get());
        for (const auto& [name, colour] : bars) {
            QProgressBar* bar = Find<QProgressBar>(name);
            ASSERT_NE(bar, nullptr);
            EXPECT_EQ(bar->minimum(), 0);
            EXPECT_EQ(bar->maximum(), 100);
            EXPECT_EQ(bar->value(), 0);
            const QColor fill = colour.isValid() ? colour : highlight;
            bar->setValue(100);
            QImage image = bar->grab().toImage();
            EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), fill)
                << name << " " << styleName;
            // Half way: filled from the bottom, the groove above.
            bar->setValue(50);
            image = bar->grab().toImage();
            EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() * 3 / 4), fill) << name;
            EXPECT_NE(image.pixelColor(image.width() / 2, image.height() / 4), fill) << name;
        }
        window.reset();
    }
}

}  // namespace
}  // namespace quorvex::app::test
