// Load and recalculation control: requests to the data thread, their
// answers, the interactive edit mode and the corridor width.
//
// CrossLineData has no lock: the GUI thread calls it only while the data
// thread is idle (each call asserts it, IdleDataPointer), and every job and
// its answer pass the data object's handoff. Every request that
// reaches the data object goes through runWhenDataIdle, which holds it back
// from a load or recalculation request until that job's answer has been
// handled, and from another request until that one has returned
// (DataRequestQueue).
#include "crosslinewidget.h"

#include "chvxqa_tasks_progress.h"
#include "cprojection.h"
#include "crosslinedata.h"
#include "datarequestqueue.h"
#include "geometry.h"
#include "guiinifile.h"
#include "logtext.h"
#include "platformpaths.h"
#include "ui_calibrationwidget.h"
#include "usersettings.h"

#include <QApplication>
#include <QChart>
#include <QDateTime>
#include <QHostAddress>
#include <QListWidget>
#include <QUdpSocket>
#include <QValueAxis>

#include <log4cplus/log4cplus.h>

QT_CHARTS_USE_NAMESPACE

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Rerozadoz"));

bool CrossLineWidget::lastInteractiveEditMode = false;
quint16 CrossLineWidget::corridorWidthPortInUse = CrossLineWidget::programCorridorWidthPort;

// ---- Request queue ----

bool CrossLineWidget::dataThreadBusy() const
{
    return dataRequests->busy();
}

void CrossLineWidget::runWhenDataIdle(std::function<void()> request, DataRequestQueue::Kind kind,
                                      DataRequestQueue::SettingEffect effect)
{
    dataRequests->run(std::move(request), kind, std::move(effect));
}

void CrossLineWidget::finishDataJob()
{
    dataRequests->jobFinished();
}

// ---- Setters ----

void CrossLineWidget::setCrossLineCoordinates(qint32 sx, qint32 sy, qint32 ex, qint32 ey)
{
    runWhenDataIdle([this, sx, sy, ex, ey] {
        crossLine = CrossLine{sx, sy, ex, ey};
        crossLineData->setCrossLine(sx, sy, ex, ey);
        crossLineData->setCorridorWidth(static_cast<float>(ui->corridorWidth->value()));
        // Differences and margins in 64 bits: the caller may send any int32.
        LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("CrossLineWidget::setCrossLineCoordinates dx= ")
                                    << (qint64(ex) - sx) << LOG4CPLUS_TEXT(", dy= ")
                                    << (qint64(ey) - sy));
        if (previewRect.topX == 0 && previewRect.bottomX == 0)
            setPreviewCoodinates(clampToInt32(qint64(sx) - 5000), clampToInt32(qint64(sy) - 5000),
                                 clampToInt32(qint64(ex) + 5000), clampToInt32(qint64(ey) + 5000));
    }, DataRequestQueue::Setting);
}

void CrossLineWidget::setPreviewCoodinates(qint32 topX, qint32 topY, qint32 bottomX,
                                           qint32 bottomY)
{
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("CrossLineWidget::setPreviewCoodinates dx=")
                                << (qint64(bottomX) - topX) << LOG4CPLUS_TEXT(", dy= ")
                                << (qint64(bottomY) - topY));
    if (topX != 0 || bottomX != 0)
        previewRect = PreviewRect{topX, topY, bottomX, bottomY};
}

void CrossLineWidget::setProjectionFile(const QString &path)
{
    runWhenDataIdle([this, path] {
        projectionFile = path;
        if (projectionFile.isEmpty())
            projectionFile = qEnvironmentVariable("ProgramData") + QStringLiteral("/vir_avod.txt");
        if (!projection) {
            projection = CProjection::instance();
            // Such a file is not read: the same as a missing one, but told.
            if (holdsOtherThanAFile(projectionFile))
                LOG4CPLUS_WARN(logger, LOG4CPLUS_TEXT("CrossLineWidget::setProjectionFile: ")
                                           << toLogText(projectionFile)
                                           << LOG4CPLUS_TEXT(" is not a regular file; not read"));
            projection->loadProjectionFile(projectionFile.toUtf8().toStdString());
        }
        crossLineData->setProjectionFile(projectionFile);
    }, DataRequestQueue::Setting);
}

void CrossLineWidget::setSurvey(const QString &name)
{
    runWhenDataIdle([this, name] {
        survey = name;
        crossLineData->setSurvey(name);
    }, DataRequestQueue::Setting);
}

