#pragma once
// The calibration window: form, menus, title bar with UTC clock, sounding
// chart, installation controls, task progress object and the caller's
// WebSocket link. It owns the data thread in which CrossLineData runs and
// talks to it through five cross-thread signals.
#include "datarequestqueue.h"
#include "displaydata.h"
#include "soundingdata.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointF>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

class CHVXQA_Tasks_Progress;
class CProjection;
class CrossLineData;
class HVXQAWebSocketServer;
class QCloseEvent;
class QDoubleSpinBox;
class QEvent;
class QLabel;
class QListWidgetItem;
class QShowEvent;
class QThread;
class QWebSocket;
struct InstallationLists;

namespace QtCharts {
class QAbstractSeries;
class QChart;
class QChartView;
class QValueAxis;
class QXYSeries;
}

namespace Ui {
class CalibrationWidget;
}

class CrossLineWidget : public QMainWindow
{
    Q_OBJECT

public:
    // View modes: the constructor's argument.
    enum ViewMode { POSTPROCESSING = 0, REALTIME = 1 };

    // One row of the display-type table: what a chart axis shows.
    struct DisplayTypeData {
        qint32 id;
        qint32 scale; // read by nothing
        const char *title;
    };
    // Rows 0 to 13 match the items of both display-type combo boxes; row 14
    // (ellipsoid-referenced depth) is the Y type while checkEllips is checked.
    static const DisplayTypeData displayTypes[15];

    // The attitude values of an installation.
    struct AttitudeOffsets {
        float roll = 0.0f;
        float pitch = 0.0f;
        float heading = 0.0f;
        qint32 delay = 0;
    };

    explicit CrossLineWidget(int viewMode);
    ~CrossLineWidget() override;

    // Asks a running load or recalculation to stop, ends the data thread's
    // event loop and waits for the thread. A thread still busy after waitMs
    // is left running: the listener is closed, a WARN logged, and false
    // returned, then and on every later call.
    static constexpr unsigned long dataThreadStopWaitMs = 5000;
    bool stopDataThread(unsigned long waitMs = dataThreadStopWaitMs);

    // Installed on the chart view: tracks Ctrl; never consumes the event.
    bool eventFilter(QObject *watched, QEvent *event) override;

    // ---- Load and recalculation: setters used by main and the caller ----
    void setCrossLineCoordinates(qint32 sx, qint32 sy, qint32 ex, qint32 ey);
    void setPreviewCoodinates(qint32 topX, qint32 topY, qint32 bottomX, qint32 bottomY);
    void setProjectionFile(const QString &path);
    void setSurvey(const QString &survey);

    // ---- Platform paths ----
    // The suite's program-data folder, ending with a separator.
    static QString programDataFolder();
    // "gui.ini" in the program-data folder.
    static QString guiIniPath();

signals:
    void requestRegionData();
    void reqRecalculatedDepths();
    void reqRecalculatedPreviewDepths();

public slots:
    void regionDataReady();
    void recalcDone(bool preview);
    void loadData();
    void loadCustomSvp();
    void onChgCorrWidth();
    void recalculate(bool allData);
    void recalculate();
    void recalculatePreviewArea();
    void previewArea();
    void updateViewData();
    void moveCorridor();
    void zoomOut();
    void show();
    void lineStateChanged(QListWidgetItem *item);
    void showCorridorLine(bool visible);
    void showCorridorArea(bool visible);
    void showDepthsBorder(bool visible);
    void showPreviewArea(bool visible);
    void setInteractiveEditMode(bool on);
    void saveRuleFile();
    void sendParametersToCaller();
    void updateHorizontalSeriesRange();
    void updateVerticalSeriesRange();
    void clickedOnSeries(QPointF point);
    void resetInstallation();
    void updateDisplayGraphs(bool update);
    void updateDisplayGraphPointsSize(int newSize);
    void webSocketConnection(QWebSocket *socket);
    void processWebSocketMessage(QString text);
    void webSocketDisconnected();

protected:
    // Hides the progress windows and tells the caller; stays accepted.
    void closeEvent(QCloseEvent *event) override;
    // On the first show the left column gets its minimum width and the
    // chart the rest.
    void showEvent(QShowEvent *event) override;

private:
    friend struct CrossLineWidgetInspector; // tests

    // ---- Construction (crosslinewidget.cpp) ----
    void initWidgets();
    void createMenus();
    void restoreViewSettings();
    void updateClock();

