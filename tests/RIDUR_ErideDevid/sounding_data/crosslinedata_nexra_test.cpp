#include "nexra_test_files.h"

#include "cnexrautils.h"
#include "debug_capture.h"
#include "log_capture.h"
#include "message_box_closer.h"

#include <QSignalSpy>
#include <QThread>

#include <cmath>
#include <functional>

using namespace fixture;

namespace {

const char *const warningShown =
    "Unequal transduser parameters|Unable to calibrate with unequal installation-parameters on selected lines.";

QByteArray withType(QByteArray datagram, const char *type)
{
    datagram.replace(4, 4, type, 4);
    return datagram;
}

QByteArray rawLength(quint32 length, const QByteArray &rest)
{
    QByteArray data(4, '\0');
    nexra::putU32(data, 0, length);
    return data + rest;
}

// An "#MRZ" datagram with one uint16 field patched; where gives its offset.
QByteArray patchedMrz(const std::function<int(const nexra::MrzGeometry &)> &where, quint16 value)
{
    QByteArray d = mrz(2);
    const nexra::MrzGeometry g = nexra::mrzGeometry(nexra::MrzLayout(), 2);
    nexra::putU16(d, where(g), value);
    return d;
}

// P + I + S x E = 65559 + 65535 + 65535 x 65535 = 2^32 + 23: a 32-bit sum
// would wrap to an address inside the datagram.
QByteArray wrappingMrz()
{
    QByteArray d = nexra::makeDatagram("#MRZ", QByteArray(70000, '\x01'));
    nexra::putU16(d, 24, 0xFFFF);
    nexra::putU16(d, 128, 0xFFFF);
    nexra::putU16(d, 24 + 0xFFFF, 0xFFFF);
    nexra::putU16(d, 24 + 0xFFFF + 94, 0xFFFF);
    return d;
}

} // namespace

// --- datagram limits ---------------------------------------------------------

struct LimitCase {
    const char *name;
    int length;
    int keptBeforeNext; // soundings of the sized datagram that are kept
    const char *message;
};

class DepthReaderLimit : public CorridorLoadTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(DepthReaderLimit, ReadsUpToItsBuffer)
{
    const LimitCase &c = GetParam();
    const QString file = write("limit.nexra", {iip(), padded(mrz(1, 1), c.length), mrz(1, 2)});
    DebugCapture dbg;
    const QList<SoundingData> kept = load(file);
    ASSERT_EQ(kept.size(), c.keptBeforeNext + 1);
    EXPECT_EQ(kept.last().timeMs, 2000);
    if (c.keptBeforeNext) {
        EXPECT_EQ(kept.first().timeMs, 1000);
    }
    EXPECT_EQ(dbg.count("message too big"), c.message[0] ? 1 : 0);
    if (c.message[0]) {
        EXPECT_TRUE(dbg.lines().contains(QString::fromLatin1(c.message)));
    }
    EXPECT_FALSE(dbg.contains("message too big3 "));
}

INSTANTIATE_TEST_SUITE_P(Limits, DepthReaderLimit,
                         ::testing::Values(LimitCase{"atLimit", 16777184, 1, ""},
                                           LimitCase{"aboveLimit", 16777185, 0, "message too big1 16777185"}),
                         [](const ::testing::TestParamInfo<LimitCase> &info) { return std::string(info.param.name); });

class InstallationReaderLimit : public CorridorLoadTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(InstallationReaderLimit, ReadsUpToItsBuffer)
{
    const LimitCase &c = GetParam();
    // The sized "#IIP" carries roll 1; the next one roll 2.
    const QString file = write("limit.nexra", {padded(iip(1.0f), c.length), iip(2.0f), mrz(1)});
    DebugCapture dbg;
    const QList<SoundingData> kept = load(file);
    const InstallationLists *lists = data.installationLists();
    ASSERT_FALSE(lists->transducers.isEmpty());
    EXPECT_EQ(lists->transducers.first().roll, c.keptBeforeNext ? 1.0f : 2.0f);
    EXPECT_EQ(kept.size(), 1);
    EXPECT_EQ(dbg.count("message too big"), c.message[0] ? 1 : 0);
    if (c.message[0]) {
        EXPECT_TRUE(dbg.lines().contains(QString::fromLatin1(c.message)));
    }
}

