#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/aircraft_page.h"
#include "app/combo_mirror.h"
#include "app/control_style.h"
#include "app/coverage_page.h"
#include "app/error_display.h"
#include "app/export_file.h"
#include "app/feed_panel.h"
#include "app/graph_page.h"
#include "app/history_page.h"
#include "app/levels_page.h"
#include "app/page_keys.h"
#include "app/receiver_panel.h"
#include "app/report_file.h"
#include "core/export/level_csv.h"
#include "core/settings/window_settings.h"
#include "platform/application_errors.h"
#include "platform/program_paths.h"
#include "ui/a_led.h"
#include "ui/polar_plot.h"

namespace quorvex::app {
namespace {

constexpr std::size_t kGroups = 6;

// The Control page's room in the smallest window (the tabs and frame taken off); a larger
// window leaves its controls so.
constexpr int kControlPanelWidth = 604;
constexpr int kControlPanelHeight = 549;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// The window draws --report's page itself.
MeasurementController::Options WithReport(MeasurementController::Options options) {
    options.WriteReport = WriteReportFile;
    return options;
}

}  // namespace

MainWindow::MainWindow(MeasurementController::Options options, const CommandLine& commandLine,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      controller_(std::make_unique<MeasurementController>(WithReport(std::move(options)))),
      dialogs_(QtDialogs(this)) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("quorvex"));
    setFont(SansFont(8));
    setMinimumSize(kWindowWidth, kWindowHeight);

    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("pages"));
    controlPage_ = MakeControlPage();
    pages_->addTab(controlPage_, QStringLiteral("Control"));
    graph_ = new GraphPage(pages_);
    pages_->addTab(graph_, QStringLiteral("Graph"));
    pages_->addTab(MakeAboutPage(), QStringLiteral("About"));
    aircraft_ = new AircraftPage(pages_);
    pages_->addTab(aircraft_, QStringLiteral("Aircraft"));
    coverage_ = new CoveragePage(pages_);
    pages_->addTab(coverage_, QStringLiteral("Coverage"));
    levels_ = new LevelsPage(pages_);
    pages_->addTab(levels_, QStringLiteral("Levels"));
    history_ = new HistoryPage(pages_);
    pages_->addTab(history_, QStringLiteral("History"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(pages_);

    ApplyCommandLine(commandLine, controller_->Controls());
    coverage_->ShowStation(controller_->Controls().Station, controller_->Controls().MaxRangeNm);
    Bind();
    ShowControls();
    pages_->setCurrentIndex(0);
    OrderTabStops();
    AddPageKeys(*this, *pages_, {controlPage_, graph_, aircraft_, coverage_, levels_, history_});
    RestoreWindowSettings();
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::MakeControlPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("controlPage"));
    // The controls as the smallest window lays them out; a larger one centres them.
    auto* panel = new QWidget(page);
    panel->setObjectName(QStringLiteral("controlPanel"));
    panel->setMaximumSize(kControlPanelWidth, kControlPanelHeight);
    auto* centre = new QGridLayout(page);
    centre->setContentsMargins(0, 0, 0, 0);
    centre->addWidget(panel, 0, 0);

    feed_ = new FeedPanel(panel);
    receiver1_ = new ReceiverPanel(SourceId::Receiver1, panel);
    receiver2_ = new ReceiverPanel(SourceId::Receiver2, panel);

    auto* filter = new QFrame(panel);
    filter->setObjectName(QStringLiteral("filterPanel"));
    filter->setFrameShape(QFrame::StyledPanel);
    auto* filterLabel = new QLabel(QStringLiteral("Filter"), filter);
    interval_ = new QComboBox(filter);
    interval_->setObjectName(QStringLiteral("intervalList"));
    heartbeat_ = new ui::TALed(filter);
    heartbeat_->setObjectName(QStringLiteral("heartbeatLamp"));
    heartbeat_->SetBlink(false);
    heartbeat_->SetFalseColor(kYellow);
    heartbeat_->SetLEDStyle(ui::TLEDStyle::LEDLarge);
    auto* filterRow = new QHBoxLayout(filter);
    filterRow->setContentsMargins(6, 4, 6, 4);
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(interval_, 1);
    filterRow->addWidget(heartbeat_);

    auto* logfile = new QGroupBox(QStringLiteral("Logfile"), panel);
    logfile->setObjectName(QStringLiteral("logfileGroup"));
    newLog_ = new QPushButton(QStringLiteral("New"), logfile);
    newLog_->setObjectName(QStringLiteral("newLogFileButton"));
    logging_ = new QPushButton(QStringLiteral("Start"), logfile);
    logging_->setObjectName(QStringLiteral("loggingButton"));
    auto* logRow = new QHBoxLayout(logfile);
    logRow->addWidget(newLog_);
    logRow->addWidget(logging_);

    start_ = new QPushButton(QStringLiteral("Start"), panel);
    start_->setObjectName(QStringLiteral("startButton"));
    start_->setFont(SansFont(12, true));
    start_->setFixedSize(160, 40);

    auto* left = new QVBoxLayout;
    left->addWidget(feed_, 1);
    left->addWidget(filter);
    left->addWidget(logfile);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 9);
    columns->addWidget(receiver1_, 10);
    columns->addWidget(receiver2_, 10);
    auto* pageLayout = new QVBoxLayout(panel);
    pageLayout->setContentsMargins(4, 4, 4, 4);
    pageLayout->addLayout(columns, 1);
    pageLayout->addWidget(start_, 0, Qt::AlignHCenter);
    return page;
}

