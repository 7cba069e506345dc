// Installation controls filled from generated raw files, the edits written
// back, the corrections they give and the installation-parameter text.
#include "loadcontrol_test_support.h"

#include <cmath>

namespace {

using Inst = nexra::InstallationDescription;

nexra::InstallationAttitudeSensor attitude(int number, float r, float p, float h, int delay,
                                           const QString &state = QStringLiteral("ACTIVE"))
{
    nexra::InstallationAttitudeSensor a;
    a.number = number;
    a.roll = r;
    a.pitch = p;
    a.heading = h;
    a.delay = delay;
    a.state = state;
    return a;
}

// Transducer 1 with distinct angles, one position sensor, one attitude sensor.
Inst baseInstallation()
{
    Inst inst = nexra::defaultInstallation(1);
    inst.transducers[0].roll = 0.5f;      // TX 1
    inst.transducers[0].pitch = -1.25f;
    inst.transducers[0].heading = 0.00001f;
    inst.transducers[1].roll = 2.0f;      // RX 1
    inst.transducers[1].pitch = 0.125f;
    inst.transducers[1].heading = -3.0f;
    inst.attitudeSensors = {attitude(1, 0.25f, -0.5f, 1.5f, 20)};
    inst.positionSensors[0].delay = 0.0f;
    return inst;
}

const QString transducers =
    "INST_PARAM_PU_TX1_R=0.5,INST_PARAM_PU_TX1_P=-1.25,INST_PARAM_PU_TX1_H=1e-05,"
    "INST_PARAM_PU_RX1_R=2,INST_PARAM_PU_RX1_P=0.125,INST_PARAM_PU_RX1_H=-3,"
    "INST_PARAM_PU_TX2_R=0,INST_PARAM_PU_TX2_P=0,INST_PARAM_PU_TX2_H=0,"
    "INST_PARAM_PU_RX2_R=0,INST_PARAM_PU_RX2_P=0,INST_PARAM_PU_RX2_H=0,";

TEST_F(LoadControlTest, ParametersTextForInstallationCases)
{
    const struct {
        const char *what;
        std::function<void(Inst &)> change;
        QString text;
    } cases[] = {
        {"one transducer, DELAY=0.02", [](Inst &) {},
         transducers + "INST_PARAM_PU_ATT1_DELAY=0.02,INST_PARAM_PU_ATT1_R=0.25,"
                       "INST_PARAM_PU_ATT1_P=-0.5,INST_PARAM_PU_ATT1_H=1.5,INST_PARAM_PU_POS1_D=0"},
        {"two attitude sensors",
         [](Inst &i) {
             i.attitudeSensors = {attitude(1, 1, 2, 3, 10), attitude(2, 4, 5, 6, 30)};
         },
         transducers + "INST_PARAM_PU_ATT1_DELAY=0.01,INST_PARAM_PU_ATT1_R=4,"
                       "INST_PARAM_PU_ATT1_P=5,INST_PARAM_PU_ATT1_H=6,INST_PARAM_PU_POS1_D=0"},
        {"heading record without active sensor",
         [](Inst &i) { i.attitudeSensors = {attitude(1, 1, 2, 3, 10, "PASSIVE")}; },
         transducers + "INST_PARAM_PU_ATT1_DELAY=0.01,INST_PARAM_PU_ATT1_R=0,"
                       "INST_PARAM_PU_ATT1_P=0,INST_PARAM_PU_ATT1_H=3,INST_PARAM_PU_POS1_D=0"},
        {"no heading record",
         [](Inst &i) { i.attitudeSensors = {attitude(1, 1, 2, 3, 10, "NOT_SET")}; },
         transducers + "INST_PARAM_PU_POS1_D=0"},
        {"no position sensor",
         [](Inst &i) { i.positionSensors[0].state = QStringLiteral("NOT_SET"); },
         transducers + "INST_PARAM_PU_ATT1_DELAY=0.02,INST_PARAM_PU_ATT1_R=0.25,"
                       "INST_PARAM_PU_ATT1_P=-0.5,INST_PARAM_PU_ATT1_H=1.5,"},
        {"position delay",
         [](Inst &i) {
             i.positionSensors[0].number = 3;
             i.positionSensors[0].delay = 0.125f;
         },
         transducers + "INST_PARAM_PU_ATT1_DELAY=0.02,INST_PARAM_PU_ATT1_R=0.25,"
                       "INST_PARAM_PU_ATT1_P=-0.5,INST_PARAM_PU_ATT1_H=1.5,INST_PARAM_PU_POS3_D=0.125"},
    };
    EXPECT_TRUE(parametersText().isEmpty()); // before any load
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Inst inst = baseInstallation();
        c.change(inst);
        *data->installationLists() = InstallationLists(); // no mismatch between cases
        ASSERT_TRUE(load({rawFile(QStringLiteral("case%1.nexra").arg(n++), inst)}));
        EXPECT_EQ(parametersText(), c.text);
    }
}

