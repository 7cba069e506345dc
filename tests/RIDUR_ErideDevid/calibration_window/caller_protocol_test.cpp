// The caller protocol through processWebSocketMessage and the caller
// sockets: what each message does to the named raw files, the loaded
// soundings, the installation lists, the preview area and the load; the
// window state after "SHOW"; who receives the parameters; socket lifetime.
#include "caller_port.h"
#include "loadcontrol_test_support.h"

#include "hvxqawebsocketserver.h"
#include "log_capture.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QWebSocket>

using Inspector = CrossLineWidgetInspector;

namespace {

const QString prefix = QStringLiteral("$DAVARIV,CALIBRATION,");

// ---- Messages and the data they touch ----

// "%1" in a message stands for the path of the case's raw file.
struct MessageCase {
    const char *name;
    bool loadedBefore; // the raw file named and loaded before the messages
    QStringList messages;
    int loads;          // load requests the messages make
    bool filesNamed;    // raw files named afterwards
    bool soundingsKept; // the earlier load's soundings still there
    bool listsEmpty;    // installation lists empty afterwards
    QList<qint32> preview;
};

void PrintTo(const MessageCase &c, std::ostream *os)
{
    *os << c.name;
}

// The preview area set before the messages.
const QList<qint32> presetPreview{1, 2, 3, 4};
// A SETCORRIDOR line from (100, 200) to (400, 700) with the given end.
QString setCorridor(qint32 endX, qint32 endY)
{
    return prefix + QStringLiteral("SETCORRIDOR,STARTX=100,STARTY=200,ENDX=%1,ENDY=%2").arg(endX).arg(endY);
}
// A slanted line through the raw files' soundings.
const QString loadingCorridor = prefix
    + QStringLiteral("SETCORRIDOR,ENDY=%1,STARTX=%2,STARTY=%3,ENDX=%4")
          .arg(fixture::lineEndY)
          .arg(fixture::lineX)
          .arg(fixture::lineStartY)
          .arg(fixture::lineX + 1);
const QList<qint32> loadingPreview{fixture::lineX - 5000, fixture::lineStartY - 5000,
                                   fixture::lineX + 1 + 5000, fixture::lineEndY + 5000};

class CallerMessageTest : public LoadControlTest, public ::testing::WithParamInterface<MessageCase>
{
};

TEST_P(CallerMessageTest, MessageActsOnTheData)
{
    const MessageCase &c = GetParam();
    const QString file = rawFile();
    if (c.loadedBefore) {
        ASSERT_TRUE(load({file}));
        ASSERT_FALSE(data->corridorDepths(file).isEmpty());
        ASSERT_FALSE(data->installationLists()->transducers.isEmpty());
    }
    w->setPreviewCoodinates(presetPreview[0], presetPreview[1], presetPreview[2], presetPreview[3]);

    QSignalSpy loads(w.get(), &CrossLineWidget::requestRegionData);
    for (const QString &message : c.messages)
        w->processWebSocketMessage(message.contains(QLatin1String("%1")) ? message.arg(file) : message);
    ASSERT_TRUE(waitIdle());

    EXPECT_EQ(loads.count(), c.loads);
    EXPECT_EQ(data->rawFiles(), c.filesNamed ? QStringList{file} : QStringList());
    if (c.loadedBefore) {
        EXPECT_EQ(!data->corridorDepths(file).isEmpty(), c.soundingsKept);
        EXPECT_EQ(data->loadedRawFiles().isEmpty(), !c.soundingsKept);
    }
    const InstallationLists &lists = *data->installationLists();
    EXPECT_EQ(lists.transducers.isEmpty() && lists.positionSensors.isEmpty()
                  && lists.attitudeSensors.isEmpty() && lists.attitudeDelays.isEmpty()
                  && lists.attitudeHeadings.isEmpty(),
              c.listsEmpty);
    qint32 rect[4];
    Inspector::previewRect(*w, rect);
    EXPECT_EQ(QList<qint32>(rect, rect + 4), c.preview);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CallerMessageTest,
    ::testing::Values(
        // Raw files and soundings go, the installation lists stay.
        MessageCase{"BareAddLineClearsFilesAndSoundings", true, {prefix + "ADDLINE"},
                    0, false, false, false, presetPreview},
        MessageCase{"AddLineNamesWithoutLoading", false, {prefix + "ADDLINE,LINE=%1"},
                    0, true, false, true, presetPreview},
        MessageCase{"SetCorridorWithEqualXDoesNotLoad", true, {setCorridor(100, 700)},
                    0, true, true, true, {-4900, -4800, 5100, 5700}},
        MessageCase{"SetCorridorWithEqualYDoesNotLoad", true, {setCorridor(400, 200)},
                    0, true, true, true, {-4900, -4800, 5400, 5200}},
        MessageCase{"SetCorridorBeforeAddLineDoesNotLoad", false, {loadingCorridor},
                    0, false, false, true, loadingPreview},
        // The load stores the installation of the raw file again.
        MessageCase{"SetCorridorAfterAddLineLoads", false,
                    {prefix + "ADDLINE,LINE=%1", loadingCorridor}, 1, true, true, false,
                    loadingPreview},
        MessageCase{"SetCorridorWithFilesLoads", true, {loadingCorridor}, 1, true, true, false,
                    loadingPreview}),
    [](const ::testing::TestParamInfo<MessageCase> &info) { return std::string(info.param.name); });

// ---- "SHOW" ----

struct ShowCase {
    const char *name;
    Qt::WindowStates before;
};

void PrintTo(const ShowCase &c, std::ostream *os)
{
    *os << c.name;
}

class CallerShowTest : public ::testing::TestWithParam<ShowCase>
{
};

TEST_P(CallerShowTest, ShowLeavesTheWindowActiveAtNormalSize)
{
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    window.setWindowState(GetParam().before);
    window.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(window.windowState() & ~Qt::WindowActive, GetParam().before & ~Qt::WindowActive);

    window.processWebSocketMessage(prefix + QStringLiteral("SHOW"));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowState(), Qt::WindowActive);
}

