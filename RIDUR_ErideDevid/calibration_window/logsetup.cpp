#include "logsetup.h"

#include "appresources.h"
#include "logtext.h"
#include "platformpaths.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <log4cplus/configurator.h>
#include <log4cplus/hierarchy.h>
#include <log4cplus/logger.h>
#include <log4cplus/nullappender.h>
#include <log4cplus/streams.h>

#include <cctype>
#include <exception>
#include <sstream>

namespace {

const qint64 maxConfigurationBytes = 1024 * 1024;
const int maxIncludeDepth = 8;

QString fromTString(const log4cplus::tstring &text)
{
#ifdef UNICODE
    return QString::fromStdWString(text);
#else
    return QString::fromStdString(text);
#endif
}

// The bytes of a configuration as log4cplus reads them from a file.
log4cplus::tstring configurationText(const QByteArray &bytes)
{
#ifdef UNICODE
    return QString::fromUtf8(bytes).toStdWString();
#else
    return bytes.toStdString();
#endif
}

bool nothingAt(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() && !info.isSymLink();
}

// Whether log4cplus may open a log file there: nothing at the path, not even
// a link, or a regular file.
bool takesALogFile(const QString &path)
{
    const QFileInfo info(path);
    return !info.isSymLink() && (!info.exists() || info.isFile());
}

// The name of the file that a line includes, as log4cplus finds it: the
// trimmed line begins with "include" and white space.
bool includedFile(const QByteArray &line, QString *name)
{
    const QByteArray trimmed = line.trimmed();
    if (!trimmed.startsWith("include") || trimmed.size() <= 7 || !std::isspace(uchar(trimmed.at(7))))
        return false;
    *name = QFile::decodeName(trimmed.mid(8).trimmed());
    return true;
}

// Appends the configuration at the path to text, each "include" line
// replaced by the file it names, read by the same rules. budget: the bytes
// that may still be read.
bool readConfiguration(const QString &path, int depth, QByteArray *text, qint64 *budget,
                       QString *problem)
{
    QFile file(path);
    if (!openRegularFile(file)) {
        *problem = QStringLiteral("%1 is not a regular file").arg(path);
        return false;
    }
    const QByteArray bytes = file.read(*budget + 1);
    if (bytes.size() > *budget) {
        *problem = QStringLiteral("%1 makes the configuration larger than %2 bytes")
                       .arg(path, QString::number(maxConfigurationBytes));
        return false;
    }
    *budget -= bytes.size();
    for (const QByteArray &line : bytes.split('\n')) {
        QString included;
        if (!includedFile(line, &included)) {
            text->append(line).append('\n');
            continue;
        }
        if (depth == maxIncludeDepth) {
            *problem = QStringLiteral("%1 includes files more than %2 deep")
                           .arg(path, QString::number(maxIncludeDepth));
            return false;
        }
        if (!readConfiguration(included, depth + 1, text, budget, problem))
            return false;
    }
    return true;
}

// The log files of the file appenders, as log4cplus expands their names.
QStringList logFiles(const log4cplus::helpers::Properties &properties)
{
    const log4cplus::tstring prefix = LOG4CPLUS_TEXT("appender.");
    const log4cplus::tstring suffix = LOG4CPLUS_TEXT(".File");
    QStringList files;
    for (const log4cplus::tstring &key : properties.propertyNames()) {
        if (key.size() > prefix.size() + suffix.size() && key.compare(0, prefix.size(), prefix) == 0
            && key.compare(key.size() - suffix.size(), suffix.size(), suffix) == 0)
            files << fromTString(properties.getProperty(key));
    }
    return files;
}

// Holds what log4cplus writes on the standard error stream while it lives.
// For the start-up only, while no other thread writes there.
class DiagnosticsCapture
{
public:
    DiagnosticsCapture() : previous(log4cplus::tcerr.rdbuf(&buffer)) {}
    ~DiagnosticsCapture() { release(); }
    DiagnosticsCapture(const DiagnosticsCapture &) = delete;
    DiagnosticsCapture &operator=(const DiagnosticsCapture &) = delete;

    // The lines written, joined by "; ".
    QString lines() const
    {
        return fromTString(buffer.str()).split(QLatin1Char('\n'), Qt::SkipEmptyParts).join(QLatin1String("; "));
    }

    // Lets the writes go to the standard error stream again, and passes on
    // what has been held back.
    void release()
    {
        if (!previous)
            return;
        log4cplus::tcerr.rdbuf(previous);
        previous = nullptr;
        log4cplus::tcerr << buffer.str() << std::flush;
    }

