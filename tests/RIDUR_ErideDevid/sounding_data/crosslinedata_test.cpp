#include "nexra_test_files.h"

#include "cprojection.h"
#include "log_capture.h"

#include <QDir>
#include <QMetaMethod>
#include <QRegularExpression>
#include <QSignalSpy>

#include <chrono>
#include <functional>
#include <future>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace fixture;

TEST(CrossLineDataObject, MetaMethodsInOrder)
{
    CrossLineData data;
    const QMetaObject *meta = data.metaObject();
    EXPECT_STREQ(meta->className(), "CrossLineData");
    EXPECT_EQ(data.parent(), nullptr);
    const struct {
        QMetaMethod::MethodType type;
        const char *signature;
    } expected[] = {
        {QMetaMethod::Signal, "regionDataReady()"},
        {QMetaMethod::Signal, "sigRecalcDone(bool)"},
        {QMetaMethod::Slot, "generateRegionData()"},
        {QMetaMethod::Slot, "recalculatedDepths()"},
        {QMetaMethod::Slot, "recalculatedPreviewDepths()"},
    };
    ASSERT_EQ(meta->methodCount() - meta->methodOffset(), 5);
    for (int i = 0; i < 5; ++i) {
        const QMetaMethod m = meta->method(meta->methodOffset() + i);
        EXPECT_EQ(m.methodType(), expected[i].type) << i;
        EXPECT_EQ(m.methodSignature(), QByteArray(expected[i].signature)) << i;
    }
}

TEST(CrossLineDataObject, RawFileList)
{
    CrossLineData data;
    for (const char *p : {"", "/a/x.nexra", "/a/x.nexra", "/a/X.nexra", "", "/a/y.nexra"})
        data.addRawFile(QString::fromLatin1(p));
    const QStringList expected{"/a/x.nexra", "/a/X.nexra", "/a/y.nexra"};
    EXPECT_EQ(data.rawFiles(), expected);
    EXPECT_EQ(data.getRawFiles(), expected);
    EXPECT_TRUE(data.loadedRawFiles().isEmpty());
}

TEST(CrossLineDataObject, RawFileListKeepsFirstOrderAndForgetsOnClear)
{
    // Path i is named at step i and again at steps 2i and 2i + 1 of a second
    // pass, so every repeat comes after its first naming.
    const int count = 2000;
    QStringList expected;
    for (int i = 0; i < count; ++i)
        expected << QStringLiteral("/survey/line%1.nexra").arg(count - i);
    CrossLineData data;
    for (const QString &p : expected)
        data.addRawFile(p);
    for (int i = 0; i < 2 * count; ++i)
        data.addRawFile(expected.at(i / 2));
    EXPECT_EQ(data.rawFiles(), expected);

    // After clearing, earlier names count as new, in the order now given.
    data.clearData();
    const QStringList again{expected.at(7), expected.at(3), expected.at(7)};
    for (const QString &p : again)
        data.addRawFile(p);
    EXPECT_EQ(data.rawFiles(), (QStringList{expected.at(7), expected.at(3)}));
}

// Each job answers the job handed over to it once its work is done, before
// its answer signal goes out; called without a hand-over it answers none.
TEST_F(CrossLineDataTest, EachJobAnswersItsHandOverBeforeItsAnswerGoesOut)
{
    const struct {
        const char *name;
        void (CrossLineData::*job)();
    } jobs[] = {
        {"load", &CrossLineData::generateRegionData},
        {"recalculation", &CrossLineData::recalculatedDepths},
        {"preview recalculation", &CrossLineData::recalculatedPreviewDepths},
    };
    DataThreadHandoff &handoff = data.handoff();
    QList<bool> idleAtAnswer;
    QObject::connect(&data, &CrossLineData::regionDataReady, [&] { idleAtAnswer << handoff.idle(); });
    QObject::connect(&data, &CrossLineData::sigRecalcDone, [&] { idleAtAnswer << handoff.idle(); });
    for (const auto &j : jobs) {
        SCOPED_TRACE(j.name);
        idleAtAnswer.clear();
        handoff.handOver({});
        handoff.handOver({});
        EXPECT_FALSE(handoff.idle());
        (data.*j.job)();
        EXPECT_FALSE(handoff.idle()); // one of the two still waits
        (data.*j.job)();
        EXPECT_TRUE(handoff.idle());
        EXPECT_EQ(idleAtAnswer, (QList<bool>{false, true}));

        // Without a hand-over nothing is answered, so the next hand-over
        // still waits for its own answer.
        (data.*j.job)();
        EXPECT_TRUE(handoff.idle());
        handoff.handOver({});
        EXPECT_FALSE(handoff.idle());
        (data.*j.job)();
        EXPECT_TRUE(handoff.idle());
    }
}