QWidget* MainWindow::MakeAboutPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("aboutPage"));
    about_ = new QLabel(QStringLiteral("Quorvex\n\nVersion 0.3"), page);
    about_->setObjectName(QStringLiteral("aboutText"));
    about_->setFont(SansFont(10, true));
    about_->setAlignment(Qt::AlignCenter);
    about_->setWordWrap(true);
    aboutFiles_ = new QLabel(Text(FilesText(controller_->Paths())), page);
    aboutFiles_->setObjectName(QStringLiteral("aboutFilesText"));
    aboutFiles_->setFont(MonoFont(8));
    aboutFiles_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(about_, 1);
    layout->addWidget(aboutFiles_, 1, Qt::AlignHCenter | Qt::AlignTop);
    return page;
}

void MainWindow::OrderTabStops() {
    std::vector<QWidget*> order = {feed_->PortBox(), feed_->ConnectButton(), interval_, newLog_,
                                   logging_};
    for (const SourceId receiver : kReceivers) {
        const ReceiverPanel* panel = Receiver(receiver);
        order.insert(order.end(), {panel->PortList(), panel->FormatList(), panel->RateList(),
                                   panel->CrcBox(), panel->LoadButton(), panel->SaveButton()});
    }
    order.push_back(start_);
    for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void MainWindow::RestoreWindowSettings() {
    const WindowSettings& saved = controller_->Controls().Window;
    std::vector<ScreenRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        const ScreenRect rect{area.x(), area.y(), area.width(), area.height()};
        // The primary screen first: a window with nowhere else to go is centred on it.
        if (screen == QGuiApplication::primaryScreen()) {
            screens.insert(screens.begin(), rect);
        } else {
            screens.push_back(rect);
        }
    }
    const ScreenRect place = PlaceWindow(saved.Geometry, kWindowWidth, kWindowHeight, screens);
    setGeometry(place.X, place.Y, place.Width, place.Height);
    if (saved.Maximized) setWindowState(windowState() | Qt::WindowMaximized);
    aircraft_->ShowColumnWidths(saved.AircraftColumns);
    if (saved.AircraftSort) aircraft_->ShowSort(*saved.AircraftSort);
}

void MainWindow::StoreWindowSettings() {
    WindowSettings& window = controller_->Controls().Window;
    // Maximised, the window still knows its place and size in between.
    const QRect normal = normalGeometry();
    if (normal.isValid()) {
        window.Geometry = ScreenRect{normal.x(), normal.y(), normal.width(), normal.height()};
    }
    window.Maximized = isMaximized();
    window.AircraftColumns = aircraft_->ColumnWidths();
    window.AircraftSort = aircraft_->Sort();
}

