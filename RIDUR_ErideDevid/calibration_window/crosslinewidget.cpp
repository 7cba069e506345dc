// The window's construction, menus, clock, event handling, settings and
// shutdown.
#include "crosslinewidget.h"

#include "appresources.h"
#include "chvxqa_tasks_progress.h"
#include "crosslinedata.h"
#include "guiinifile.h"
#include "hvxqawebsocketserver.h"
#include "logtext.h"
#include "platformpaths.h"
#include "ui_calibrationwidget.h"
#include "uistyle.h"
#include "usersettings.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QShowEvent>
#include <QSplitterHandle>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebSocket>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <log4cplus/log4cplus.h>

QT_CHARTS_USE_NAMESPACE

namespace {

// The windows of the GUI thread whose data thread may still run. When that
// thread calls exit() (as Qt's X11 platform does once the display connection
// breaks) its thread-local objects are destroyed before any static one: the
// guard stops the data threads then, before the statics they use (loggers,
// Qt's own) are destroyed under a running load or recalculation.
class DataThreadExitGuard
{
public:
    ~DataThreadExitGuard()
    {
        for (CrossLineWidget *window : qAsConst(windows)) {
            if (!window->stopDataThread()) {
                // Still busy: end before the statics go.
                std::fflush(nullptr);
                std::_Exit(EXIT_FAILURE);
            }
        }
    }

    QList<CrossLineWidget *> windows;
};

thread_local DataThreadExitGuard exitGuard;

} // namespace

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Rerozadoz"));

quint16 CrossLineWidget::callerPortInUse = CrossLineWidget::programCallerPort;

void CrossLineWidget::setCallerPort(quint16 port)
{
    callerPortInUse = port;
}

CrossLineWidget::CrossLineWidget(int viewMode)
    : QMainWindow(nullptr)
    , crossLineData(new CrossLineData())
    , viewMode(viewMode)
{
    dataRequests = new DataRequestQueue(
        crossLineData->handoff(), [this] { return crossLineData->rawFiles(); }, this);
    // The resource trees are normally registered by main; registering again is harmless.
    registerAppResources();
    registerUiStyleResources();

    dataThread = new QThread(this);

    connect(this, &CrossLineWidget::requestRegionData, crossLineData,
            &CrossLineData::generateRegionData);
    connect(crossLineData, &CrossLineData::regionDataReady, this,
            &CrossLineWidget::regionDataReady);
    connect(this, &CrossLineWidget::reqRecalculatedDepths, crossLineData,
            &CrossLineData::recalculatedDepths, Qt::QueuedConnection);
    connect(this, &CrossLineWidget::reqRecalculatedPreviewDepths, crossLineData,
            &CrossLineData::recalculatedPreviewDepths, Qt::QueuedConnection);
    connect(crossLineData, &CrossLineData::sigRecalcDone, this, &CrossLineWidget::recalcDone,
            Qt::QueuedConnection);

    // The data thread's end is handed over for the thread object's deletion.
    connect(dataThread, &QThread::finished, dataThread,
            [&handoff = crossLineData.handoff()] { handoff.threadEnds(); }, Qt::DirectConnection);

    crossLineData->moveToThread(dataThread);
    dataThread->start(QThread::InheritPriority);
    exitGuard.windows.append(this);

    ui = new Ui::CalibrationWidget;
    ui->setupUi(this);
    setCentralWidget(ui->splitter);

    initWidgets();

    connect(ui->recalculateButton, &QPushButton::clicked, this,
            qOverload<>(&CrossLineWidget::recalculate));
    connect(ui->zoomOutButton, &QPushButton::clicked, this, &CrossLineWidget::zoomOut);
    connect(ui->corridorWidth, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            &CrossLineWidget::onChgCorrWidth);
    connect(ui->displayPointSize, qOverload<int>(&QSpinBox::valueChanged), this,
            &CrossLineWidget::zoomOut);
    connect(ui->displayModeLine, &QRadioButton::clicked, this, &CrossLineWidget::zoomOut);
    connect(ui->displayModePoint, &QRadioButton::clicked, this, &CrossLineWidget::zoomOut);
    connect(ui->headBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CrossLineWidget::updateViewData);
    connect(ui->displayTypeXSelect, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CrossLineWidget::updateViewData);
    connect(ui->displayTypeYSelect, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CrossLineWidget::updateViewData);
    connect(ui->checkEllips, &QCheckBox::stateChanged, this, &CrossLineWidget::updateViewData);
    connect(ui->resetButton, &QPushButton::clicked, this, &CrossLineWidget::resetInstallation);
    connect(ui->selectSvpFileButton, &QPushButton::clicked, this, &CrossLineWidget::loadCustomSvp);
    connect(ui->displayModeLine, &QRadioButton::toggled, this,
            &CrossLineWidget::updateDisplayGraphs);
    connect(ui->displayModePoint, &QRadioButton::toggled, this,
            &CrossLineWidget::updateDisplayGraphs);
    connect(ui->displayPointSize, qOverload<int>(&QSpinBox::valueChanged), this,
            &CrossLineWidget::updateDisplayGraphPointsSize);

    ui->svpForTxCheckBox->hide();

    tasksProgress = new CHVXQA_Tasks_Progress(this);

    restoreViewSettings();

    webSocketServer = new HVXQAWebSocketServer(this);
    webSocketServer->setPort(callerPortInUse);
    connect(webSocketServer, &HVXQAWebSocketServer::newClientConnection, this,
            &CrossLineWidget::webSocketConnection);
    // Nothing listens until the event loop runs.
    QTimer::singleShot(0, webSocketServer, &HVXQAWebSocketServer::start);

    if (this->viewMode == REALTIME) {
        // As setInteractiveEditMode(true), but this window's boxes are
        // connected even when another window applied the mode before.
        interactiveEditMode = true;
        connectInstallationControls();
        UserSettings().setValues({{UserSettings::interactiveEditKey, true}},
                                 QStringLiteral("the interactive edit mode"));
        lastInteractiveEditMode = true;

        ui->displayTypeYSelect->hide();
        ui->displayTypeYSelect->setEnabled(false);
        ui->displayTypeXSelect->hide();
        ui->displayTypeXSelect->setEnabled(false);
        ui->recalculateButton->setEnabled(false);
    }
}

