#pragma once
// A window with a real data thread, the test projection and the corridor of
// the raw-file fixtures, loading generated raw files.
#include "crosslinewidget.h"

#include "../sounding_data/nexra_test_files.h"
#include "crosslinedata.h"
#include "crosslinewidget_access.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

// A count of jobs written and read by both threads. Relaxed, so that the
// count orders nothing itself: ThreadSanitizer sees only the ordering that
// the window and the data object make.
class JobCount
{
public:
    void operator++() { value.fetch_add(1, std::memory_order_relaxed); }
    int load() const { return value.load(std::memory_order_relaxed); }
    operator int() const { return load(); }

private:
    std::atomic<int> value{0};
};

class LoadControlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile::remove(CrossLineWidget::guiIniPath());
        // The corridor-width sentences of the test come here.
        ASSERT_TRUE(listener.bind(QHostAddress(QHostAddress::LocalHost), 0));
        CrossLineWidget::setCorridorWidthPort(listener.localPort());
        w = std::make_unique<CrossLineWidget>(CrossLineWidget::POSTPROCESSING);
        ui = CrossLineWidgetInspector::ui(*w);
        data = CrossLineWidgetInspector::crossLineData(*w);
        countJobs();
        w->setProjectionFile(writeProjectionDefinition(dir));
        {
            const QSignalBlocker quiet(ui->corridorWidth);
            ui->corridorWidth->setValue(fixture::width);
        }
        w->setCrossLineCoordinates(fixture::lineX, fixture::lineStartY, fixture::lineX,
                                   fixture::lineEndY);
    }

    void TearDown() override
    {
        w.reset();
        CrossLineWidget::setCorridorWidthPort(programSentenceSink);
        QFile::remove(CrossLineWidget::guiIniPath());
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }

    // A raw file with the installation and pings inside the corridor.
    QString rawFile(const QString &name, const nexra::InstallationDescription &inst,
                    int heads = 1, int pings = 3)
    {
        QList<QByteArray> datagrams{nexra::makeIipDatagram(nexra::makeInstallationText(inst))};
        for (int i = 0; i < pings; ++i) {
            nexra::MrzPingRecord ping = fixture::insidePing(3, 1600000000 + i);
            ping.rxCount = quint8(heads);
            datagrams << nexra::makeMrzDatagram(ping);
        }
        const QString path = dir.filePath(name);
        EXPECT_TRUE(nexra::writeFile(path, datagrams));
        return path;
    }

    QString rawFile(const QString &name = QStringLiteral("line1.nexra"), int heads = 1)
    {
        return rawFile(name, nexra::defaultInstallation(1), heads);
    }

    // Jobs sent and answered, counted where they happen: at the request's
    // emission (GUI thread) and right after the answer's emission (data thread).
    void countJobs()
    {
        for (auto signal : {&CrossLineWidget::requestRegionData, &CrossLineWidget::reqRecalculatedDepths,
                            &CrossLineWidget::reqRecalculatedPreviewDepths})
            QObject::connect(w.get(), signal, [this] { ++sent; });
        QObject::connect(data, &CrossLineData::regionDataReady, data, [this] { ++answered; },
                         Qt::DirectConnection);
        QObject::connect(data, &CrossLineData::sigRecalcDone, data, [this] { ++answered; },
                         Qt::DirectConnection);
    }

    // Waits in the event loop until no job runs and its answer has been
    // handled.
    bool waitIdle(int timeoutMs = 60000)
    {
        QElapsedTimer timer;
        timer.start();
        while (w->dataThreadBusy()) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(1);
        }
        QCoreApplication::processEvents();
        return true;
    }

    bool load(const QStringList &files)
    {
        data->clearData();
        for (const QString &file : files)
            data->addRawFile(file);
        w->loadData();
        return waitIdle();
    }

    bool recalculate()
    {
        ui->recalculateButton->click();
        return waitIdle();
    }

    QString parametersText() const { return CrossLineWidgetInspector::installationParametersText(*w); }

    QTemporaryDir dir;
    // Where the test program sends the sentences outside this test.
    const quint16 programSentenceSink = CrossLineWidget::corridorWidthPort();
    QUdpSocket listener;
    std::unique_ptr<CrossLineWidget> w;
    Ui::CalibrationWidget *ui = nullptr;
    CrossLineData *data = nullptr;
    JobCount sent;
    JobCount answered;
};