TEST_F(CorridorLoadTest, LoadWithoutRawFilesStillAnswers)
{
    CrossLineDataInspector::regionSoundings(data)["/kept.nexra"] << SoundingData{};
    QSignalSpy ready(&data, &CrossLineData::regionDataReady);
    LogCapture cap("CrossLineData");
    data.generateRegionData();
    EXPECT_EQ(ready.count(), 1);
    EXPECT_EQ(cap.messages(), (QStringList{"Start loadRegionData", "getRawFiles: files "}));
    EXPECT_EQ(cap.records().at(1).level, log4cplus::INFO_LOG_LEVEL);
    EXPECT_EQ(CrossLineDataInspector::regionSoundings(data).value("/kept.nexra").size(), 1);
}

TEST_F(CrossLineDataTest, LoadWithoutCorridorReadsNoFile)
{
    data.addRawFile(path("missing.nexra"));
    QSignalSpy ready(&data, &CrossLineData::regionDataReady);
    LogCapture cap("CrossLineData");
    data.generateRegionData();
    EXPECT_EQ(ready.count(), 1);
    const QStringList messages = cap.messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages.at(0), "Start loadRegionData");
    EXPECT_TRUE(messages.at(1).startsWith("TIMING : CrossLineData::loadRegionData() = "));
    EXPECT_FALSE(data.isNexra());
}

TEST_F(CorridorLoadTest, LogRecordsOfALoad)
{
    const QString file = write("a.nexra", {iip(), mrz(1)});
    data.addRawFile(file);
    LogCapture cap("CrossLineData");
    data.generateRegionData();
    QStringList messages = cap.messages();
    ASSERT_EQ(messages.size(), 7);
    EXPECT_TRUE(messages.takeLast().contains(QRegularExpression("^TIMING : CrossLineData::loadRegionData\\(\\) = \\d+$")));
    EXPECT_EQ(messages, (QStringList{"Start loadRegionData", "Start getSurveyLineRegionData", "Start getRegionVLData",
                                     "Not using projections", "End getRegionVLData", "End getSurveyLineRegionData"}));
    for (const LogRecord &r : cap.records()) {
        EXPECT_EQ(r.level, log4cplus::DEBUG_LOG_LEVEL);
        EXPECT_FALSE(r.file.isEmpty());
        EXPECT_GT(r.line, 0);
    }
    EXPECT_TRUE(data.isNexra());
    EXPECT_EQ(data.loadedRawFiles(), QStringList{file});
}

TEST_F(CorridorLoadTest, OtherExtensionIsOpenedButNotRead)
{
    const QString nexra = write("a.nexra", {iip(1), mrz(1)});
    const QString capital = write("b.NEXRA", {iip(2), mrz(1)});
    data.addRawFile(nexra);
    data.addRawFile(capital);
    LogCapture cap("CrossLineData");
    data.generateRegionData();
    EXPECT_FALSE(data.isNexra());
    EXPECT_EQ(cap.count(log4cplus::DEBUG_LOG_LEVEL, "Start getRegionVLData"), 1);
    EXPECT_EQ(cap.count(log4cplus::DEBUG_LOG_LEVEL, "End getSurveyLineRegionData"), 2);
    EXPECT_FALSE(CrossLineDataInspector::regionSoundings(data).contains(capital));
    EXPECT_EQ(data.installationLists()->transducers.first().roll, 1.0f);
}

TEST_F(CorridorLoadTest, ClearDataKeepsInstallationAndCorridor)
{
    const QString file = write("a.nexra", {iip(1), mrz(2)});
    load(file);
    data.loadCorridorData();
    ASSERT_EQ(data.corridorDepths(file).size(), 2);
    data.clearData();
    EXPECT_TRUE(data.rawFiles().isEmpty());
    EXPECT_TRUE(data.loadedRawFiles().isEmpty());
    EXPECT_TRUE(data.corridorDepths(file).isEmpty());
    EXPECT_TRUE(data.corridorDepths("/other").isEmpty());
    EXPECT_TRUE(CrossLineDataInspector::regionSoundings(data).value(file).isEmpty());
    EXPECT_EQ(data.installationLists()->transducers.size(), 2);
    EXPECT_TRUE(data.isNexra());
    EXPECT_NE(CrossLineDataInspector::regionCorners(data)[0], 0);
}

TEST_F(CrossLineDataTest, LaterProjectionFileIsOnlyStored)
{
    const QString twoLines = path("broken.txt");
    QFile f(twoLines);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<tag>\nEPSG:4326\n");
    f.close();
    data.setProjectionFile(twoLines);
    EXPECT_EQ(CrossLineDataInspector::projectionFile(data), twoLines);
    // Still Mercator: a broken definition would pass the point through.
    double northing = 0, easting = 0;
    CProjection::instance()->geographicToProjected(10.0, 20.0, &northing, &easting);
    EXPECT_NEAR(easting, 222638981.586547, 1e-3);
}