TEST_F(LoadControlTest, ControlsShowTheLastActiveAttitudeSensorAndEditsGoIntoAll)
{
    Inst inst = baseInstallation();
    inst.attitudeSensors = {attitude(1, 1, 2, 3, 10), attitude(2, 4, 5, 6, 30)};
    ASSERT_TRUE(load({rawFile("line.nexra", inst)}));
    EXPECT_DOUBLE_EQ(ui->att1R->value(), 4.0);
    EXPECT_DOUBLE_EQ(ui->att1P->value(), 5.0);
    EXPECT_DOUBLE_EQ(ui->att1H->value(), 6.0);
    EXPECT_EQ(ui->motionDelaySpinBox->value(), 30);
    EXPECT_DOUBLE_EQ(ui->tx2R->value(), 0.0);
    EXPECT_DOUBLE_EQ(ui->tx1H->value(), 0.0); // 1e-05 at three decimals

    ui->att1R->setValue(-1.5);
    ASSERT_TRUE(recalculate());
    const InstallationLists &lists = *data->installationLists();
    ASSERT_EQ(lists.attitudeSensors.size(), 2);
    for (const AttitudeSensorEntry &sensor : lists.attitudeSensors) {
        EXPECT_FLOAT_EQ(sensor.roll, -1.5f);
        EXPECT_FLOAT_EQ(sensor.pitch, 5.0f);
        EXPECT_EQ(sensor.delay, 30);
        EXPECT_EQ(sensor.modeFlag, 1);
    }
    // The loaded TX 1 heading of 1e-05 comes back as the box shows it.
    EXPECT_FLOAT_EQ(lists.transducers.value(0).heading, 0.0f);
}

TEST_F(LoadControlTest, AnglesAreReadBackFromTheBoxTextWithCommaAsPoint)
{
    ASSERT_TRUE(load({rawFile("line.nexra", baseInstallation())}));
    ui->tx1R->setLocale(QLocale(QLocale::German));
    ui->tx1R->setValue(1.125);
    ASSERT_EQ(ui->tx1R->cleanText(), QStringLiteral("1,125"));
    ASSERT_TRUE(recalculate());
    EXPECT_FLOAT_EQ(data->installationLists()->transducers.value(0).roll, 1.125f);
}

// Unedited position delays are written back as loaded, not as 0.
TEST_F(LoadControlTest, PositionDelayBoxFilledAndKeptThroughRecalculation)
{
    Inst inst = baseInstallation();
    inst.positionSensors[0].delay = 0.02f;
    ASSERT_TRUE(load({rawFile("line.nexra", inst)}));
    EXPECT_EQ(ui->positionDelaySpinBox->value(), 20);
    ASSERT_TRUE(recalculate());
    EXPECT_FLOAT_EQ(data->installationLists()->positionSensors.value(0).delay, 0.02f);
    EXPECT_TRUE(parametersText().endsWith("INST_PARAM_PU_POS1_D=0.02")) << parametersText().toStdString();

    ui->positionDelaySpinBox->setValue(35);
    ASSERT_TRUE(recalculate());
    EXPECT_FLOAT_EQ(data->installationLists()->positionSensors.value(0).delay, 0.035f);
    EXPECT_TRUE(parametersText().endsWith("INST_PARAM_PU_POS1_D=0.035")) << parametersText().toStdString();
}

// Positions of the kept soundings after a recalculation, per raw file.
QList<SoundingData> corridor(CrossLineData *data)
{
    return data->corridorDepths(data->loadedRawFiles().value(0));
}

// A heading of 270 is shown wrapped; unedited controls turn nothing.
TEST_F(LoadControlTest, AttitudeHeadingOutsideTheBoxRangeGivesNoCorrection)
{
    Inst inst = baseInstallation();
    inst.attitudeSensors = {attitude(1, 0, 0, 270, 0)};
    ASSERT_TRUE(load({rawFile("line.nexra", inst)}));
    EXPECT_DOUBLE_EQ(ui->att1H->value(), -90.0);
    const QList<SoundingData> loaded = corridor(data);
    ASSERT_FALSE(loaded.isEmpty());

    ASSERT_TRUE(recalculate());
    const QList<SoundingData> recalculated = corridor(data);
    ASSERT_EQ(recalculated.size(), loaded.size());
    for (int i = 0; i < loaded.size(); ++i) {
        EXPECT_DOUBLE_EQ(recalculated[i].northing, loaded[i].northing);
        EXPECT_DOUBLE_EQ(recalculated[i].easting, loaded[i].easting);
    }
    EXPECT_FLOAT_EQ(data->installationLists()->attitudeHeadings.value(0).heading, -90.0f);
}

// pitchCorrection = loaded pitch - new pitch, which the recalculation
// negates: a pitch edit of +1 degree (bow up) swings the fan forward, a
// right-handed rotation like the roll and heading edits.
TEST_F(LoadControlTest, PitchEditTurnsTheSonarBowUp)
{
    Inst inst = baseInstallation();
    inst.attitudeSensors = {attitude(1, 0, 2.0f, 0, 0)};
    ASSERT_TRUE(load({rawFile("line.nexra", inst)}));
    const SoundingData loaded = corridor(data).value(0);
    ui->att1P->setValue(3.0);
    ASSERT_TRUE(recalculate());
    const SoundingData recalculated = corridor(data).value(0);
    const double e = 1.0 * M_PI / 180.0;
    EXPECT_NEAR(recalculated.along, loaded.along + e * (1 - e * e) * loaded.depth, 1e-3);
    EXPECT_NEAR(recalculated.depth, (1 - e * e) * loaded.depth, 1e-3);
}

TEST_F(LoadControlTest, ParametersTextIsEmptyForDataThatIsNotNexra)
{
    const QString file = rawFile("line.nexra", baseInstallation());
    const QString other = dir.filePath("line.NEXRA");
    ASSERT_TRUE(QFile::copy(file, other));
    ASSERT_TRUE(load({other}));
    EXPECT_FALSE(data->isNexra());
    EXPECT_TRUE(parametersText().isEmpty());
}

} // namespace