INSTANTIATE_TEST_SUITE_P(
    States, CallerShowTest,
    ::testing::Values(ShowCase{"Maximised", Qt::WindowMaximized},
                      ShowCase{"Minimised", Qt::WindowMinimized},
                      ShowCase{"FullScreen", Qt::WindowFullScreen},
                      ShowCase{"HiddenNormal", Qt::WindowNoState}),
    [](const ::testing::TestParamInfo<ShowCase> &info) { return std::string(info.param.name); });

// ---- Caller sockets ----

class CallerSocketTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qRegisterMetaType<QWebSocket *>();
        server = window.findChild<HVXQAWebSocketServer *>();
        ASSERT_NE(server, nullptr);
        QCoreApplication::processEvents();
        port = listeningPort(window);
        ASSERT_NE(port, 0);
    }

    struct Caller {
        QWebSocket client;
        QStringList received;
        QPointer<QWebSocket> windowSide;
    };

    // A caller that has been handed over and greeted.
    std::unique_ptr<Caller> connectCaller()
    {
        auto caller = std::make_unique<Caller>();
        Caller *raw = caller.get();
        QObject::connect(&caller->client, &QWebSocket::textMessageReceived,
                         [raw](const QString &text) { raw->received << text; });
        QSignalSpy handOvers(server, &HVXQAWebSocketServer::newClientConnection);
        caller->client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(port)));
        if (!QTest::qWaitFor([&] { return handOvers.count() == 1 && !raw->received.isEmpty(); }, 5000))
            return nullptr;
        caller->windowSide = handOvers.at(0).at(0).value<QWebSocket *>();
        return caller;
    }

    // Lets the window and the callers handle what is pending.
    static void settle() { QTest::qWait(300); }

    CrossLineWidget window{CrossLineWidget::POSTPROCESSING};
    HVXQAWebSocketServer *server = nullptr;
    quint16 port = 0;
};

const QString ready = QStringLiteral("$DAVARIV,CALIBRATION,CALIBRATION_WIDGET_READY");
// The parameters of data that is not NEXRA: the bare message.
const QString noParameters = QStringLiteral("$DAVARIV,CALIBRATION,CALIBRATION_PARAMETERS,");