// ---- Load ----

void CrossLineWidget::loadData()
{
    dataRequests->run([this] { startLoad(); }, DataRequestQueue::Load);
}

void CrossLineWidget::loadDataForCrossLine()
{
    dataRequests->run(
        [this] {
            if (!crossLineData->rawFiles().isEmpty())
                startLoad();
        },
        DataRequestQueue::Load);
}

void CrossLineWidget::startLoad()
{
    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    if (crossLineData->getRawFiles().isEmpty())
        return;
    crossLineData->setCrossLine(crossLine.sx, crossLine.sy, crossLine.ex, crossLine.ey);
    crossLineData->setCorridorWidth(static_cast<float>(ui->corridorWidth->value()));
    ui->corridorWidth->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    waitCursorPushed = true;
    loading = true;
    dataRequests->startJob([this] { emit requestRegionData(); });
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineWidget::loadData() = ")
                                << (QDateTime::currentMSecsSinceEpoch() - started));
}

void CrossLineWidget::regionDataReady()
{
    dataRequests->jobAnswered();
    if (crossLineData->rxHeadCount == 2) {
        for (QWidget *widget : {static_cast<QWidget *>(ui->label_23), static_cast<QWidget *>(ui->label_25),
                                static_cast<QWidget *>(ui->tx2R), static_cast<QWidget *>(ui->tx2P),
                                static_cast<QWidget *>(ui->tx2H), static_cast<QWidget *>(ui->rx2R),
                                static_cast<QWidget *>(ui->rx2P), static_cast<QWidget *>(ui->rx2H)})
            widget->setVisible(true);
    }

    crossLineData->resetPUData();
    crossLineData->loadCorridorData();

    if (loading) {
        // Connected offset boxes ask for recalculations here; loading drops them.
        updateInstallationControls();
        loading = false;
    }

    chartReady = false;
    const QString task = tr("Load Data");
    tasksProgress->progress(task, 2, 4, QString(), QString());
    displayData.setOriginalData(crossLineData);
    tasksProgress->progress(task, 3, 4, QString(), QString());

    // The axes stay: the rebuild sets their ranges from the data.
    createChartUI(currentXDisplayType(), currentYDisplayType(), true, true, true);
    tasksProgress->progress(task, 4, 4, QString(), QString());

    showCorridorArea(true);
    showCorridorLine(true);
    showPreviewArea(true);
    chartReady = true;

    connect(ui->listWidget, &QListWidget::itemChanged, this, &CrossLineWidget::lineStateChanged,
            Qt::UniqueConnection);

    if (waitCursorPushed) {
        waitCursorPushed = false;
        QApplication::restoreOverrideCursor();
    }
    // Requests made here wait for the end of this answer.
    QCoreApplication::processEvents();
    ui->corridorWidth->setEnabled(true);
    if (chart) {
        chart->zoomIn();
        chart->zoomOut();
    }

    // The load road ends with the recalculation once one has been asked for;
    // it goes before the requests that came in during the load.
    if (recalculationRequested)
        dataRequests->jobFinished([this] { startRecalculation(false); });
    else
        finishDataJob();
}

// ---- Recalculation ----

void CrossLineWidget::recalculate(bool allData)
{
    // Dropped while a load runs, as before the first load has been answered.
    if (loading)
        return;
    dataRequests->run([this, allData] { startRecalculation(allData); },
                        allData ? DataRequestQueue::PreviewRecalculation
                                : DataRequestQueue::Recalculation);
}

void CrossLineWidget::recalculate()
{
    recalculate(false);
}

void CrossLineWidget::recalculatePreviewArea()
{
    recalculate(true);
}

void CrossLineWidget::startRecalculation(bool allData)
{
    if (loading)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    waitCursorPushed = true;
    chartReady = false;
    lineCheckStates.clear();
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        const QListWidgetItem *item = ui->listWidget->item(row);
        lineCheckStates.insert(item->text(), item->checkState() == Qt::Checked);
    }
    disconnectInstallationControls();
    applyInstallationEdits(allData);
}

void CrossLineWidget::recalcDone(bool preview)
{
    dataRequests->jobAnswered();
    showRecalculation(preview);

    connectInstallationControls();
    recalculateIfEditedMeanwhile();
    if (waitCursorPushed) {
        waitCursorPushed = false;
        QApplication::restoreOverrideCursor();
    }
    // Requests made here wait for the end of this answer.
    QCoreApplication::processEvents();
    if (chart) {
        chart->zoomIn();
        chart->zoomOut();
    }
    finishDataJob();
}

