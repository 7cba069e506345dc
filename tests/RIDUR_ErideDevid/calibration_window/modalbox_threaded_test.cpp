// A caller message that arrives while the reset shows its modal mismatch box:
// the box's event loop carries it to the window, which must hold it back
// until the reset (and the reload it asks for) is done.
#include "loadcontrol_test_support.h"

#include <QMessageBox>
#include <QTimer>

namespace {

using Inspector = CrossLineWidgetInspector;

QList<qint32> previewRect(const CrossLineWidget &w)
{
    qint32 rect[4];
    Inspector::previewRect(w, rect);
    return QList<qint32>(rect, rect + 4);
}

// Parameter: the caller message, "ADDLINE" or "SETCORRIDOR".
class ModalBoxThreadedTest : public LoadControlTest,
                             public ::testing::WithParamInterface<const char *>
{
protected:
    // Loaded and recalculated with the three RX 1 angles edited: the reset
    // finds the lists unequal to each raw file and shows its box with exec().
    void editUnequally(const QStringList &files)
    {
        ASSERT_TRUE(load(files));
        ASSERT_TRUE(recalculate()); // the boxes are connected from here on
        for (QDoubleSpinBox *box : {ui->rx1R, ui->rx1P, ui->rx1H}) {
            const QSignalBlocker quiet(box);
            box->setValue(1.25);
        }
        ASSERT_TRUE(recalculate());
    }

    // Sends the message from inside the first message box, then closes every
    // box it sees.
    void sendFromTheFirstBox(const QString &message)
    {
        QObject::connect(&boxTimer, &QTimer::timeout, [this, message] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(widget);
                if (!box || !box->isVisible())
                    continue;
                boxTitles << box->windowTitle();
                if (!messageSent) {
                    messageSent = true;
                    loopLevelAtMessage = QThread::currentThread()->loopLevel();
                    const int sentBefore = sent;
                    w->processWebSocketMessage(message);
                    jobsStartedByMessage = sent - sentBefore;
                }
                box->done(QMessageBox::Ok);
                box->hide();
            }
        });
        boxTimer.start(5);
    }

    static bool boxVisible()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMessageBox *>(widget) && widget->isVisible())
                return true;
        }
        return false;
    }

    QTimer boxTimer;
    QStringList boxTitles;
    bool messageSent = false;
    int loopLevelAtMessage = 0;
    int jobsStartedByMessage = -1;
};

TEST_P(ModalBoxThreadedTest, CallerMessageInsideTheResetBoxWaitsForTheReset)
{
    // The reset reads both loaded files: the message comes in the first one's box.
    const QStringList loaded{rawFile("line1a.nexra"), rawFile("line1b.nexra")};
    const QString line2 = rawFile("line2.nexra");
    // A cross line a metre east of the first (its end a centimetre further,
    // as a load needs): its own preview rectangle.
    const qint32 movedX = fixture::lineX + 100;
    const QList<qint32> firstRect = previewRect(*w);
    const QList<qint32> movedRect{movedX - 5000, fixture::lineStartY - 5000, movedX + 1 + 5000,
                                  fixture::lineEndY + 5000};
    const struct {
        const char *what;
        QString message;
        // Preview rectangle and raw files at each load request.
        QList<QList<qint32>> loadRects;
        QList<QStringList> loadFiles;
        QStringList rawFiles; // named when all is done
        // Mismatch boxes: one per file from the reset, and one per file from
        // a load that still finds the lists unequal.
        int boxes;
    } cases[] = {
        // The reset's reload, with the files it had; the message after it.
        {"ADDLINE", "$DAVARIV,CALIBRATION,ADDLINE,LINE=" + line2, {firstRect}, {loaded}, {line2}, 4},
        // The reset's reload gives way to the message's, of the new cross
        // line, which starts from empty lists.
        {"SETCORRIDOR",
         QStringLiteral("$DAVARIV,CALIBRATION,SETCORRIDOR,STARTX=%1,STARTY=%2,ENDX=%3,ENDY=%4")
             .arg(movedX)
             .arg(fixture::lineStartY)
             .arg(movedX + 1)
             .arg(fixture::lineEndY),
         {movedRect},
         {loaded},
         loaded,
         2},
    };
    for (const auto &c : cases) {
        if (QLatin1String(c.what) != QLatin1String(GetParam()))
            continue;
        editUnequally(loaded);
        ASSERT_EQ(previewRect(*w), firstRect);
        QList<QList<qint32>> loadRects;
        QList<QStringList> loadFiles;
        // Read in the GUI thread as the request goes out; the load only reads
        // the names.
        QObject::connect(w.get(), &CrossLineWidget::requestRegionData, [&] {
            loadRects << previewRect(*w);
            loadFiles << data->rawFiles();
        });
        sendFromTheFirstBox(c.message);

        ui->resetButton->click();
        ASSERT_TRUE(messageSent) << "the reset showed no box";
        EXPECT_GT(loopLevelAtMessage, 0) << "not sent from inside the box's event loop";
        EXPECT_EQ(boxTitles.value(0), QStringLiteral("Unequal transduser parameters"));
        EXPECT_EQ(jobsStartedByMessage, 0);
        ASSERT_TRUE(waitIdle());
        QElapsedTimer waited;
        waited.start();
        while (boxVisible() && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        boxTimer.stop();
        boxTimer.disconnect();

        EXPECT_EQ(boxTitles.size(), c.boxes);
        EXPECT_EQ(loadRects, c.loadRects);
        EXPECT_EQ(loadFiles, c.loadFiles);
        EXPECT_EQ(data->rawFiles(), c.rawFiles);
        EXPECT_EQ(sent.load(), answered.load());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(ui->corridorWidth->isEnabled());
    }
}

// One window per process: ThreadSanitizer cannot see GLib's own ordering of
// the memory that data threads of earlier windows leave behind.
INSTANTIATE_TEST_SUITE_P(CallerMessages, ModalBoxThreadedTest,
                         ::testing::Values("ADDLINE", "SETCORRIDOR"));

} // namespace
