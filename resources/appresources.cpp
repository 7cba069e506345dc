#include "appresources.h"

#include <QFile>

// Q_INIT_RESOURCE must stand outside any namespace.
static void initAppResources()
{
    Q_INIT_RESOURCE(app_resources);
    Q_INIT_RESOURCE(app_fonts);
}

void registerAppResources()
{
    initAppResources();
}

QString defaultLogFilePath()
{
    return QStringLiteral("c:/TEMP/DAV5Edade.log4");
}

QByteArray defaultLogConfiguration(const QString &logFilePath)
{
    QFile file(QStringLiteral(":/log4cplus_configureCalib.ini"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray text = file.readAll();
    const QByteArray key = "log4cplus.appender.MyFileAppender.File=";
    const int start = text.indexOf(key);
    if (start < 0)
        return text;
    const int valueStart = start + key.size();
    int valueEnd = text.indexOf('\r', valueStart);
    if (valueEnd < 0)
        valueEnd = text.indexOf('\n', valueStart);
    if (valueEnd < 0)
        valueEnd = text.size();
    text.replace(valueStart, valueEnd - valueStart, logFilePath.toUtf8());
    return text;
}