INSTANTIATE_TEST_SUITE_P(Limits, InstallationReaderLimit,
                         ::testing::Values(LimitCase{"atLimit", 366456, 1, ""},
                                           LimitCase{"aboveLimit", 366457, 0, "message too big3 366457"}),
                         [](const ::testing::TestParamInfo<LimitCase> &info) { return std::string(info.param.name); });

// --- damaged and unusual files -----------------------------------------------

struct FileCase {
    const char *name;
    std::function<QList<QByteArray>()> datagrams;
    int kept;
    float storedTxRoll;   // roll of the first stored transducer; NAN: none stored
    const char *message;  // expected on the debug stream, or empty
};

class RawFileContent : public CorridorLoadTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(RawFileContent, KeepsWhatIsReadable)
{
    const FileCase &c = GetParam();
    const QString file = write("case.nexra", c.datagrams());
    DebugCapture dbg;
    LogCapture cap("CrossLineData");
    const QList<SoundingData> kept = load(file);
    EXPECT_EQ(kept.size(), c.kept);
    const InstallationLists *lists = data.installationLists();
    if (std::isnan(c.storedTxRoll)) {
        EXPECT_TRUE(lists->transducers.isEmpty());
    } else {
        ASSERT_FALSE(lists->transducers.isEmpty());
        EXPECT_EQ(lists->transducers.first().roll, c.storedTxRoll);
    }
    if (c.message[0]) {
        EXPECT_TRUE(dbg.contains(QString::fromLatin1(c.message))) << dbg.lines().join('\n').toStdString();
    }
    EXPECT_TRUE(cap.contains(log4cplus::DEBUG_LOG_LEVEL, "End getSurveyLineRegionData"));
}

