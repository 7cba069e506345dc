#include "platformpaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef RIDUR_PROJ_DATADIR
#define RIDUR_PROJ_DATADIR ""
#endif

QString programDataFolder()
{
    QString base = qEnvironmentVariable("ProgramData");
    if (base.isEmpty())
        base = QDir::toNativeSeparators(
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
#ifdef Q_OS_WIN
    return base + QStringLiteral("\\Quillmere Vadidaro\\qhvx\\");
#else
    const QString folder = base + QStringLiteral("/Quillmere Vadidaro/qhvx/");
    QDir().mkpath(folder);
    return folder;
#endif
}

QString projResourceFolder()
{
    const QString suiteFolder = QDir(programDataFolder()).filePath(QStringLiteral("proj4"));
    if (QFileInfo::exists(QDir(suiteFolder).filePath(QStringLiteral("proj.db"))))
        return QDir::toNativeSeparators(suiteFolder);
    return QDir::toNativeSeparators(QStringLiteral(RIDUR_PROJ_DATADIR));
}

QString platformTempFilePath(const QString &fileName)
{
#ifdef Q_OS_WIN
    return fileName;
#else
    const int cut = qMax(fileName.lastIndexOf(QLatin1Char('/')),
                         fileName.lastIndexOf(QLatin1Char('\\')));
    return QDir::tempPath() + QLatin1Char('/') + fileName.mid(cut + 1);
#endif
}