CrossLineWidget::~CrossLineWidget()
{
    // No caller is let in while the window goes.
    webSocketServer->close();
    // A running load or recalculation ends first; the data object stays.
    stopDataThread();
    exitGuard.windows.removeOne(this);

    // Stored while a store that is left alone can still be told in the log.
    UserSettings().setValues({{UserSettings::displayXKey, ui->displayTypeXSelect->currentIndex()},
                              {UserSettings::displayYKey, ui->displayTypeYSelect->currentIndex()}},
                             QStringLiteral("the display type selection"));

    log4cplus::deinitialize();

    releaseChart();

    delete ui;
}

bool CrossLineWidget::stopDataThread(unsigned long waitMs)
{
    if (dataThreadLeft)
        return false;
    // A load or recalculation under way ends at its next datagram or sounding.
    dataThread->requestInterruption();
    dataThread->quit();
    if (dataThread->wait(waitMs)) {
        crossLineData.handoff().takeThreadEnd();
        return true;
    }
    // A job that does not end, such as a read that never returns. Loads and
    // recalculations write nothing, so the program may end without it; no
    // new caller is let in meanwhile.
    webSocketServer->close();
    LOG4CPLUS_WARN(logger, LOG4CPLUS_TEXT("CrossLineWidget: the data thread did not finish within ")
                               << waitMs << LOG4CPLUS_TEXT(" ms; ending without it"));
    // Deleting a running thread object would abort the program.
    dataThread->setParent(nullptr);
    dataThreadLeft = true;
    return false;
}

