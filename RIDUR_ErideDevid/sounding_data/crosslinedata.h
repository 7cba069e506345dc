#pragma once
// The data object: raw files named by the caller, the cross line and its
// corridor, the installation lists of the loaded raw files, the soundings kept
// inside the corridor per raw file, and the attitude corrections of the next
// recalculation. Loads and recalculations run in the data thread (queued
// slots); every other operation is a plain call from the GUI thread while the
// data thread is idle. No lock guards the object: each job passes its
// handoff (DataThreadHandoff) on its way there and back.
#include "datathreadhandoff.h"
#include "installationlists.h"
#include "soundingdata.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class CNexraUtils;
class CProjection;
class QFile;

class CrossLineData : public QObject
{
    Q_OBJECT

public:
    // Size of the depth reader's buffer: the largest "#MRZ" datagram read.
    static constexpr quint32 depthBufferSize = 16777184;
    // Size of the installation reader's buffer: the largest "#IIP" datagram read.
    static constexpr quint32 installationBufferSize = 366456;

    CrossLineData();
    ~CrossLineData() override;

    // Raw files.
    void addRawFile(const QString &path);
    QStringList rawFiles() const;
    QStringList getRawFiles() const;
    void clearData();
    QStringList loadedRawFiles() const;
    bool isNexra() const;

    // The point every job passes between the GUI thread and the data thread.
    DataThreadHandoff &handoff();

    InstallationLists *installationLists();
    QList<SoundingData> &corridorDepths(const QString &path);
    // The corridor list of a raw file as the last load built it; a
    // recalculation leaves it as it is.
    QList<SoundingData> loadedCorridorDepths(const QString &path) const;

    void setSurvey(const QString &name);
    void setProjectionFile(const QString &path);
    void setSvpForTx(bool value);
    void setResetState(qint32 value);
    void resetNexraInst();
    void resetPUData();

    // Cross line and corridor (projected centimetres, width in metres).
    void setCrossLine(qint32 sx, qint32 sy, qint32 ex, qint32 ey);
    void setCorridorWidth(float width);

    // Corridor lists, built in the GUI thread after a load.
    void loadCorridorData();
    void getCorridorVLDepths(const QString &path);
    double lineStartValue(const QString &path) const;
    // Sets distanceX and distanceY (metres) from the record's projected position:
    // its distances to the corridor's start edge P0-P1 and side edge P0-P3.
    void setCorridorDistances(SoundingData &record) const;

    // Recalculation.
    void setAttitudeCorrections(float roll, float pitch, float heading, qint32 motionDelay);
    void recalculateTQ(bool preview);
    void recalculateFileDepths(const QString &path, bool preview);
    void recalculateSounding(SoundingData &record, double roll, double pitch, double heading);

    // Load road (data thread).
    // Loads and recalculations end early, their lists left part-filled, once
    // the thread that runs them is asked to stop (QThread::requestInterruption),
    // as the window does when the program ends.
    static bool stopRequested();
    void loadRegionData();
    void getSurveyLineRegionData(const QString &path);
    // Reads up to and including the first "#IIP" datagram of the open file.
    void getNexraInstallationDatagram(QFile &file);
    // Reads the "#MRZ" datagrams from the file's position on.
    void getRegionVLData(const QString &path, QFile &file);

signals:
    void regionDataReady();
    void sigRecalcDone(bool preview);

public slots:
    void generateRegionData();
    void recalculatedDepths();
    void recalculatedPreviewDepths();

private:
    friend struct CrossLineDataInspector; // tests

    DataThreadHandoff jobHandoff;
    CProjection *projection = nullptr;
    QString survey;
    QString projectionFile;
    qint32 crossLine[4] = {0, 0, 0, 0};
    qint32 regionCorners[4] = {0, 0, 0, 0};
    qint32 corridorCorners[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    QStringList workingRawFiles;
    QStringList rawFileNames;
    // The entries of rawFileNames, for the duplicate check.
    QSet<QString> rawFileSet;
    QHash<QString, QList<SoundingData>> regionSoundings;
    QHash<QString, QList<SoundingData>> corridorSoundings;
    QHash<QString, QList<SoundingData>> loadedCorridorSoundings;
    bool resetFlag = true;
    bool svpForTx = false;
    qint32 resetValue = 0;
    bool nexraFile = false;
    InstallationLists installation;
    float rollCorrection = 0.0f;
    float pitchCorrection = 0.0f;
    float headingCorrection = 0.0f;
    qint32 motionDelayCorrection = 0;

public:
    // Receiver transducers of the last depth datagram read; the window reads
    // it after a load.
    qint32 rxHeadCount = 1;

private:
    std::unique_ptr<quint8[]> readBuffer;
    bool invertEllipsoidDepth = false;
    // The "#MRZ" block locators, taken when the object is made (GUI thread).
    // The object's own reference keeps them alive for the data thread
    // whatever releases the process-wide one, as exit() does.
    std::shared_ptr<const CNexraUtils> nexraUtils;
};
