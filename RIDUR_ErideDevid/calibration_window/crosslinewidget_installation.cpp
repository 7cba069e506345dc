// The installation controls: filled from the installation lists, written
// back before a recalculation, and reported to the caller as text.
#include "crosslinewidget.h"

#include "crosslinedata.h"
#include "datarequestqueue.h"
#include "installationlists.h"
#include "ui_calibrationwidget.h"

#include <QLocale>

#include <cmath>

namespace {

// The first transducer record of one side and number; null when missing.
const TransducerEntry *findTransducer(const InstallationLists &lists, qint32 index, quint8 isRx)
{
    for (const TransducerEntry &entry : lists.transducers) {
        if (entry.index == index && entry.isRx == isRx)
            return &entry;
    }
    return nullptr;
}

struct Angles {
    float roll = 0.0f;
    float pitch = 0.0f;
    float heading = 0.0f;
};

Angles transducerAngles(const InstallationLists &lists, qint32 index, quint8 isRx)
{
    const TransducerEntry *entry = findTransducer(lists, index, isRx);
    return entry ? Angles{entry->roll, entry->pitch, entry->heading} : Angles{};
}

// An angle in degrees wrapped into [-180, 180).
float wrapDegrees(float angle)
{
    const double wrapped = angle - 360.0 * std::floor((angle + 180.0) / 360.0);
    return static_cast<float>(wrapped);
}

} // namespace

float CrossLineWidget::spinBoxAngle(const QDoubleSpinBox *box)
{
    QString text = box->cleanText();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const float value = QLocale::c().toFloat(text, &ok);
    return ok ? value : 0.0f;
}

void CrossLineWidget::getActiveAttitudeOffsets(const InstallationLists &lists,
                                               AttitudeOffsets &offsets)
{
    for (const AttitudeSensorEntry &sensor : lists.attitudeSensors) {
        if (sensor.active == 1) {
            offsets.roll = sensor.roll;
            offsets.pitch = sensor.pitch;
            offsets.delay = sensor.delay;
        }
    }
    for (const AttitudeHeadingEntry &heading : lists.attitudeHeadings) {
        if (heading.set == 1)
            offsets.heading = heading.heading;
    }
}

void CrossLineWidget::updateInstallationControls()
{
    if (!crossLineData->isNexra())
        return;
    const InstallationLists &lists = *crossLineData->installationLists();

    const Angles tx1 = transducerAngles(lists, 0, 0);
    const Angles tx2 = transducerAngles(lists, 1, 0);
    const Angles rx1 = transducerAngles(lists, 0, 1);
    const Angles rx2 = transducerAngles(lists, 1, 1);
    const struct {
        QDoubleSpinBox *r, *p, *h;
        Angles angles;
    } rows[] = {
        {ui->tx1R, ui->tx1P, ui->tx1H, tx1},
        {ui->tx2R, ui->tx2P, ui->tx2H, tx2},
        {ui->rx1R, ui->rx1P, ui->rx1H, rx1},
        {ui->rx2R, ui->rx2P, ui->rx2H, rx2},
    };
    for (const auto &row : rows) {
        row.r->setValue(row.angles.roll);
        row.p->setValue(row.angles.pitch);
        row.h->setValue(row.angles.heading);
    }

    AttitudeOffsets attitude;
    getActiveAttitudeOffsets(lists, attitude);
    ui->att1R->setValue(attitude.roll);
    ui->att1P->setValue(attitude.pitch);
    // A heading such as 270 would be held at the box's bound of 180.
    ui->att1H->setValue(wrapDegrees(attitude.heading));
    ui->motionDelaySpinBox->setValue(attitude.delay);

    // The delay of the first active position sensor, in milliseconds, so that
    // an unedited box leaves the sensors' delays as loaded.
    filledPositionDelayMs = 0;
    for (const PositionSensorEntry &sensor : lists.positionSensors) {
        if (sensor.active != 0) {
            filledPositionDelayMs = static_cast<int>(std::lround(sensor.delay * 1000.0));
            break;
        }
    }
    ui->positionDelaySpinBox->setValue(filledPositionDelayMs);
    filledPositionDelayMs = ui->positionDelaySpinBox->value();

    originalAttitude.roll = attitude.roll;
    originalAttitude.pitch = attitude.pitch;
    originalAttitude.delay = static_cast<float>(attitude.delay);
    originalAttitude.heading = attitude.heading;
}

