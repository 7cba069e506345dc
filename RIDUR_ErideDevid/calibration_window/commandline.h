#pragma once
// The program's command-line options.
#include <QString>
#include <QStringList>

struct CommandLineOptions {
    QString projection; // empty: the window's default definition file
    QString survey;
    // Cross line and preview rectangle, projected centimetres.
    qint32 sx = 0;
    qint32 sy = 0;
    qint32 ex = 0;
    qint32 ey = 0;
    qint32 previewTopX = 0;
    qint32 previewTopY = 0;
    qint32 previewBottomX = 0;
    qint32 previewBottomY = 0;
    int viewMode = 0; // 0 POSTPROCESSING, 1 REALTIME

    // Main hands the cross line to the window only when the start point is
    // positive in both coordinates.
    bool hasCrossLine() const { return sx > 0 && sy > 0; }
};

// Reads the options from every argument, the program's path included. The
// first prefix an argument begins with takes it; a later argument with the
// same prefix wins; arguments matching no prefix are ignored. Integer values
// that are not base-10 32-bit numbers read as 0.
CommandLineOptions parseCommandLine(const QStringList &arguments);

// Logs the options at DEBUG through "Rerozadoz": "run with projection %1,
// survey %2, sx %3, sy %4, ex %5, ey %6", the texts escaped.
void logCommandLine(const CommandLineOptions &options);
