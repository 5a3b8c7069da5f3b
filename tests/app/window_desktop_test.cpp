// The window as a desktop window: it grows (the Graph, Aircraft and Coverage pages with it),
// its place, size and Aircraft columns come back at the next start, and the keyboard reaches
// every page and button.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <map>

#include "app/aircraft_model.h"
#include "app/aircraft_page.h"
#include "app/coverage_page.h"
#include "app/graph_page.h"
#include "app/history_page.h"
#include "app/levels_page.h"
#include "ui/chart.h"
#include "ui/polar_plot.h"
#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using WindowDesktopTest = WindowFixture;

QSize ShownSize(MainWindow& w, QWidget* page, QWidget* content) {
    w.Pages()->setCurrentWidget(page);
    QApplication::processEvents();
    return content->size();
}

TEST_F(WindowDesktopTest, TheChartTableAndPlotTakeTheRoomAndTheControlPageKeepsItsLayout) {
    MainWindow& w = Open();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.minimumSize(), QSize(kWindowWidth, kWindowHeight));
    EXPECT_EQ(w.size(), w.minimumSize());
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    QWidget* panel = Find("controlPanel");
    const QSize panelSize = panel->size();
    EXPECT_EQ(panelSize, w.ControlPage()->size()) << "the smallest window: as it always was";

    std::map<QWidget*, QRect> controls;
    for (QWidget* control : panel->findChildren<QWidget*>())
        controls[control] = control->geometry();
    const std::pair<QWidget*, QWidget*> grown[] = {{w.Graph(), w.Graph()->Chart()},
                                                   {w.Aircraft(), w.Aircraft()->Table()},
                                                   {w.CoverageView(), w.CoverageView()->Plot()}};
    std::map<QWidget*, QSize> before;
    for (const auto& [page, content] : grown) before[content] = ShownSize(w, page, content);

    w.resize(kWindowWidth + 400, kWindowHeight + 300);
    for (const auto& [page, content] : grown) {
        const QSize now = ShownSize(w, page, content);
        EXPECT_GT(now.width(), before[content].width() + 300) << page->objectName().toStdString();
        EXPECT_GT(now.height(), before[content].height() + 200) << page->objectName().toStdString();
    }
    const QTableView* table = w.Aircraft()->Table();
    EXPECT_EQ(table->horizontalHeader()->length(), table->viewport()->width())
        << "untouched, the columns share the table's width";
    EXPECT_EQ(w.Aircraft()->ColumnWidths(), std::vector<int>{});

    w.Pages()->setCurrentWidget(w.ControlPage());
    QApplication::processEvents();
    EXPECT_EQ(panel->size(), panelSize);
    for (const auto& [control, geometry] : controls) {
        EXPECT_EQ(control->geometry(), geometry) << control->objectName().toStdString();
    }

    w.resize(100, 100);
    EXPECT_EQ(w.size(), QSize(kWindowWidth, kWindowHeight));
}

QRect CentredOnPrimary(QSize size) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    return {screen.x() + (screen.width() - size.width()) / 2,
            screen.y() + (screen.height() - size.height()) / 2, size.width(), size.height()};
}

TEST_F(WindowDesktopTest, PlaceSizeColumnsAndSortComeBackAtTheNextStart) {
    const QRect place(20, 30, 630, 590);  // within the smallest screen the tests have
    std::vector<int> widths;
    {
        MainWindow& w = Open();
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.setGeometry(place);
        QHeaderView* header = w.Aircraft()->Table()->horizontalHeader();
        header->resizeSection(AircraftModel::Address, 120);  // as a person's drag does
        w.Aircraft()->Table()->sortByColumn(AircraftModel::SinceHeard, Qt::AscendingOrder);
        for (int column = 0; column < header->count(); ++column) {
            widths.push_back(header->sectionSize(column));
        }
        w.close();
        window.reset();
    }
    MainWindow& w = Open();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.geometry(), place);
    EXPECT_EQ(w.Aircraft()->ColumnWidths(), widths);
    EXPECT_EQ(w.Aircraft()->Sort(), (TableSort{AircraftModel::SinceHeard, false}));
    EXPECT_EQ(errors, std::vector<std::string>{});

    w.showMaximized();
    QApplication::processEvents();
    w.close();
    window.reset();
    MainWindow& again = Open();
    again.show();
    EXPECT_TRUE(again.isMaximized());
    EXPECT_EQ(again.normalGeometry(), place);
}