void MainWindow::Bind() {
    MeasurementController& c = *controller_;
    c.OnControlsChanged = [this] { ShowControls(); };
    c.OnTickResult = [this](const TickResult& tick) { ShowTick(tick); };
    c.OnHeartbeat = [this](bool value) { heartbeat_->SetValue(value); };
    c.OnNetworkReceived = [this](SourceId receiver) { Receiver(receiver)->FlashLamp(); };
    c.OnRefusal = [this](const StartRefusal& refusal) {
        if (dialogs_.Refusal) dialogs_.Refusal(refusal.Caption, refusal.Text);
    };
    c.AskContinue = [this](const std::string& question) {
        return dialogs_.AskYesNo && dialogs_.AskYesNo("Quorvex", question + "?");
    };
    for (const SourceId receiver : kReceivers) BindReceiver(receiver);

    feed_->OnConnectClicked = [&c](bool down) { c.SetConnect(down); };
    connect(interval_, &QComboBox::activated, this, [&c](int index) { c.SelectInterval(index); });
    connect(start_, &QPushButton::clicked, this, [&c] { c.StartStopClicked(); });
    connect(logging_, &QPushButton::clicked, this, [this, &c] {
        c.LoggingClicked();
        ShowControls();
    });
    connect(newLog_, &QPushButton::clicked, this, [&c] { c.NewLogFileClicked(); });

    graph_->OnChartWindowChosen = [&c](int index) { c.SelectChartWindow(index); };
    graph_->OnClearClicked = [&c] { c.ClearClicked(); };
    graph_->OnHoldClicked = [&c](bool down) { c.SetHold(down); };
    graph_->OnCopyClicked = [this] { CopyToClipboard(); };
    graph_->OnExportClicked = [this, &c] {
        ExportCsv(QStringLiteral("quorvex-seconds"),
                  SecondHistoryCsv(c.CurrentRun().Measurement().Seconds));
    };
    aircraft_->OnExportClicked = [this] {
        ExportCsv(QStringLiteral("quorvex-aircraft"), aircraft_->TableCsv());
    };
    c.OnTallyTicked = [this] {
        if (pages_->currentWidget() == aircraft_) RefreshAircraft();
        if (pages_->currentWidget() == coverage_) RefreshCoverage();
        if (pages_->currentWidget() == levels_) RefreshLevels();
        if (pages_->currentWidget() == history_) RefreshHistory();
    };
    levels_->OnExportClicked = [this, &c] {
        ExportCsv(QStringLiteral("quorvex-levels"), LevelCsvText(c.CurrentRun().Levels()));
    };
    coverage_->OnViewChanged = [this] { RefreshCoverage(); };
    coverage_->OnStationApplied = [this, &c](LatLon station, double maxRangeNm) {
        c.SetStation(station, maxRangeNm);
        RefreshCoverage();
    };
    coverage_->OnClearClicked = [this, &c] {
        c.ClearCoverageClicked();
        RefreshCoverage();
    };
    coverage_->OnCopyClicked = [this] { CopyPlotToClipboard(); };
    history_->OnReportClicked = [this] { SaveReport(); };
    coverage_->OnExportClicked = [this, &c] {
        ExportCsv(QStringLiteral("quorvex-coverage"),
                  CoveragePage::ExportText(c.CurrentRun().Positions()));
    };
    connect(pages_, &QTabWidget::currentChanged, this, [this] { PageChanged(); });
}

