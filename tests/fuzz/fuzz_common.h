#pragma once
// Quiet set-up shared by the fuzz targets: no Qt debug output, log4cplus
// records formatted but dropped, a private program-data folder.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QString>

#include <log4cplus/logger.h>
#include <log4cplus/nullappender.h>

#include <cstdlib>

namespace fuzz {

inline void discardMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

// Scratch folder of this process, in the temporary folder (under ctest the
// test run's scratch folder, which also takes what a crashed run leaves).
inline QString scratchFolder()
{
    // Never destroyed, so that the exit handler below can still read it.
    static const QString *folder = [] {
        const QString base = QDir::tempPath();
        auto *path = new QString(
            QStringLiteral("%1/ridur_fuzz_%2").arg(base).arg(QCoreApplication::applicationPid()));
        QDir().mkpath(*path);
        std::atexit([] { QDir(scratchFolder()).removeRecursively(); });
        return path;
    }();
    return *folder;
}

inline void initialise()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    qInstallMessageHandler(discardMessages);
    log4cplus::initialize();
    log4cplus::SharedAppenderPtr sink(new log4cplus::NullAppender);
    log4cplus::Logger::getRoot().addAppender(sink);
    log4cplus::Logger::getRoot().setLogLevel(log4cplus::DEBUG_LOG_LEVEL);
    const QByteArray programData = (scratchFolder() + QStringLiteral("/ProgramData")).toUtf8();
    QDir().mkpath(QString::fromUtf8(programData));
    setenv("ProgramData", programData.constData(), 1);
}

} // namespace fuzz