TEST_F(WindowDesktopTest, SavedValuesThatCannotBeUsedGiveWayToTheDefaults) {
    const QRect smallest = CentredOnPrimary({kWindowWidth, kWindowHeight});
    const struct {
        const char* values;
        QRect geometry;
        const char* error;  // what the start says; empty: nothing
    } cases[] = {
        {"geometry=40,30,300,200", {40, 30, kWindowWidth, kWindowHeight}, ""},
        {"geometry=9000,9000,630,590", CentredOnPrimary({630, 590}), ""},
        {"geometry=40,-100,630,590", CentredOnPrimary({630, 590}), ""},
        {"geometry=40,30,700", smallest, "[Window] geometry=40,30,700 is no X,Y,WIDTH,HEIGHT"},
        {"maximized=2", smallest, "[Window] maximized=2 is neither 0 nor 1"},
        {"aircraftcolumns=80,60", smallest, "[Window] aircraftcolumns=80,60 is no list of 10"},
        {"aircraftsort=10,descending", smallest, "[Window] aircraftsort=10,descending is no"},
    };
    for (const auto& c : cases) {
        QFile settings(QString::fromStdString(folder.Folder() + "quorvex.ini"));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(QByteArray("[Window]\n") + c.values + "\n");
        settings.close();
        errors.clear();
        MainWindow& w = Open();
        w.AfterShow({});
        EXPECT_EQ(w.geometry(), c.geometry) << c.values;
        EXPECT_FALSE(w.isMaximized()) << c.values;
        EXPECT_EQ(w.Aircraft()->ColumnWidths(), std::vector<int>{}) << c.values;
        EXPECT_EQ(w.Aircraft()->Sort(), (TableSort{AircraftModel::PerMinute1, true})) << c.values;
        if (*c.error == '\0') {
            EXPECT_EQ(errors, std::vector<std::string>{}) << c.values;
        } else {
            ASSERT_EQ(errors.size(), 1u) << c.values;
            EXPECT_NE(errors[0].find(c.error), std::string::npos) << errors[0];
        }
        window.reset();  // gone without a close: the file stays as the case wrote it
    }
}

QWidget* Focus(MainWindow& w) {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus : &w;
}

// The buttons that Tab reaches from the tab bar, in order, before it comes round again.
std::vector<QAbstractButton*> TabStops(MainWindow& w) {
    std::vector<QAbstractButton*> buttons;
    w.Pages()->tabBar()->setFocus();
    for (int step = 0; step < 100; ++step) {
        QTest::keyClick(Focus(w), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        if (focus == w.Pages()->tabBar()) break;
        if (auto* button = qobject_cast<QAbstractButton*>(focus)) buttons.push_back(button);
    }
    return buttons;
}

std::vector<std::string> Names(const std::vector<QAbstractButton*>& buttons) {
    std::vector<std::string> names;
    for (const QAbstractButton* button : buttons)
        names.push_back(button->objectName().toStdString());
    return names;
}

TEST_F(WindowDesktopTest, KeysChooseThePagesAndReachEveryButton) {
    MainWindow& w = Open();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QWidget* page;
    } steps[] = {
        {Qt::Key_2, Qt::ControlModifier, w.Graph()},
        {Qt::Key_4, Qt::ControlModifier, w.CoverageView()},
        {Qt::Key_5, Qt::ControlModifier, w.LevelsView()},
        {Qt::Key_6, Qt::ControlModifier, w.HistoryView()},
        {Qt::Key_3, Qt::ControlModifier, w.Aircraft()},
        {Qt::Key_1, Qt::ControlModifier, w.ControlPage()},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, w.HistoryView()},
        {Qt::Key_Tab, Qt::ControlModifier, w.ControlPage()},
        {Qt::Key_Tab, Qt::ControlModifier, w.Graph()},
        {Qt::Key_Tab, Qt::ControlModifier, w.AboutText()->parentWidget()},
    };
    for (const auto& step : steps) {
        QTest::keyClick(Focus(w), step.key, step.modifiers);
        EXPECT_EQ(w.Pages()->currentWidget(), step.page) << step.key;
    }

    w.Pages()->setCurrentWidget(w.ControlPage());
    EXPECT_EQ(Names(TabStops(w)),
              (std::vector<std::string>{"connectButton", "loggingButton", "receiver1LoadButton",
                                        "receiver1SaveButton", "receiver2LoadButton",
                                        "receiver2SaveButton", "startButton"}));
    for (QWidget* page :
         std::vector<QWidget*>{w.Graph(), w.Aircraft(), w.CoverageView(), w.LevelsView()}) {
        w.Pages()->setCurrentWidget(page);
        const std::vector<QAbstractButton*> reached = TabStops(w);
        for (QAbstractButton* button : page->findChildren<QAbstractButton*>()) {
            if (qobject_cast<QAbstractItemView*>(button->parentWidget())) continue;  // its corner
            EXPECT_NE(std::find(reached.begin(), reached.end(), button), reached.end())
                << button->objectName().toStdString() << " is not reached with Tab";
            // A mnemonic clicks its button, the one button of its letter on the page.
            const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
            if (mnemonic.isEmpty()) continue;
            QSignalSpy clicked(button, &QAbstractButton::clicked);
            QTest::keySequence(&w, mnemonic);
            EXPECT_TRUE(clicked.wait(2000)) << button->objectName().toStdString();  // animated
        }
    }
}

}  // namespace
}  // namespace quorvex::app::test