void MainWindow::BindReceiver(SourceId receiver) {
    MeasurementController& c = *controller_;
    ReceiverPanel* panel = Receiver(receiver);
    panel->WatchPort(&c.Input(receiver).ComPort());
    panel->OnListChosen = [&c, receiver](ComboModel ReceiverProfile::*list, int index) {
        c.SelectItem(receiver, list, index);
    };
    panel->OnFormatTyped = [&c, receiver](const std::string& text) {
        c.SetFormatText(receiver, text);
    };
    panel->OnPortTyped = [&c, receiver](const std::string& text) { c.SetPortText(receiver, text); };
    panel->OnCrcClicked = [&c, receiver](bool checked) { c.Input(receiver).SetCrc(checked); };
    panel->OnLoadClicked = [this, &c, receiver] {
        if (!dialogs_.OpenProfile) return;
        if (const auto path = dialogs_.OpenProfile(Text(c.ProfilesFolderPath()))) {
            c.LoadProfile(receiver, *path);
        }
    };
    panel->OnSaveClicked = [this, &c, receiver] {
        if (!dialogs_.SaveProfile) return;
        if (const auto path = dialogs_.SaveProfile(Text(c.ProfilesFolderPath()))) {
            c.SaveProfile(receiver, *path);
        }
    };
}

void MainWindow::AfterShow(const CommandLine& commandLine) {
    MeasurementController& c = *controller_;
    if (!c.UdpBindError().empty()) {
        platform::ShowApplicationError("UDP port " + std::to_string(c.UdpPort()) + ": " +
                                       c.UdpBindError());
    }
    if (!c.SharedFolderWarning().empty()) platform::ShowApplicationError(c.SharedFolderWarning());
    // What the start could not read, in one box.
    std::string unread;
    for (const std::string& problem : c.StartProblems()) {
        unread += (unread.empty() ? "" : "\n") + problem;
    }
    if (!unread.empty()) platform::ShowApplicationError(unread);
    c.ApplyRunOptions(commandLine);
    if (commandLine.Station) {
        coverage_->ShowStation(c.Controls().Station, c.Controls().MaxRangeNm);
    }
    c.PressRunButtons(commandLine);
}

void MainWindow::ShowControls() {
    const MeasurementController& c = *controller_;
    const bool running = c.Running();
    for (const SourceId receiver : kReceivers) {
        Receiver(receiver)->ShowControls(controller_->ReceiverControls(receiver),
                                         c.Input(receiver).Crc(), running, c.StoppedOnce());
        Receiver(receiver)->ShowTrouble(c.ShownTrouble(receiver));
    }
    MirrorCombo(interval_, c.Controls().Timer);
    feed_->ShowControls(c.ConnectDown(), c.StoppedOnce() && !running);
    feed_->ShowTrouble(c.FeedTrouble());
    start_->setText(running ? QStringLiteral("Stop") : QStringLiteral("Start"));
    const Logfile& log = controller_->CurrentRun().Log();
    logging_->setText(QString::fromLatin1(log.LoggingButtonCaption().data(),
                                          static_cast<int>(log.LoggingButtonCaption().size())));
    newLog_->setEnabled(log.NewFileEnabled());
    graph_->ShowHold(c.HoldDown());
}

void MainWindow::ShowTick(const TickResult& tick) {
    const std::span<const std::int32_t> bars(tick.BarPositions);
    receiver1_->ShowRates(bars.subspan<0, kGroups>(), tick.BarMaximum, tick.Receiver1Figure);
    receiver2_->ShowRates(bars.subspan<kGroups, kGroups>(), tick.BarMaximum, tick.Receiver2Figure);
    feed_->ShowRates(bars.subspan<2 * kGroups, 3>(), tick.BarMaximum, tick.FeedFigure);
    graph_->ShowSeries(tick.Series);
    for (const SourceId receiver : kReceivers) {
        Receiver(receiver)->ShowTrouble(controller_->ShownTrouble(receiver));
    }
}

void MainWindow::RefreshAircraft() {
    const Run& run = controller_->CurrentRun();
    aircraft_->Refresh(run.Tally(), run.TallySecond() - 1);
}

void MainWindow::RefreshCoverage() {
    coverage_->Refresh(controller_->CurrentRun().Positions());
}

void MainWindow::RefreshHistory() {
    const Run& run = controller_->CurrentRun();
    history_->Refresh(run.HistoryRows(), run.History().PeriodMinutes(), run.Gaps());
}

void MainWindow::RefreshLevels() {
    const Run& run = controller_->CurrentRun();
    levels_->Refresh(run.Levels(), run.Positions().maxRangeNm());
}