TEST_F(CallerSocketTest, ParametersGoOnlyToTheCurrentCaller)
{
    auto first = connectCaller();
    ASSERT_TRUE(first);
    EXPECT_EQ(Inspector::clientSocket(window), first->windowSide.data());
    auto second = connectCaller();
    ASSERT_TRUE(second);
    EXPECT_EQ(Inspector::clientSocket(window), second->windowSide.data());

    window.sendParametersToCaller();
    settle();
    EXPECT_EQ(second->received, (QStringList{ready, noParameters}));
    EXPECT_EQ(first->received, QStringList{ready});

    // After the earlier caller has gone there is no current caller.
    first->client.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->windowSide.isNull(); }, 5000));
    EXPECT_EQ(Inspector::clientSocket(window), nullptr);
    window.sendParametersToCaller();
    settle();
    EXPECT_EQ(second->received, (QStringList{ready, noParameters}));
}

TEST_F(CallerSocketTest, SocketIsDeletedAfterItDisconnects)
{
    auto caller = connectCaller();
    ASSERT_TRUE(caller);
    ASSERT_FALSE(caller->windowSide.isNull());
    settle();
    EXPECT_FALSE(caller->windowSide.isNull()) << "deleted while connected";

    caller->client.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return caller->windowSide.isNull(); }, 5000));
    EXPECT_EQ(Inspector::clientSocket(window), nullptr);
}

// An "ADDLINE" of distinct raw-file paths of about 200 characters, the last
// one padded so that the message has exactly the given size.
QString addLineOfSize(qint64 size, int *paths)
{
    const QString folder = QStringLiteral("/survey/") + QString(170, QLatin1Char('f'));
    QString text = prefix + QStringLiteral("ADDLINE,LINE=");
    *paths = 0;
    while (text.size() + 512 < size)
        text += folder + QStringLiteral("/line_%1.nexra;").arg((*paths)++, 8, 10, QLatin1Char('0'));
    text += QString(int(size - text.size()), QLatin1Char('x'));
    ++*paths;
    return text;
}

// A caller message of up to the size limit is handled whole. One character
// more closes its connection with code 1009 before it is handled, with a
// warning; the other callers carry on.
TEST_F(CallerSocketTest, MessagesAreBoundedInSize)
{
    constexpr qint64 limit = HVXQAWebSocketServer::maxIncomingMessageSize;
    const struct {
        const char *name;
        qint64 size;
        bool handled;
    } cases[] = {{"AtTheLimit", limit, true}, {"OneOver", limit + 1, false}};

    auto bystander = connectCaller();
    ASSERT_TRUE(bystander);
    const QString handledRecord = QStringLiteral("CrossLineWidget::processWebSocketMessage = ");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        int paths = 0;
        const QString text = addLineOfSize(c.size, &paths);
        ASSERT_EQ(text.size(), c.size);
        auto caller = connectCaller();
        ASSERT_TRUE(caller);
        const QStringList namedBefore = Inspector::crossLineData(window)->rawFiles();

        LogCapture log(QStringLiteral("Rerozadoz"));
        caller->client.sendTextMessage(text);
        if (c.handled) {
            const QString record = handledRecord + text;
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return log.count(log4cplus::INFO_LOG_LEVEL, record) == 1; }, 120000));
            EXPECT_EQ(Inspector::crossLineData(window)->rawFiles().size(), paths);
            EXPECT_EQ(caller->client.state(), QAbstractSocket::ConnectedState);
        } else {
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return caller->client.state() == QAbstractSocket::UnconnectedState; }, 120000));
            EXPECT_EQ(caller->client.closeCode(), QWebSocketProtocol::CloseCodeTooMuchData);
            ASSERT_TRUE(QTest::qWaitFor([&] { return caller->windowSide.isNull(); }, 5000));
            for (const QString &message : log.messages())
                EXPECT_FALSE(message.startsWith(handledRecord)) << message.left(80).toStdString();
            EXPECT_EQ(log.messages(log4cplus::WARN_LOG_LEVEL),
                      QStringList{QStringLiteral("CrossLineWidget: caller message larger than "
                                                 "16777216 bytes; connection closed, message dropped")});
            EXPECT_EQ(Inspector::crossLineData(window)->rawFiles(), namedBefore);
        }

        log.clear();
        bystander->client.sendTextMessage(prefix + QStringLiteral("SHOW"));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return log.count(log4cplus::INFO_LOG_LEVEL, handledRecord + prefix + QStringLiteral("SHOW")) == 1; },
            5000));
    }
}

} // namespace
