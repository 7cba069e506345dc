#include "nexra_test_files.h"

#include "cprojection.h"
#include "log_capture.h"

#include <QMetaMethod>
#include <QRegularExpression>
#include <QSignalSpy>

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