TEST_F(CorridorLoadTest, ResetRereadsInstallationUntilAFileFails)
{
    const QString a = write("a.nexra", {iip(1), mrz(1)});
    const QString b = write("b.nexra", {iip(1), mrz(1)});
    const QString c = write("c.nexra", {iip(1), mrz(1)});
    data.resetNexraInst(); // before any load: nothing
    EXPECT_TRUE(data.installationLists()->transducers.isEmpty());

    data.addRawFile(a);
    data.addRawFile(b);
    data.addRawFile(c);
    data.generateRegionData();
    ASSERT_TRUE(nexra::writeFile(a, {iip(3)}));
    ASSERT_TRUE(QFile::remove(b));
    ASSERT_TRUE(nexra::writeFile(c, {iip(5)}));
    LogCapture cap("CrossLineData");
    data.resetNexraInst();
    EXPECT_TRUE(cap.contains(log4cplus::INFO_LOG_LEVEL, "cannot open file " + b + " for reading"));
    EXPECT_EQ(data.installationLists()->transducers.first().roll, 3.0f); // c was not read

    cap.clear();
    data.resetPUData();
    EXPECT_TRUE(cap.records().isEmpty());
    ASSERT_TRUE(QFile::remove(a));
    data.resetPUData();
    EXPECT_TRUE(cap.contains(log4cplus::INFO_LOG_LEVEL, "cannot open file " + a + " for reading"));
}

TEST_F(CorridorLoadTest, ResetDoesNothingAfterOtherExtension)
{
    const QString other = write("a.raw", {iip(1)});
    data.addRawFile(other);
    data.generateRegionData();
    data.resetNexraInst();
    EXPECT_TRUE(data.installationLists()->transducers.isEmpty());
}

// A name with a NUL is kept as named; cut at the NUL it would lead to a real
// raw file, which no call opens. The log shows the NUL as an escape.
TEST_F(CorridorLoadTest, PathWithANulIsNamedButNeverOpened)
{
    const QString good = write("good.nexra", {iip(1), mrz(2)});
    const QString named = good + QChar(0) + QStringLiteral(".nexra");
    const QString logged = good + QStringLiteral("\\x00.nexra");
    data.addRawFile(named);
    ASSERT_EQ(data.rawFiles(), QStringList{named});

    LogCapture cap("CrossLineData");
    for (const auto &call : {std::function<void()>([this] { data.generateRegionData(); }),
                             std::function<void()>([this] { data.resetNexraInst(); }),
                             std::function<void()>([this] { data.resetPUData(); })}) {
        cap.clear();
        call();
        EXPECT_EQ(cap.messages(log4cplus::INFO_LOG_LEVEL),
                  QStringList{"cannot open file " + logged + " for reading"});
        EXPECT_TRUE(CrossLineDataInspector::regionSoundings(data).isEmpty());
        EXPECT_TRUE(data.installationLists()->transducers.isEmpty());
    }
    EXPECT_EQ(data.loadedRawFiles(), QStringList{named});
}

#ifdef Q_OS_UNIX
TEST_F(CorridorLoadTest, OnlyRegularFilesAreOpened)
{
    // A FIFO without a writer blocks a plain open for good; a device never
    // ends; a folder has no bytes. Each takes the road of a missing file.
    const QString fifo = path("x.nexra");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString device = path("zero.nexra");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), device));
    const QString folder = path("folder.nexra");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString good = write("good.nexra", {iip(1), mrz(2)});
    const QString linked = path("linked.nexra");
    ASSERT_TRUE(QFile::link(good, linked));
    const QStringList unreadable{fifo, device, folder};
    for (const QString &p : unreadable + QStringList{good, linked})
        data.addRawFile(p);

    // Runs the call in a thread of its own. When it has not returned in
    // time, the FIFO's other end is opened and closed so that a blocked
    // open returns, and the result is false.
    auto returnsInTime = [&](const std::function<void()> &call) {
        std::future<void> done = std::async(std::launch::async, call);
        if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready)
            return true;
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        done.wait();
        return false;
    };

    LogCapture cap("CrossLineData");
    ASSERT_TRUE(returnsInTime([this] { data.generateRegionData(); }));
    for (const QString &p : unreadable) {
        EXPECT_TRUE(cap.contains(log4cplus::INFO_LOG_LEVEL, "cannot open file " + p + " for reading"))
            << p.toStdString();
        EXPECT_FALSE(CrossLineDataInspector::regionSoundings(data).contains(p)) << p.toStdString();
    }
    EXPECT_EQ(CrossLineDataInspector::regionSoundings(data).value(good).size(), 2);
    EXPECT_EQ(CrossLineDataInspector::regionSoundings(data).value(linked).size(), 2);

    // The reset and the first-file check meet the FIFO first.
    for (const auto &call : {std::function<void()>([this] { data.resetNexraInst(); }),
                             std::function<void()>([this] { data.resetPUData(); })}) {
        cap.clear();
        ASSERT_TRUE(returnsInTime(call));
        EXPECT_EQ(cap.messages(log4cplus::INFO_LOG_LEVEL),
                  QStringList{"cannot open file " + fifo + " for reading"});
    }
}
#endif