const FileCase fileCases[] = {
    {"wellFormed", [] { return QList<QByteArray>{iip(1), nexra::makeRuntimeDatagram(1, 0, "run"), mrz(3), mrz(2)}; }, 5, 1.0f, ""},
    {"truncatedLastDatagram", [] { return QList<QByteArray>{iip(1), mrz(2), mrz(3).left(300)}; }, 2, 1.0f,
     "cannot read all data for datagram"},
    {"truncatedLength", [] { return QList<QByteArray>{iip(1), mrz(2), QByteArray("\x10\x00", 2)}; }, 2, 1.0f, ""},
    {"lengthZeroEndsFile", [] { return QList<QByteArray>{iip(1), mrz(1), rawLength(0, mrz(1))}; }, 1, 1.0f,
     "datagram length too small 0"},
    {"lengthSixNotReadAsEarlierType", [] { return QList<QByteArray>{iip(1), mrz(1), rawLength(6, QByteArray("ab")), mrz(1)}; }, 1, 1.0f,
     "datagram length too small 6"},
    // The depth reader goes on where the installation reader stopped: a
    // damaged first length ends the file for both, although a whole raw
    // file follows it.
    {"lengthZeroFirst", [] { return QList<QByteArray>{rawLength(0, iip(1)), mrz(2)}; }, 0, NAN,
     "datagram length too small 0"},
    {"lengthFourFirst", [] { return QList<QByteArray>{rawLength(4, iip(1)), mrz(2)}; }, 0, NAN,
     "datagram length too small 4"},
    {"lengthSevenBeforeInstallation", [] { return QList<QByteArray>{rawLength(7, QByteArray("#II")), iip(1), mrz(1)}; }, 0, NAN,
     "datagram length too small 7"},
    {"installationWithoutRoomForText", [] {
         return QList<QByteArray>{nexra::makeDatagram("#IIP", QByteArray(20, 'x')), iip(2), mrz(1)}; }, 1, 2.0f, ""},
    {"installationOfTypeOnly", [] { return QList<QByteArray>{nexra::makeDatagram("#IIP", {}), iip(2), mrz(1)}; }, 1, 2.0f, ""},
    {"staleTextNotTakenForShortInstallation", [] {
         // A large datagram leaves text at offset 26 of the buffer; the short
         // "#IIP" after it must not be read as that text.
         const QByteArray stale = nexra::makeDatagram("#XYZ", QByteArray(18, ' ') + "TRAI_TX1:R=9" + QByteArray(64, '\0'));
         return QList<QByteArray>{stale, nexra::makeDatagram("#IIP", QByteArray(12, '\0')), iip(2), mrz(1)}; }, 1, 2.0f, ""},
    {"noInstallationDatagram", [] { return QList<QByteArray>{mrz(2), mrz(2)}; }, 0, NAN, ""},
    {"depthBeforeInstallation", [] { return QList<QByteArray>{mrz(3), iip(1), mrz(1)}; }, 1, 1.0f, ""},
    {"onlyFirstInstallationParsed", [] { return QList<QByteArray>{iip(1), iip(2), mrz(1)}; }, 1, 1.0f, ""},
    {"typeComparedExactly", [] {
         return QList<QByteArray>{iip(1), withType(mrz(1), "#mrz"), withType(mrz(1), "#MRz"), withType(mrz(1), "$MRZ"), withType(mrz(1), "#MRY")}; },
     0, 1.0f, ""},
    {"textFile", [] { return QList<QByteArray>{QByteArray("this is not a raw file\n").repeated(40)}; }, 0, NAN, "message too big3 "},
    {"zeroBytes", [] { return QList<QByteArray>{QByteArray(4096, '\0')}; }, 0, NAN, ""},
    {"threeBytes", [] { return QList<QByteArray>{QByteArray("#II")}; }, 0, NAN, ""},
    {"emptyFile", [] { return QList<QByteArray>{}; }, 0, NAN, ""},
    {"hugeLengthAtEnd", [] { return QList<QByteArray>{iip(1), mrz(1), rawLength(0xFFFFFFFFu, QByteArray(16, '\0'))}; }, 1, 1.0f,
     "message too big1 4294967295"},
    {"fixedFieldsCut", [] { return QList<QByteArray>{iip(1), nexra::makeDatagram("#MRZ", QByteArray(160, '\0')), mrz(1)}; }, 1, 1.0f, ""},
    {"firstBlockPastEnd", [] { return QList<QByteArray>{iip(1), patchedMrz([](const nexra::MrzGeometry &) { return 24; }, 0xFFFF), mrz(1)}; }, 1, 1.0f, ""},
    {"pingInfoPastEnd", [] { return QList<QByteArray>{iip(1), patchedMrz([](const nexra::MrzGeometry &g) { return g.pingInfo; }, 0xFFFF), mrz(1)}; }, 1, 1.0f, ""},
    {"sectorTablePastEnd", [] {
         QByteArray d = mrz(2);
         const nexra::MrzGeometry g = nexra::mrzGeometry(nexra::MrzLayout(), 2);
         nexra::putU16(d, 128, 0xFFFF);
         nexra::putU16(d, g.pingInfo + 94, 0xFFFF);
         return QList<QByteArray>{iip(1), d, mrz(1)}; }, 1, 1.0f, ""},
    {"blockSumBeyond32Bits", [] { return QList<QByteArray>{iip(1), wrappingMrz(), mrz(1)}; }, 1, 1.0f, ""},
    {"rxInfoPastEnd", [] { return QList<QByteArray>{iip(1), patchedMrz([](const nexra::MrzGeometry &g) { return g.rxInfo; }, 0xFFFF), mrz(1)}; }, 1, 1.0f, ""},
    {"extraEntriesPastEnd", [] { return QList<QByteArray>{iip(1), patchedMrz([](const nexra::MrzGeometry &g) { return g.rxInfo + 28; }, 0xFFFF), mrz(1)}; }, 1, 1.0f, ""},
    {"moreSoundingsDeclaredThanFit", [] { return QList<QByteArray>{iip(1), patchedMrz([](const nexra::MrzGeometry &g) { return g.rxInfo + 2; }, 1000), mrz(1)}; }, 3, 1.0f, ""},
    {"noSoundings", [] { return QList<QByteArray>{iip(1), mrz(0), mrz(1)}; }, 1, 1.0f, ""},
};