void CrossLineWidget::applyInstallationEdits(bool preview)
{
    float newRoll = 0.0f;
    float newPitch = 0.0f;
    float newHeading = 0.0f;
    qint32 newDelay = 0;

    appliedOffsets.clear();
    for (const QDoubleSpinBox *box : offsetSpinBoxes())
        appliedOffsets << spinBoxAngle(box);

    if (crossLineData->isNexra()) {
        InstallationLists &lists = *crossLineData->installationLists();
        const float tx1[] = {spinBoxAngle(ui->tx1R), spinBoxAngle(ui->tx1P), spinBoxAngle(ui->tx1H)};
        const float tx2[] = {spinBoxAngle(ui->tx2R), spinBoxAngle(ui->tx2P), spinBoxAngle(ui->tx2H)};
        const float rx1[] = {spinBoxAngle(ui->rx1R), spinBoxAngle(ui->rx1P), spinBoxAngle(ui->rx1H)};
        const float rx2[] = {spinBoxAngle(ui->rx2R), spinBoxAngle(ui->rx2P), spinBoxAngle(ui->rx2H)};
        const auto setAngles = [](TransducerEntry &entry, const float *angles) {
            entry.roll = angles[0];
            entry.pitch = angles[1];
            entry.heading = angles[2];
        };

        for (TransducerEntry &entry : lists.transducers) { // detaches
            if (entry.isRx == 0 && entry.index == 0)
                setAngles(entry, tx1);
            else if (entry.isRx == 0 && entry.index == 1)
                setAngles(entry, tx2);
        }
        for (TransducerEntry &entry : lists.transducers) {
            if (entry.isRx == 1 && entry.index == 1)
                setAngles(entry, rx2);
            else if (entry.isRx == 1 && entry.index == 0)
                setAngles(entry, rx1);
        }

        const float attRoll = spinBoxAngle(ui->att1R);
        const float attPitch = spinBoxAngle(ui->att1P);
        const float attHeading = spinBoxAngle(ui->att1H);
        const qint32 motionDelay = ui->motionDelaySpinBox->value();
        for (AttitudeSensorEntry &sensor : lists.attitudeSensors) {
            if (sensor.active == 0)
                continue;
            sensor.pitch = attPitch;
            sensor.roll = attRoll;
            sensor.delay = motionDelay;
            sensor.factor = 1.0f;
            sensor.modeFlag = 1;
            newRoll = sensor.roll;
            newPitch = sensor.pitch;
            newDelay = sensor.delay;
        }
        for (AttitudeHeadingEntry &heading : lists.attitudeHeadings) {
            if (heading.set == 0)
                continue;
            heading.heading = attHeading;
            heading.delay = motionDelay;
            newHeading = heading.heading;
        }
        for (AttitudeDelayEntry &delay : lists.attitudeDelays) {
            if (delay.active != 0)
                delay.delay = motionDelay;
        }
        // An unedited position delay stays as loaded in every sensor.
        const int positionDelayMs = ui->positionDelaySpinBox->value();
        if (positionDelayMs != filledPositionDelayMs) {
            for (PositionSensorEntry &sensor : lists.positionSensors) {
                if (sensor.active != 0)
                    sensor.delay = static_cast<float>(positionDelayMs / 1000.0);
            }
        }
    }

    // The recalculation negates the pitch correction, so loaded minus edited
    // pitch makes a pitch edit, like a roll or heading edit, turn the sonar
    // right-handed: a positive edit moves the soundings forward (bow up).
    const float rollCorrection = newRoll - originalAttitude.roll;
    const float pitchCorrection = originalAttitude.pitch - newPitch;
    // The box holds the loaded heading wrapped, so an unedited heading gives 0.
    const float headingCorrection = wrapDegrees(newHeading - originalAttitude.heading);
    const qint32 motionDelayCorrection =
        static_cast<qint32>(static_cast<float>(newDelay) - originalAttitude.delay);
    crossLineData->setAttitudeCorrections(rollCorrection, pitchCorrection, headingCorrection,
                                          motionDelayCorrection);
    crossLineData->setSvpForTx(ui->svpForTxCheckBox->isChecked());
    recalculationRequested = true;

    dataRequests->startJob([this, preview] {
        if (preview)
            emit reqRecalculatedPreviewDepths();
        else
            emit reqRecalculatedDepths();
    });
}

QString CrossLineWidget::installationParametersText() const
{
    if (!crossLineData->isNexra())
        return QString();
    const InstallationLists &lists = *crossLineData->installationLists();

    const struct {
        const char *name;
        Angles angles;
    } groups[] = {
        {"TX1", transducerAngles(lists, 0, 0)},
        {"RX1", transducerAngles(lists, 0, 1)},
        {"TX2", transducerAngles(lists, 1, 0)},
        {"RX2", transducerAngles(lists, 1, 1)},
    };
    QString text;
    for (const auto &group : groups) {
        const QString name = QLatin1String(group.name);
        text += QStringLiteral("INST_PARAM_PU_%1_R=%2,").arg(name).arg(double(group.angles.roll));
        text += QStringLiteral("INST_PARAM_PU_%1_P=%2,").arg(name).arg(double(group.angles.pitch));
        text += QStringLiteral("INST_PARAM_PU_%1_H=%2,").arg(name).arg(double(group.angles.heading));
    }

    AttitudeOffsets attitude;
    getActiveAttitudeOffsets(lists, attitude);
    for (const AttitudeHeadingEntry &heading : lists.attitudeHeadings) {
        if (heading.set == 0)
            continue;
        const QString sensor = QString::number(heading.number);
        text += QStringLiteral("INST_PARAM_PU_ATT%1_DELAY=%2,").arg(sensor).arg(heading.delay / 1000.0);
        text += QStringLiteral("INST_PARAM_PU_ATT%1_R=%2,").arg(sensor).arg(double(attitude.roll));
        text += QStringLiteral("INST_PARAM_PU_ATT%1_P=%2,").arg(sensor).arg(double(attitude.pitch));
        text += QStringLiteral("INST_PARAM_PU_ATT%1_H=%2,").arg(sensor).arg(double(attitude.heading));
        break;
    }
    for (const PositionSensorEntry &position : lists.positionSensors) {
        if (position.active == 0)
            continue;
        text += QStringLiteral("INST_PARAM_PU_POS%1_D=%2")
                    .arg(QString::number(position.number))
                    .arg(double(position.delay));
        break;
    }
    return text;
}