    // ---- Chart (crosslinewidget_chart.cpp) ----
    // uncheckedNames: the legend's restore of a recalculation's answer,
    // applied as the lines are drawn (restoreLegend), so that a line it
    // hides joins the chart hidden.
    void createChartUI(const DisplayTypeData &x, const DisplayTypeData &y, bool forceRange,
                       bool redrawOriginal, bool originalOnly,
                       const QSet<QString> &uncheckedNames = {});
    void addSeriesPoints(const QString &lineName, QVector<QVector<QPointF>> &pointLists,
                         QStringList &seriesNames, const QList<FloatPoint> &points);
    // One series per line of pointLists, named by names, after the chart's
    // kept series: the replaced series (those after the kept ones) refilled
    // in order where they are of the display mode's kind, the others removed,
    // new series for the rest. Every line gets a legend item, checked unless
    // its name is in uncheckedNames; the first series of such a name is
    // hidden.
    void drawSeries(const QVector<QVector<QPointF>> &pointLists, const QStringList &names,
                    QList<QtCharts::QXYSeries *> replaced, const QSet<QString> &uncheckedNames);
    // A new, empty chart in the view, in the chart's look; the old one is
    // released. Kept axes are made anew over the same ranges and titles.
    void replaceChart(bool keepAxes);
    // Deletes the chart with its series and axes, at a cost linear in the
    // series; chart and axes become null.
    void releaseChart();
    // The chart's look, given by every path that makes or changes the chart
    // or its axes: the library's theme with slim margins and a square
    // background, which leave the X labels room at the window's first size;
    // the axes' labels in the view's font, which the style sheets set, and
    // their titles in bold; the rectangle rubber band unless Ctrl is held.
    void applyChartLook();
    // Fills seriesByName from the chart's series.
    void indexSeriesNames();
    // The work of updateViewData and updateDisplayGraphs, run while the data
    // thread is idle (runWhenDataIdle).
    void rebuildViewData(bool headChanged, int headIndex);
    void rebuildDisplayGraphs();
    // Rows of the current X and Y types (row 14 for Y while checkEllips is checked).
    const DisplayTypeData &currentXDisplayType() const;
    const DisplayTypeData &currentYDisplayType() const;
    // The chart's name for a line key of DisplayData.
    QString seriesName(const QString &lineName) const;

    // ---- Chart interaction (crosslinewidget_chart.cpp) ----
    // The line suffix of DisplayData for a series name.
    static QString lineSuffix(const QString &seriesName);

    // ---- Installation controls (crosslinewidget_installation.cpp) ----
    void updateInstallationControls();
    void applyInstallationEdits(bool preview);
    QString installationParametersText() const;
    static void getActiveAttitudeOffsets(const InstallationLists &lists, AttitudeOffsets &offsets);
    // An offset box's value read back from its text ("," as ".", C locale).
    static float spinBoxAngle(const QDoubleSpinBox *box);
    // positionDelaySpinBox as the last fill set it (milliseconds); the
    // sensors' delays are written back only when the box differs from it.
    int filledPositionDelayMs = 0;