    // Lets the writes go to the standard error stream again and drops what
    // has been held back.
    void drop()
    {
        if (previous)
            log4cplus::tcerr.rdbuf(previous);
        previous = nullptr;
    }

private:
    std::basic_stringbuf<log4cplus::tchar> buffer;
    std::basic_streambuf<log4cplus::tchar> *previous;
};

// Configures the hierarchy from the text unless log4cplus cannot use it.
bool configure(log4cplus::Hierarchy &hierarchy, const log4cplus::tstring &text, QString *problem)
{
    DiagnosticsCapture diagnostics;
    try {
        log4cplus::tistringstream stream(text);
        log4cplus::PropertyConfigurator configurator(stream, hierarchy, 0);
        for (const QString &file : logFiles(configurator.getProperties())) {
            if (!takesALogFile(file)) {
                *problem = QStringLiteral("its log file %1 is not a regular file").arg(file);
                break;
            }
        }
        if (problem->isEmpty()) {
            configurator.configure();
            if (hierarchy.getRoot().getLogLevel() == log4cplus::NOT_SET_LOG_LEVEL)
                *problem = QStringLiteral("its root logger has no valid level");
        }
    } catch (const std::exception &error) {
        *problem = QStringLiteral("log4cplus failed with it: %1").arg(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        *problem = QStringLiteral("log4cplus failed with it");
    }
    if (problem->isEmpty()) {
        diagnostics.release();
        return true;
    }
    const QString said = diagnostics.lines();
    diagnostics.drop();
    if (!said.isEmpty())
        *problem += QStringLiteral(" (%1)").arg(said);
    return false;
}

// Why the default configuration cannot hold the log file path as it is,
// empty when it can: log4cplus trims values, ends them at a line end and
// expands "${...}", now or in a later environment.
QString defaultConfigurationProblem(const QString &logFilePath)
{
    if (logFilePath.isEmpty())
        return QStringLiteral("no private folder for the log file");
    const QString why = QStringLiteral("the log file %1 cannot be named in a configuration").arg(logFilePath);
    if (logFilePath.contains(QLatin1String("${")))
        return why;
    log4cplus::Hierarchy scratch;
    log4cplus::tistringstream stream(configurationText(defaultLogConfiguration(logFilePath)));
    const log4cplus::PropertyConfigurator configurator(stream, scratch, 0);
    return logFiles(configurator.getProperties()) == QStringList{logFilePath} ? QString() : why;
}

// Sends the records nowhere, without log4cplus's complaint about a logger
// without appenders at the first record.
void logNothing(log4cplus::Hierarchy &hierarchy)
{
    hierarchy.resetConfiguration();
    hierarchy.getRoot().addAppender(log4cplus::SharedAppenderPtr(new log4cplus::NullAppender));
}

} // namespace

QString configureLogging(log4cplus::Hierarchy &hierarchy, const QString &configurationPath,
                         const QString &logFilePath)
{
    const QString notDefault = defaultConfigurationProblem(logFilePath);
    if (nothingAt(configurationPath)) {
        if (!notDefault.isEmpty()) {
            logNothing(hierarchy);
            return escapeControlCharacters(
                QStringLiteral("Logging configuration %1 not written, nothing is logged: %2")
                    .arg(configurationPath, notDefault));
        }
        // A folder that takes no file leaves logging unconfigured.
        QFile file(configurationPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return QString();
        file.write(defaultLogConfiguration(logFilePath));
        file.close();
    }

    QString problem;
    QByteArray text;
    qint64 budget = maxConfigurationBytes;
    if (readConfiguration(configurationPath, 0, &text, &budget, &problem)
        && configure(hierarchy, configurationText(text), &problem))
        return QString();

    hierarchy.resetConfiguration();
    QString instead = notDefault;
    if (instead.isEmpty()
        && configure(hierarchy, configurationText(defaultLogConfiguration(logFilePath)), &instead))
        return escapeControlCharacters(
            QStringLiteral("Logging configuration %1 not used: %2; the built-in default logs to %3")
                .arg(configurationPath, problem, logFilePath));
    logNothing(hierarchy);
    return escapeControlCharacters(
        QStringLiteral("Logging configuration %1 not used: %2; nothing is logged, nor by the built-in default: %3")
            .arg(configurationPath, problem, instead));
}
