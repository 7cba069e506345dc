#include "installationlists.h"

#include <QStringList>

#include <cmath>
#include <limits>

namespace {

const quint16 transducerModel = 9117;

// Numbers in the C locale; an empty or malformed value gives 0, and so does
// one that is not finite ("nan", "inf"), so that it never reaches a
// recalculation.
double toNumber(const QString &value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok && std::isfinite(number) ? number : 0.0;
}

// A number for a single-precision field: beyond the float range it gives 0.
float toFloatNumber(const QString &value)
{
    const double number = toNumber(value);
    return std::fabs(number) <= double(std::numeric_limits<float>::max()) ? static_cast<float>(number)
                                                                          : 0.0f;
}

// A number truncated toward zero, held inside the int32 range.
qint32 toTruncatedInt(const QString &value)
{
    const double number = std::trunc(toNumber(value));
    if (std::isnan(number))
        return 0;
    if (number <= std::numeric_limits<qint32>::min())
        return std::numeric_limits<qint32>::min();
    if (number >= std::numeric_limits<qint32>::max())
        return std::numeric_limits<qint32>::max();
    return static_cast<qint32>(number);
}

// Second "_"-separated field of the group name: POSI_2:X=1 gives 2.
qint32 sensorNumber(const QString &group)
{
    const QString firstItem = group.section(QLatin1Char(';'), 0, 0);
    const QString name = firstItem.section(QLatin1Char(':'), 0, 0);
    const QStringList fields = name.split(QLatin1Char('_'));
    if (fields.size() < 2)
        return 0;
    bool ok = false;
    const int number = fields.at(1).toInt(&ok, 10);
    return ok ? number : 0;
}

// "Off" gives 0, "On" gives 1; anything else leaves the flag as it was.
void readOnOff(const QString &value, quint16 &flag)
{
    if (value == QLatin1String("Off"))
        flag = 0;
    else if (value == QLatin1String("On"))
        flag = 1;
}

} // namespace

QMap<QString, QString> parseKeyValues(const QString &group)
{
    QMap<QString, QString> items;
    const QStringList parts = group.split(QLatin1Char(';'));
    for (const QString &item : parts) {
        const int equals = item.indexOf(QLatin1Char('='));
        QString key = equals < 0 ? item : item.left(equals);
        const QString value = equals < 0 ? QString() : item.mid(equals + 1);
        if (key.contains(QLatin1Char(':')))
            key = key.section(QLatin1Char(':'), 1, 1);
        items.insert(key, value);
    }
    return items;
}

bool parseTransducer(bool isRx, const QString &group, TransducerEntry &entry)
{
    if (group.size() < 8)
        return false;
    const QChar number = group.at(7);
    qint32 index;
    if (number == QLatin1Char('1'))
        index = 0;
    else if (number == QLatin1Char('2'))
        index = 1;
    else
        return false;

    entry.index = index;
    entry.model = transducerModel;
    entry.angleModel = transducerModel;
    entry.isRx = isRx ? 1 : 0;
    entry.angleIsRx = entry.isRx;
    entry.reserved1 = 0;

    const QMap<QString, QString> items = parseKeyValues(group);
    entry.z = toNumber(items.value(QStringLiteral("Z")));
    entry.x = toNumber(items.value(QStringLiteral("X")));
    entry.y = toNumber(items.value(QStringLiteral("Y")));
    entry.roll = toFloatNumber(items.value(QStringLiteral("R")));
    entry.pitch = toFloatNumber(items.value(QStringLiteral("P")));
    entry.heading = toFloatNumber(items.value(QStringLiteral("H")));
    return true;
}

