#pragma once
// Installation lists parsed from the installation text of a raw file: the
// transducers, position sensors and attitude sensors with their offsets,
// angles, delays and states.
#include <QList>
#include <QMap>
#include <QString>
#include <QtGlobal>

// One side (transmit or receive) of one transducer.
struct TransducerEntry {
    qint32 index = 0;       // 0 for transducer 1, 1 for transducer 2
    double z = 0.0;
    double x = 0.0;
    double y = 0.0;
    quint16 model = 0;      // transducer model code, 9117
    quint8 isRx = 0;        // 0 transmit side, 1 receive side
    quint8 reserved1 = 0;
    float roll = 0.0f;      // degrees
    float pitch = 0.0f;     // degrees
    float heading = 0.0f;   // degrees
    qint32 reserved2 = 0;
    quint16 angleModel = 0; // the model code again
    quint8 angleIsRx = 0;   // the side again
};

struct PositionSensorEntry {
    quint8 active = 0;
    qint32 number = 0;
    double z = 0.0;
    double x = 0.0;
    double y = 0.0;
    float delay = 0.0f;     // seconds
    qint32 tCode = 0;       // "PU" 0, "POS" 1
    quint16 cFlag = 0;      // "Off" 0, "On" 1
    quint16 qFlag = 0;      // "Off" 0, "On" 1
};

struct AttitudeSensorEntry {
    quint8 active = 0;
    qint32 number = 0;
    double z = 0.0;
    double x = 0.0;
    double y = 0.0;
    float roll = 0.0f;      // degrees
    float pitch = 0.0f;     // degrees
    qint32 modeFlag = 0;    // 0 when "M" is "HO", else 1
    float factor = 0.0f;
    qint32 delay = 0;       // milliseconds
};

struct AttitudeDelayEntry {
    quint8 active = 0;
    qint32 number = 0;
    double z = 0.0;
    double x = 0.0;
    double y = 0.0;
    qint32 delay = 0;
};

struct AttitudeHeadingEntry {
    quint8 set = 0;
    qint32 number = 0;
    float heading = 0.0f;   // degrees
    qint32 delay = 0;
};

Q_DECLARE_TYPEINFO(TransducerEntry, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(PositionSensorEntry, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(AttitudeSensorEntry, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(AttitudeDelayEntry, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(AttitudeHeadingEntry, Q_PRIMITIVE_TYPE);

// The five lists of one installation; a plain value type (implicitly shared
// lists, copied member by member).
struct InstallationLists {
    QList<TransducerEntry> transducers;
    QList<PositionSensorEntry> positionSensors;
    QList<AttitudeSensorEntry> attitudeSensors;
    QList<AttitudeDelayEntry> attitudeDelays;
    QList<AttitudeHeadingEntry> attitudeHeadings;
};

// Appends the records of the installation text to the lists. False when at
// least one transducer group is bad (its number is not 1 or 2); such a group
// adds no record, and the groups after it are parsed all the same.
bool parseInstallationText(const QString &text, InstallationLists &lists);

// The "key=value" items of one ";"-separated group; a key with a ":" is
// reduced to its part after the first ":" (TRAI_TX1:X gives X).
QMap<QString, QString> parseKeyValues(const QString &group);

// Fills one transducer record from a "TRAI_TX", "TRAI_RX" or "TRAI_HD"
// group; false, with the record unchanged, for a bad transducer group.
bool parseTransducer(bool isRx, const QString &group, TransducerEntry &entry);

// Fills one position-sensor record and its active flag; always true.
bool parsePositionSensor(const QString &group, PositionSensorEntry &entry);

// Fills the three records of one attitude group and their flags; always true.
bool parseAttitudeSensor(const QString &group, AttitudeSensorEntry &sensor,
                         AttitudeDelayEntry &delay, AttitudeHeadingEntry &heading);