INSTANTIATE_TEST_SUITE_P(Files, RawFileContent, ::testing::ValuesIn(fileCases),
                         [](const ::testing::TestParamInfo<FileCase> &info) { return std::string(info.param.name); });

TEST_F(CorridorLoadTest, InstallationTextEndsAtNulOrAtItsLimit)
{
    // No NUL: the text is L - 29 bytes, so "R=12345" is cut to "R=12".
    const QByteArray body = QByteArray(18, '\0') + "TRAI_TX1:X=1;R=12345";
    DebugCapture dbg;
    load(write("nonul.nexra", {nexra::makeDatagram("#IIP", body)}));
    ASSERT_EQ(data.installationLists()->transducers.size(), 1);
    EXPECT_EQ(data.installationLists()->transducers.first().roll, 12.0f);
    EXPECT_TRUE(dbg.lines().contains("TRAI_TX1:X=1;R=12"));
}

TEST_F(CorridorLoadTest, ParserFailureIsLoggedAndListsKept)
{
    LogCapture cap("CrossLineData");
    load(write("bad.nexra", {nexra::makeIipDatagram("TRAI_TX3:X=1,POSI_2:X=4"), mrz(1)}));
    EXPECT_TRUE(cap.contains(log4cplus::DEBUG_LOG_LEVEL,
                             "CrossLineData::getNexraInstallationDatagram() ERROR: Installation datagram parsing error."));
    ASSERT_EQ(data.installationLists()->positionSensors.size(), 1);
    EXPECT_EQ(data.installationLists()->positionSensors.first().number, 2);
}

TEST_F(CorridorLoadTest, MissingFileIsLoggedAndLoadGoesOn)
{
    const QString good = write("good.nexra", {iip(), mrz(2)});
    const QString missing = path("missing.nexra");
    LogCapture cap("CrossLineData");
    data.addRawFile(missing);
    data.addRawFile(good);
    data.generateRegionData();
    EXPECT_TRUE(cap.contains(log4cplus::INFO_LOG_LEVEL, "cannot open file " + missing + " for reading"));
    EXPECT_FALSE(CrossLineDataInspector::regionSoundings(data).contains(missing));
    EXPECT_EQ(CrossLineDataInspector::regionSoundings(data).value(good).size(), 2);
}

// --- installation storing and the mismatch rule ------------------------------

namespace {

struct Angles {
    float roll, pitch, heading;
};

// A two-head installation text whose transducer records carry the angles.
QByteArray transducerText(const QList<Angles> &angles)
{
    nexra::InstallationDescription inst = nexra::defaultInstallation(2);
    inst.transducers.resize(angles.size());
    for (int i = 0; i < angles.size(); ++i) {
        inst.transducers[i].side = (i % 2) ? nexra::InstallationTransducer::Rx : nexra::InstallationTransducer::Tx;
        inst.transducers[i].number = 1 + i / 2;
        inst.transducers[i].roll = angles[i].roll;
        inst.transducers[i].pitch = angles[i].pitch;
        inst.transducers[i].heading = angles[i].heading;
    }
    return nexra::makeInstallationText(inst);
}

} // namespace

struct MismatchCase {
    const char *name;
    QList<Angles> stored;
    QList<Angles> loaded;
    bool unequal;
};

class InstallationMismatch : public CorridorLoadTest, public ::testing::WithParamInterface<MismatchCase> {};