bool parsePositionSensor(const QString &group, PositionSensorEntry &entry)
{
    entry.number = sensorNumber(group);
    const QMap<QString, QString> items = parseKeyValues(group);

    const auto state = items.constFind(QStringLiteral("U"));
    if (state == items.constEnd()) {
        entry.active = 1;
    } else if (*state == QLatin1String("NOT_SET")) {
        entry.active = 0;
        return true;
    } else {
        entry.active = *state == QLatin1String("ACTIVE") ? 1 : 0;
    }

    entry.z = toNumber(items.value(QStringLiteral("Z")));
    entry.x = toNumber(items.value(QStringLiteral("X")));
    entry.y = toNumber(items.value(QStringLiteral("Y")));
    entry.delay = toFloatNumber(items.value(QStringLiteral("D")));

    const QString tCode = items.value(QStringLiteral("T"));
    if (tCode == QLatin1String("PU"))
        entry.tCode = 0;
    else if (tCode == QLatin1String("POS"))
        entry.tCode = 1;
    readOnOff(items.value(QStringLiteral("C")), entry.cFlag);
    readOnOff(items.value(QStringLiteral("Q")), entry.qFlag);
    return true;
}

bool parseAttitudeSensor(const QString &group, AttitudeSensorEntry &sensor,
                         AttitudeDelayEntry &delay, AttitudeHeadingEntry &heading)
{
    const qint32 number = sensorNumber(group);
    sensor.number = number;
    delay.number = number;
    heading.number = number;
    const QMap<QString, QString> items = parseKeyValues(group);

    const auto state = items.constFind(QStringLiteral("U"));
    if (state == items.constEnd()) {
        sensor.active = 1;
        delay.active = 1;
        heading.set = 1;
    } else if (*state == QLatin1String("NOT_SET")) {
        sensor.active = 0;
        delay.active = 0;
        heading.set = 0;
        return true;
    } else {
        const quint8 active = state->contains(QLatin1String("ACTIVE")) ? 1 : 0;
        sensor.active = active;
        delay.active = active;
        heading.set = 1;
    }

    sensor.x = delay.x = toNumber(items.value(QStringLiteral("X")));
    sensor.y = delay.y = toNumber(items.value(QStringLiteral("Y")));
    sensor.z = delay.z = toNumber(items.value(QStringLiteral("Z")));
    sensor.roll = toFloatNumber(items.value(QStringLiteral("R")));
    sensor.pitch = toFloatNumber(items.value(QStringLiteral("P")));
    heading.heading = toFloatNumber(items.value(QStringLiteral("H")));

    const qint32 delayMs = toTruncatedInt(items.value(QStringLiteral("D")));
    sensor.delay = delayMs;
    delay.delay = delayMs;
    heading.delay = delayMs;

    sensor.modeFlag = items.value(QStringLiteral("M")) == QLatin1String("HO") ? 0 : 1;
    return true;
}

bool parseInstallationText(const QString &text, InstallationLists &lists)
{
    bool result = true;
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString &part : parts) {
        const QString group = part.trimmed();
        if (group.startsWith(QLatin1String("TRAI_"))) {
            const bool tx = group.startsWith(QLatin1String("TRAI_TX"));
            const bool rx = group.startsWith(QLatin1String("TRAI_RX"));
            const bool both = group.startsWith(QLatin1String("TRAI_HD"));
            QList<bool> sides;
            if (tx || both)
                sides << false;
            if (rx || both)
                sides << true;
            for (bool isRx : sides) {
                TransducerEntry entry;
                if (parseTransducer(isRx, group, entry))
                    lists.transducers.append(entry);
                else
                    result = false;
            }
        } else if (group.startsWith(QLatin1String("POSI_"))) {
            PositionSensorEntry sensor;
            parsePositionSensor(group, sensor);
            if (sensor.active == 1)
                lists.positionSensors.append(sensor);
        } else if (group.startsWith(QLatin1String("ATTI_"))) {
            AttitudeSensorEntry sensor;
            AttitudeDelayEntry delay;
            AttitudeHeadingEntry heading;
            parseAttitudeSensor(group, sensor, delay, heading);
            if (sensor.active == 1)
                lists.attitudeSensors.append(sensor);
            if (delay.active == 1)
                lists.attitudeDelays.append(delay);
            if (heading.set == 1)
                lists.attitudeHeadings.append(heading);
        }
    }
    return result;
}