    // ---- Load and recalculation (crosslinewidget_load.cpp) ----
    // The 18 offset spin boxes: tx1R ... rx2H, att1R ... att2H.
    QList<QDoubleSpinBox *> offsetSpinBoxes() const;
    void connectInstallationControls();
    void disconnectInstallationControls();
    // The UDP sentence "$DOVED,CORR_WIDTH,%1," to 127.0.0.1 on
    // corridorWidthPort() (25035).
    static void sendCorridorWidthSentence(double width);

public:
    // True from a load or recalculation request until its answer has been
    // handled, and while a request is being carried out (boxes it shows
    // included): requests made meanwhile wait.
    bool dataThreadBusy() const;
    // Runs the request at once when the data thread is idle, otherwise
    // queues it to run, in order, after the running job's answer has been
    // handled. A setting tells what it changes of what a load reads.
    void runWhenDataIdle(std::function<void()> request,
                         DataRequestQueue::Kind kind = DataRequestQueue::Other,
                         DataRequestQueue::SettingEffect effect = {});
    // The program's ports: the caller's WebSocket listener (TCP) and the
    // corridor-width sentence (UDP, to the local host).
    static constexpr quint16 programCallerPort = 11225;
    static constexpr quint16 programCorridorWidthPort = 25035;
    // The ports in use in this process. Tests move them: the listener of
    // each window built afterwards (0 takes any free port), and each
    // sentence sent afterwards.
    static void setCallerPort(quint16 port);
    static quint16 corridorWidthPort();
    static void setCorridorWidthPort(quint16 port);

private:
    // Requests held back while the data thread works; a child object.
    DataRequestQueue *dataRequests = nullptr;
    // The bodies of the request slots, run through the request queue.
    void startLoad();
    // A load for a new cross line: only when raw files are named (no record
    // when none are).
    void loadDataForCrossLine();
    void startRecalculation(bool allData);
    void resetInstallationNow();
    void finishDataJob();
    bool waitCursorPushed = false;
    // Whether the offset boxes ask for recalculations now.
    bool installationControlsConnected = false;
    // The offset boxes' values (offsetSpinBoxes order) the last recalculation
    // request applied.
    QList<float> appliedOffsets;
    // After a recalculation answer: one more request when a box was edited
    // while the boxes were disconnected.
    void recalculateIfEditedMeanwhile();
    // The chart of a recalculation's answer: unless preview, the recalculated
    // lines drawn beside the kept lines as loaded; then the legend restored.
    void showRecalculation(bool preview);
    // The texts whose checked legend items a recalculation's answer
    // unchecks: those saved in lineCheckStates as unchecked, and those of
    // lines as loaded. The lines as the user had them, the lines as loaded
    // hidden.
    QSet<QString> namesUncheckedByRestore() const;
    // Unchecks the checked legend items of these texts and hides the first
    // series of each; the legend does not act on each item meanwhile.
    void restoreLegend(const QSet<QString> &uncheckedNames);

    // ---- Caller (crosslinewidget_caller.cpp) ----
    // The caller's WebSocket listener; a child.
    HVXQAWebSocketServer *webSocketServer = nullptr;
    // Brings the window titled "Calibration" to the front where the platform can.
    void bringToFront();
    // A caller connection has gone: deleted later, and no current caller.
    void callerDisconnected(QWebSocket *socket);
    // Context of the caller sockets' connections. As a member it goes before
    // the base class deletes the sockets, whose last disconnection must not
    // reach a window being destroyed.
    QObject callerLink;

    // The interactive edit mode last applied, for the whole process.
    static bool lastInteractiveEditMode;
    static quint16 callerPortInUse;
    static quint16 corridorWidthPortInUse;

    struct CrossLine {
        qint32 sx = 0;
        qint32 sy = 0;
        qint32 ex = 0;
        qint32 ey = 0;
    };
    struct PreviewRect {
        qint32 topX = 0;
        qint32 topY = 0;
        qint32 bottomX = 0;
        qint32 bottomY = 0;
    };
    struct AttitudeValues {
        float roll = 0.0f;
        float pitch = 0.0f;
        float delay = 0.0f;
        float heading = 0.0f;
    };

    bool loading = true;
    bool interactiveEditMode = false;
    bool ctrlHeld = false;
    // The splitter has had its first sizes (showEvent).
    bool splitterSized = false;
    CProjection *projection = nullptr;
    QString survey;
    QString projectionFile;
    CrossLine crossLine;
    PreviewRect previewRect;
    double minX = 0.0;
    double maxX = 0.0;
    double minY = 0.0;
    double maxY = 0.0;
    AttitudeValues originalAttitude;
    QtCharts::QChart *chart = nullptr;
    QtCharts::QChartView *chartView = nullptr;
    QtCharts::QValueAxis *axisX = nullptr;
    QtCharts::QValueAxis *axisY = nullptr;
    // The first series of each name in the chart's order: the one a legend
    // item of that text shows or hides.
    QHash<QString, QtCharts::QXYSeries *> seriesByName;
    QWebSocket *clientSocket = nullptr;
    QFile styleSheetFile;
    Ui::CalibrationWidget *ui = nullptr;
    CHVXQA_Tasks_Progress *tasksProgress = nullptr;
    QLabel *clockLabel = nullptr;
    bool chartReady = false;
    QHash<QString, bool> lineCheckStates;
    bool recalculationRequested = false;
    IdleDataPointer crossLineData;
    DisplayData displayData;
    SoundingData lastClickedSounding;
    qint32 viewMode = POSTPROCESSING;
    QThread *dataThread = nullptr;
    // Set when stopDataThread gave up on the thread.
    bool dataThreadLeft = false;
};
