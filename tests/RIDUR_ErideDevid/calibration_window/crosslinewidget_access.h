#pragma once
// Test access to the window's private members; the one friend of the class
// for tests and benchmarks. Extend it here rather than defining another.
#include "crosslinewidget.h"

#include "ui_calibrationwidget.h"

#include <QColor>
#include <QLabel>
#include <QListWidget>
#include <QThread>

struct CrossLineWidgetInspector {
    static Ui::CalibrationWidget *ui(CrossLineWidget &w) { return w.ui; }
    static bool ctrlHeld(const CrossLineWidget &w) { return w.ctrlHeld; }
    static QWebSocket *&clientSocket(CrossLineWidget &w) { return w.clientSocket; }
    static CrossLineData *crossLineData(CrossLineWidget &w) { return w.crossLineData; }
    static QThread *dataThread(CrossLineWidget &w) { return w.dataThread; }
    static QLabel *clockLabel(CrossLineWidget &w) { return w.clockLabel; }
    static CHVXQA_Tasks_Progress *tasksProgress(CrossLineWidget &w) { return w.tasksProgress; }
    static bool interactiveEditMode(const CrossLineWidget &w) { return w.interactiveEditMode; }
    static bool loading(const CrossLineWidget &w) { return w.loading; }
    static qint32 viewMode(const CrossLineWidget &w) { return w.viewMode; }
    static QFile &styleSheetFile(CrossLineWidget &w) { return w.styleSheetFile; }
    // Chart.
    static QtCharts::QChart *chart(CrossLineWidget &w) { return w.chart; }
    static QtCharts::QChartView *chartView(CrossLineWidget &w) { return w.chartView; }
    static QtCharts::QValueAxis *axisX(CrossLineWidget &w) { return w.axisX; }
    static QtCharts::QValueAxis *axisY(CrossLineWidget &w) { return w.axisY; }
    static double minX(const CrossLineWidget &w) { return w.minX; }
    static double maxX(const CrossLineWidget &w) { return w.maxX; }
    static double minY(const CrossLineWidget &w) { return w.minY; }
    static double maxY(const CrossLineWidget &w) { return w.maxY; }
    static bool &chartReady(CrossLineWidget &w) { return w.chartReady; }
    static bool &loadingFlag(CrossLineWidget &w) { return w.loading; }
    static bool &ctrlHeldFlag(CrossLineWidget &w) { return w.ctrlHeld; }
    static DisplayData &displayData(CrossLineWidget &w) { return w.displayData; }
    static const SoundingData &lastClickedSounding(const CrossLineWidget &w) { return w.lastClickedSounding; }
    static SoundingData &lastClickedSounding(CrossLineWidget &w) { return w.lastClickedSounding; }
    static void createChartUI(CrossLineWidget &w, int xRow, int yRow, bool forceRange,
                              bool redrawOriginal, bool originalOnly)
    {
        w.createChartUI(CrossLineWidget::displayTypes[xRow], CrossLineWidget::displayTypes[yRow],
                        forceRange, redrawOriginal, originalOnly);
    }
    // As the window's destructor releases the chart.
    static void releaseChart(CrossLineWidget &w) { w.releaseChart(); }
    static void addSeriesPoints(CrossLineWidget &w, const QString &lineName,
                                QVector<QVector<QPointF>> &pointLists, QStringList &seriesNames,
                                const QList<FloatPoint> &points)
    {
        w.addSeriesPoints(lineName, pointLists, seriesNames, points);
    }
    // Load and recalculation control, installation controls.
    static bool recalculationRequested(const CrossLineWidget &w) { return w.recalculationRequested; }
    static bool chartReady(const CrossLineWidget &w) { return w.chartReady; }
    static void previewRect(const CrossLineWidget &w, qint32 out[4])
    {
        out[0] = w.previewRect.topX;
        out[1] = w.previewRect.topY;
        out[2] = w.previewRect.bottomX;
        out[3] = w.previewRect.bottomY;
    }
    static void setPreviewRectZero(CrossLineWidget &w) { w.previewRect = {}; }
    static void crossLine(const CrossLineWidget &w, qint32 out[4])
    {
        out[0] = w.crossLine.sx;
        out[1] = w.crossLine.sy;
        out[2] = w.crossLine.ex;
        out[3] = w.crossLine.ey;
    }
    static QString installationParametersText(const CrossLineWidget &w) { return w.installationParametersText(); }
    static void originalAttitude(const CrossLineWidget &w, float out[4])
    {
        out[0] = w.originalAttitude.roll;
        out[1] = w.originalAttitude.pitch;
        out[2] = w.originalAttitude.delay;
        out[3] = w.originalAttitude.heading;
    }
    static QList<QDoubleSpinBox *> offsetSpinBoxes(const CrossLineWidget &w) { return w.offsetSpinBoxes(); }
    // The interactive edit mode last applied, for the whole process.
    static bool &lastInteractiveEditMode() { return CrossLineWidget::lastInteractiveEditMode; }
};