TEST_P(InstallationMismatch, ReplacesOrWarns)
{
    const MismatchCase &c = GetParam();
    InstallationLists stored;
    parseInstallationText(QString::fromUtf8(transducerText(c.stored)), stored);
    stored.attitudeHeadings.clear(); // marks the stored lists
    *data.installationLists() = stored;

    const QString file = write("mismatch.nexra", {nexra::makeIipDatagram(transducerText(c.loaded)), mrz(1)});
    MessageBoxCloser closer;
    EXPECT_EQ(load(file).size(), 1);

    const InstallationLists *now = data.installationLists();
    EXPECT_EQ(now->transducers.size(), c.unequal ? c.stored.size() : c.loaded.size());
    EXPECT_EQ(now->attitudeHeadings.isEmpty(), c.unequal); // all five lists replaced, or none
    if (!now->transducers.isEmpty()) {
        const Angles &expected = c.unequal ? c.stored.first() : c.loaded.first();
        EXPECT_EQ(now->transducers.first().roll, expected.roll);
    }
    EXPECT_EQ(closer.shown, c.unequal ? QStringList{warningShown} : QStringList{});
}

const MismatchCase mismatchCases[] = {
    {"nothingStored", {}, {{1, 2, 3}, {1, 2, 3}}, false},
    {"nothingLoaded", {{1, 2, 3}, {1, 2, 3}}, {}, false},
    {"equal", {{1, 2, 3}, {4, 5, 6}}, {{1, 2, 3}, {4, 5, 6}}, false},
    {"firstEntryNeverCompared", {{1, 2, 3}, {4, 5, 6}}, {{7, 8, 9}, {4, 5, 6}}, false},
    {"twoAnglesDiffer", {{1, 2, 3}, {4, 5, 6}}, {{1, 2, 3}, {7, 8, 6}}, false},
    {"allThreeDiffer", {{1, 2, 3}, {4, 5, 6}}, {{1, 2, 3}, {7, 8, 9}}, true},
    {"laterPositionDiffers", {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}}, true},
    {"loadedShorter", {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, {{0, 0, 0}, {0, 0, 0}}, false},
    {"storedShorter", {{0, 0, 0}}, {{0, 0, 0}, {5, 5, 5}, {5, 5, 5}}, false},
};

INSTANTIATE_TEST_SUITE_P(Rule, InstallationMismatch, ::testing::ValuesIn(mismatchCases),
                         [](const ::testing::TestParamInfo<MismatchCase> &info) { return std::string(info.param.name); });

TEST_F(CorridorLoadTest, FirstFileStoredSecondComparedWithIt)
{
    const QString a = write("a.nexra", {nexra::makeIipDatagram(transducerText({{0, 0, 0}, {1, 1, 1}})), mrz(1)});
    const QString b = write("b.nexra", {nexra::makeIipDatagram(transducerText({{0, 0, 0}, {2, 2, 2}})), mrz(1)});
    MessageBoxCloser closer;
    data.addRawFile(a);
    data.addRawFile(b);
    data.generateRegionData();
    EXPECT_EQ(closer.shown, QStringList{warningShown});
    EXPECT_EQ(data.installationLists()->transducers.at(1).roll, 1.0f);
    EXPECT_EQ(CrossLineDataInspector::regionSoundings(data).value(b).size(), 1);
}

TEST_F(CorridorLoadTest, ResetComparesWithEditedValues)
{
    const QString a = write("a.nexra", {nexra::makeIipDatagram(transducerText({{0, 0, 0}, {1, 1, 1}})), mrz(1)});
    load(a);
    MessageBoxCloser closer;
    // An edit of one angle still matches; editing all three raises the warning.
    data.installationLists()->transducers[1].roll = 4.0f;
    data.resetNexraInst();
    EXPECT_TRUE(closer.shown.isEmpty());
    EXPECT_EQ(data.installationLists()->transducers[1].roll, 1.0f);
    data.installationLists()->transducers[1] = TransducerEntry{};
    data.installationLists()->transducers[1].roll = 7.0f;
    data.installationLists()->transducers[1].pitch = 7.0f;
    data.installationLists()->transducers[1].heading = 7.0f;
    data.resetNexraInst();
    EXPECT_EQ(closer.shown, QStringList{warningShown});
    EXPECT_EQ(data.installationLists()->transducers[1].roll, 7.0f);
}