void CrossLineWidget::initWidgets()
{
    createMenus();

    QToolBar *titleBar = createTitleBar(QStringLiteral("Calibration"));
    titleBar->setWindowTitle(QStringLiteral("Calib Toolbar"));
    titleBar->setFloatable(false);
    titleBar->setMovable(false);
    addToolBar(Qt::TopToolBarArea, titleBar);

    {
        const QVariant storedWidth = GuiIniFile(guiIniPath()).corridorWidth();
        const float stored = static_cast<float>(storedWidth.isValid() ? storedWidth.toDouble() : 2.0);
        // A width that is not finite ("nan", "inf") gives the default.
        const float width = std::isfinite(stored) ? stored : 2.0f;
        ui->corridorWidth->setValue(width);
    }

    clockLabel = new QLabel;
    clockLabel->setWordWrap(true);
    clockLabel->setStyleSheet(QStringLiteral("font-size: 8pt;"));
    clockLabel->setFixedWidth(70);
    clockLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    titleBar->addWidget(clockLabel);
    auto *clockTimer = new QTimer(this);
    connect(clockTimer, &QTimer::timeout, this, &CrossLineWidget::updateClock);
    clockTimer->start(1000);

    ui->tabWidget->setCurrentIndex(0);
    ui->informationWidget->hide();

    ui->splitter->setLineWidth(12);
    if (QSplitterHandle *handle = ui->splitter->handle(1)) {
        auto *handleLayout = new QVBoxLayout(handle);
        handleLayout->setSpacing(4);
        handleLayout->setContentsMargins(4, 4, 4, 4);
        auto *handleLine = new QFrame(handle);
        handleLine->setMinimumWidth(2);
        handleLine->setFrameShape(QFrame::VLine);
        handleLine->setFrameShadow(QFrame::Sunken);
        handleLayout->addWidget(handleLine);
    }

    ui->displayTypeXSelect->setCurrentIndex(0);
    ui->displayTypeYSelect->setCurrentIndex(2);

    connect(ui->verticalRangeCheckBox, &QCheckBox::toggled, ui->verticalRangeTopSpinBox,
            &QWidget::setHidden);
    connect(ui->verticalRangeCheckBox, &QCheckBox::toggled, ui->verticalRangeBottomSpinBox,
            &QWidget::setHidden);
    connect(ui->verticalRangeCheckBox, &QCheckBox::toggled, this,
            &CrossLineWidget::updateVerticalSeriesRange);
    connect(ui->horizontalRangeCheckBox, &QCheckBox::toggled, ui->horizontalRangeLeftSpinBox,
            &QWidget::setHidden);
    connect(ui->horizontalRangeCheckBox, &QCheckBox::toggled, ui->horizontalRangeRightSpinBox,
            &QWidget::setHidden);
    connect(ui->horizontalRangeCheckBox, &QCheckBox::toggled, this,
            &CrossLineWidget::updateHorizontalSeriesRange);

    ui->verticalRangeCheckBox->setChecked(true);
    ui->horizontalRangeCheckBox->setChecked(true);
    ui->verticalRangeTopSpinBox->hide();
    ui->verticalRangeBottomSpinBox->hide();
    ui->horizontalRangeLeftSpinBox->hide();
    ui->horizontalRangeRightSpinBox->hide();

    for (QDoubleSpinBox *box : {ui->verticalRangeTopSpinBox, ui->verticalRangeBottomSpinBox})
        connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
                &CrossLineWidget::updateVerticalSeriesRange);
    for (QDoubleSpinBox *box : {ui->horizontalRangeLeftSpinBox, ui->horizontalRangeRightSpinBox})
        connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
                &CrossLineWidget::updateHorizontalSeriesRange);

    if (viewMode == REALTIME) {
        ui->tabWidget->removeTab(1);
        for (QWidget *box : {ui->tx1R, ui->tx1P, ui->tx1H, ui->tx2R, ui->tx2P, ui->tx2H, ui->rx1R,
                             ui->rx1P, ui->rx1H, ui->rx2R, ui->rx2P, ui->rx2H})
            box->setEnabled(false);
        for (QWidget *widget : {static_cast<QWidget *>(ui->label_23), static_cast<QWidget *>(ui->tx2R),
                                static_cast<QWidget *>(ui->tx2P), static_cast<QWidget *>(ui->tx2H),
                                static_cast<QWidget *>(ui->label_25), static_cast<QWidget *>(ui->rx2R),
                                static_cast<QWidget *>(ui->rx2P), static_cast<QWidget *>(ui->rx2H),
                                static_cast<QWidget *>(ui->label_4), static_cast<QWidget *>(ui->att2R),
                                static_cast<QWidget *>(ui->att2P), static_cast<QWidget *>(ui->att2H)})
            widget->hide();
        ui->recalculateButton->hide();
    }

    ui->groupBox_timeDelayes->hide();
    ui->displayModeLine->setChecked(true);

    for (QDoubleSpinBox *box : {ui->corridorWidth, ui->tx1R, ui->tx1P, ui->tx1H, ui->rx1R,
                                ui->rx1P, ui->rx1H, ui->att1R, ui->att1P, ui->att1H, ui->att2R,
                                ui->att2P, ui->att2H})
        box->setKeyboardTracking(false);

    initUiStyle();

    const QString userSheet = programDataFolder() + QStringLiteral("userStyle.css");
    // Anything but a regular file counts as missing: a FIFO would hold the
    // window up for good.
    if (holdsOtherThanAFile(userSheet))
        LOG4CPLUS_WARN(logger, LOG4CPLUS_TEXT("CrossLineWidget: ") << toLogText(userSheet)
                                   << LOG4CPLUS_TEXT(" is not a regular file; not read"));
    styleSheetFile.setFileName(QFileInfo(userSheet).isFile() ? userSheet
                                                             : QStringLiteral(":/style.css"));
    applyStyleSheet(&styleSheetFile, UiStyleModeDay, 1);
    applyStyleClasses(this);
}