QString MainWindow::SuggestedPath(const QString& stem, const QString& suffix) const {
    // A folder that cannot be made is said; the dialog still lets the file go elsewhere.
    const std::string& folder = controller_->Paths().CsvFolder;
    if (const auto problem = platform::CreateFolder(folder, "CSV folder")) {
        platform::ShowApplicationError(*problem);
    }
    return QDir(Text(folder))
        .filePath(stem +
                  QDateTime::currentDateTime().toString(QStringLiteral("-yyyyMMdd-HHmmss.")) +
                  suffix);
}

void MainWindow::ExportCsv(const QString& stem, const std::string& text) {
    if (!dialogs_.SaveCsv) return;
    const auto path = dialogs_.SaveCsv(SuggestedPath(stem, QStringLiteral("csv")));
    if (!path) return;
    if (const auto error = WriteExportFile(*path, text)) platform::ShowApplicationError(*error);
}

void MainWindow::SaveReport() {
    if (!dialogs_.SaveReport) return;
    const auto path =
        dialogs_.SaveReport(SuggestedPath(QStringLiteral("quorvex-report"), QStringLiteral("pdf")));
    if (!path) return;
    if (const auto error = WriteReportFile(*controller_, *path)) {
        platform::ShowApplicationError(*error);
    }
}

void MainWindow::PageChanged() {
    // The Aircraft page is refreshed only while it shows; it catches up when it is chosen.
    if (pages_->currentWidget() == aircraft_) RefreshAircraft();
    if (pages_->currentWidget() == coverage_) RefreshCoverage();
    if (pages_->currentWidget() == levels_) RefreshLevels();
    if (pages_->currentWidget() == history_) RefreshHistory();
    const MeasurementController::GraphTexts texts = controller_->PageChangeTexts();
    graph_->ShowTitle(Text(texts.Title));
    graph_->ShowProfileNames(Text(texts.LeftProfile), Text(texts.RightProfile));
}

void MainWindow::CopyToClipboard() {
    QLabel* stamp = graph_->CopyStampLabel();
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    stamp->setText(locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                   locale.toString(now.time(), QLocale::LongFormat));
    stamp->show();
    QCoreApplication::processEvents();

    QClipboard* clipboard = QGuiApplication::clipboard();
    const QImage picture = grab().toImage();
    if (clipboard != nullptr) clipboard->setImage(picture);
    if (clipboard == nullptr || clipboard->image().isNull()) {
        // The stamp stays visible until a later Copy succeeds.
        platform::ShowApplicationError("Cannot open clipboard");
        return;
    }
    stamp->hide();
    QCoreApplication::processEvents();
}

void MainWindow::CopyPlotToClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QImage picture = coverage_->Plot()->grab().toImage();
    if (clipboard != nullptr) clipboard->setImage(picture);
    if (clipboard == nullptr || clipboard->image().isNull()) {
        platform::ShowApplicationError("Cannot open clipboard");
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window closes whatever happens: a write that fails is shown once, before it goes.
    event->accept();
    StoreWindowSettings();
    CloseQueryDialogs dialogs;
    dialogs.AskYesNo = [this](const std::string& caption, const std::string& text) {
        return dialogs_.AskYesNo && dialogs_.AskYesNo(caption, text);
    };
    dialogs.SaveDialog = [this](int) -> std::optional<std::string> {
        if (!dialogs_.SaveProfile) return std::nullopt;
        return dialogs_.SaveProfile(Text(controller_->ProfilesFolderPath()));
    };
    std::string failures;
    for (const std::string& failure : controller_->CloseQuery(dialogs)) {
        failures += (failures.empty() ? "" : "\n") + ErrorBoxText(failure);
    }
    if (!failures.empty() && dialogs_.Refusal) dialogs_.Refusal("quorvex", failures);
}

void MainWindow::EndOnSignal() {
    if (controller_->Ended()) return;
    StoreWindowSettings();
    controller_->EndProgramOnSignal();
}

}  // namespace quorvex::app