// From the data thread the warning is posted to the GUI thread and the load
// does not wait for it.
TEST(ThreadedInstallationWarning, PostedToGuiThreadWithoutWaiting)
{
    QTemporaryDir dir;
    auto *data = new CrossLineData;
    data->setProjectionFile(writeProjectionDefinition(dir));
    data->setCrossLine(lineX, lineStartY, lineX, lineEndY);
    data->setCorridorWidth(width);
    InstallationLists stored;
    parseInstallationText(QString::fromUtf8(transducerText({{0, 0, 0}, {1, 1, 1}})), stored);
    *data->installationLists() = stored;
    const QString file = dir.filePath("a.nexra");
    ASSERT_TRUE(nexra::writeFile(file, {nexra::makeIipDatagram(transducerText({{0, 0, 0}, {2, 2, 2}})), mrz(2)}));
    data->addRawFile(file);

    QThread thread;
    data->moveToThread(&thread);
    thread.start();
    ASSERT_TRUE(loadInDataThread(data));

    // The load has answered while no box was closed yet.
    QMessageBox *box = nullptr;
    for (int i = 0; i < 200 && !box; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
                box = b;
        }
    }
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->thread(), qApp->thread());
    EXPECT_EQ(box->windowTitle(), "Unequal transduser parameters");
    EXPECT_EQ(box->text(), "Unable to calibrate with unequal installation-parameters on selected lines.");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    box->close();

    // Deleted here, after the answer: what the load wrote is ordered before
    // it by the handoff.
    thread.quit();
    thread.wait();
    delete data;
}

// --- block locators ----------------------------------------------------------

TEST(NexraLocators, SharedInstance)
{
    const std::shared_ptr<CNexraUtils> first = CNexraUtils::instance();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CNexraUtils::instance().get(), first.get());
}

TEST(NexraLocators, FindBlocksByDeclaredSizes)
{
    nexra::MrzLayout layout;
    layout.commonSize = 20;
    layout.pingInfoSize = 160;
    layout.txSectorCount = 5;
    layout.txSectorSize = 40;
    layout.rxInfoSize = 36;
    layout.extraClassCount = 7;
    const QByteArray d = nexra::makeMrzDatagram(insidePing(2), layout);
    const nexra::MrzGeometry g = nexra::mrzGeometry(layout, 2);
    const auto *start = reinterpret_cast<const quint8 *>(d.constData());
    const auto utils = CNexraUtils::instance();
    EXPECT_EQ(utils->mrzRxInfo(start), start + (24 + 20 + 160 + 5 * 40));
    EXPECT_EQ(utils->mrzRxInfo(start), start + g.rxInfo);
    EXPECT_EQ(utils->mrzSoundings(start), start + (g.rxInfo + 36 + 4 * 7));
}

TEST(NexraLocators, NoneWhenAddressNotInside)
{
    const auto utils = CNexraUtils::instance();
    const nexra::MrzGeometry g = nexra::mrzGeometry(nexra::MrzLayout(), 0);

    // Without soundings A equals the trailing length field: still inside.
    QByteArray d = nexra::makeMrzDatagram(insidePing(0));
    const auto *start = reinterpret_cast<const quint8 *>(d.constData());
    EXPECT_EQ(utils->mrzSoundings(start), start + g.soundings);

    // L cut so that A is the end of the datagram: none.
    nexra::putU32(d, 0, quint32(g.soundings));
    EXPECT_EQ(utils->mrzSoundings(start), nullptr);
    EXPECT_NE(utils->mrzRxInfo(start), nullptr);
    // L cut at R: none for both.
    nexra::putU32(d, 0, quint32(g.rxInfo));
    EXPECT_EQ(utils->mrzRxInfo(start), nullptr);
    EXPECT_EQ(utils->mrzSoundings(start), nullptr);
    // The block sum exceeds 32 bits and must not wrap inside.
    d = wrappingMrz();
    start = reinterpret_cast<const quint8 *>(d.constData());
    EXPECT_EQ(utils->mrzRxInfo(start), nullptr);
    EXPECT_EQ(utils->mrzSoundings(start), nullptr);
}