void CrossLineWidget::createMenus()
{
    QMenu *fileMenu = menuBar()->addMenu(tr("&File"));
    if (viewMode != REALTIME)
        fileMenu->addAction(tr("&Save Rule..."), this, &CrossLineWidget::saveRuleFile);
    fileMenu->addAction(tr("E&xit"), this, &QWidget::close);

    if (viewMode != REALTIME) {
        QMenu *toolsMenu = menuBar()->addMenu(tr("&Tools"));
        toolsMenu->addAction(tr("Recalculate"), this, qOverload<>(&CrossLineWidget::recalculate));
        toolsMenu->addAction(tr("Recalculate Preview Area"), this,
                             &CrossLineWidget::recalculatePreviewArea);
        toolsMenu->addAction(tr("Preview"), this, &CrossLineWidget::previewArea);
    }

    setSystemMenuClass(menuBar());
}

void CrossLineWidget::restoreViewSettings()
{
    const std::pair<const QString *, QComboBox *> entries[] = {
        {&UserSettings::displayXKey, ui->displayTypeXSelect},
        {&UserSettings::displayYKey, ui->displayTypeYSelect},
    };
    const QVariantMap stored =
        UserSettings().values({UserSettings::displayXKey, UserSettings::displayYKey});
    for (const auto &entry : entries) {
        if (!stored.contains(*entry.first))
            continue;
        bool ok = false;
        const int index = stored.value(*entry.first).toInt(&ok);
        // An index without a combo item would leave the chart without a row.
        if (ok && index >= 0 && index < entry.second->count())
            entry.second->setCurrentIndex(index);
    }
}

void CrossLineWidget::updateClock()
{
    QString text = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    text.replace(QLatin1Char('T'), QLatin1Char('\n'));
    clockLabel->setText(text);
}

bool CrossLineWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        QChartView *view = qobject_cast<QChartView *>(watched);
        if (!view)
            view = chartView;
        const bool ctrl = static_cast<QKeyEvent *>(event)->modifiers() & Qt::ControlModifier;
        ctrlHeld = ctrl;
        if (view)
            view->setRubberBand(ctrl ? QChartView::NoRubberBand : QChartView::RectangleRubberBand);
    }
    return QMainWindow::eventFilter(watched, event);
}

void CrossLineWidget::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (splitterSized)
        return;
    splitterSized = true;
    // Extra width goes to the chart: the left column starts at its minimum
    // under the applied sheets (polished by now), the Preview pane takes the
    // rest.
    ui->splitter->setSizes({ui->layoutWidget->minimumSizeHint().width(), ui->splitter->width()});
}

void CrossLineWidget::closeEvent(QCloseEvent *event)
{
    // The program ends: a window started again by the caller may listen at once.
    webSocketServer->close();
    tasksProgress->hideProgress();
    tasksProgress->hideMessages();
    if (clientSocket)
        clientSocket->sendTextMessage(QStringLiteral("$DAVARIV,CALIBRATION,CALIBRATION_CLOSED"));
    event->accept();
}

QString CrossLineWidget::programDataFolder()
{
    // The same folder as main's logging configuration and the projection
    // service's default definition, whatever the platform.
    return ::programDataFolder();
}

QString CrossLineWidget::guiIniPath()
{
#ifdef Q_OS_WIN
    return programDataFolder() + QStringLiteral("\\gui.ini");
#else
    return programDataFolder() + QStringLiteral("gui.ini");
#endif
}

// Slots that do nothing; their triggers stay wired.
void CrossLineWidget::loadCustomSvp() {}
void CrossLineWidget::previewArea() {}
void CrossLineWidget::moveCorridor() {}
void CrossLineWidget::saveRuleFile() {}