void CrossLineWidget::showRecalculation(bool preview)
{
    const QSet<QString> unchecked = namesUncheckedByRestore();
    if (!preview) {
        const int head = ui->headBox->currentIndex();
        if (head >= 0 && head <= 2)
            displayData.setHead(head);
        displayData.setRecalculatedData(crossLineData);
        // The lines the legend's restore hides are drawn hidden.
        createChartUI(currentXDisplayType(), currentYDisplayType(), false, false, false, unchecked);
    }
    chartReady = true;
    restoreLegend(unchecked);
}

void CrossLineWidget::recalculateIfEditedMeanwhile()
{
    const QList<QDoubleSpinBox *> boxes = offsetSpinBoxes();
    for (int i = 0; i < boxes.size() && i < appliedOffsets.size(); ++i) {
        if (spinBoxAngle(boxes.at(i)) != appliedOffsets.at(i)) {
            // Waits for the end of this answer.
            recalculate(false);
            return;
        }
    }
}

// ---- Reset ----

void CrossLineWidget::resetInstallation()
{
    runWhenDataIdle([this] { resetInstallationNow(); });
}

void CrossLineWidget::resetInstallationNow()
{
    ui->listWidget->clear();
    // An empty chart without axes in place of the old one.
    if (chart)
        replaceChart(false);
    ui->motionDelayMS->clear();
    ui->svpFileNameEdit->clear();
    ui->svpForTxCheckBox->setChecked(false);

    crossLineData->resetNexraInst();
    // A connected box would ask for a recalculation from half-refilled
    // controls; the reload ends with one from all of them.
    const bool connected = installationControlsConnected;
    disconnectInstallationControls();
    updateInstallationControls();
    if (connected)
        connectInstallationControls();
    runWhenDataIdle([this] {
        crossLineData->setSvpForTx(false);
        crossLineData->setResetState(0);
        loadData();
    });
}

// ---- Corridor width ----

void CrossLineWidget::onChgCorrWidth()
{
    const double width = ui->corridorWidth->value();
    sendCorridorWidthSentence(width);
    loadData();
    // When it cannot be stored the width still holds for this run.
    GuiIniFile(guiIniPath()).setCorridorWidth(width);
}

void CrossLineWidget::sendCorridorWidthSentence(double width)
{
    const QByteArray sentence = QStringLiteral("$DOVED,CORR_WIDTH,%1,").arg(width).toLatin1();
    QUdpSocket socket;
    socket.writeDatagram(sentence, QHostAddress(QHostAddress::LocalHost), corridorWidthPortInUse);
    socket.close();
}

quint16 CrossLineWidget::corridorWidthPort()
{
    return corridorWidthPortInUse;
}

void CrossLineWidget::setCorridorWidthPort(quint16 port)
{
    corridorWidthPortInUse = port;
}

// ---- Offset boxes and the interactive edit mode ----

QList<QDoubleSpinBox *> CrossLineWidget::offsetSpinBoxes() const
{
    return {ui->tx1R, ui->tx1P, ui->tx1H, ui->tx2R, ui->tx2P, ui->tx2H,
            ui->rx1R, ui->rx1P, ui->rx1H, ui->rx2R, ui->rx2P, ui->rx2H,
            ui->att1R, ui->att1P, ui->att1H, ui->att2R, ui->att2P, ui->att2H};
}

void CrossLineWidget::connectInstallationControls()
{
    // Unique: a box already connected is not connected twice.
    for (QDoubleSpinBox *box : offsetSpinBoxes())
        connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
                qOverload<>(&CrossLineWidget::recalculate), Qt::UniqueConnection);
    installationControlsConnected = true;
}

void CrossLineWidget::disconnectInstallationControls()
{
    for (QDoubleSpinBox *box : offsetSpinBoxes())
        disconnect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
                   qOverload<>(&CrossLineWidget::recalculate));
    installationControlsConnected = false;
}

void CrossLineWidget::setInteractiveEditMode(bool on)
{
    interactiveEditMode = on;
    if (on != lastInteractiveEditMode) {
        if (on)
            connectInstallationControls();
        else
            disconnectInstallationControls();
    }
    UserSettings().setValues({{UserSettings::interactiveEditKey, on}},
                             QStringLiteral("the interactive edit mode"));
    lastInteractiveEditMode = on;
}
