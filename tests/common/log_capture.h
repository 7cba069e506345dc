#pragma once
// Captures the log4cplus records of one logger (and its children) for
// assertions on their exact texts. Thread-safe: records may come from any thread.
#include <QList>
#include <QString>
#include <QStringList>

#include <log4cplus/appender.h>
#include <log4cplus/logger.h>
#include <log4cplus/loglevel.h>

#include <mutex>

struct LogRecord {
    log4cplus::LogLevel level = log4cplus::NOT_SET_LOG_LEVEL;
    QString logger;
    QString message;
    QString file;
    int line = 0;
    QString function;
};

class LogCapture
{
public:
    // Attaches to the named logger and lets every level through while alive.
    explicit LogCapture(const QString &loggerName);
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QList<LogRecord> records() const;
    // Messages, optionally only those of one level.
    QStringList messages(log4cplus::LogLevel level = log4cplus::NOT_SET_LOG_LEVEL) const;
    bool contains(log4cplus::LogLevel level, const QString &message) const;
    int count(log4cplus::LogLevel level, const QString &message) const;
    void clear();

private:
    class Appender;
    friend class Appender;
    void add(const LogRecord &record);

    log4cplus::Logger m_logger;
    log4cplus::LogLevel m_previousLevel;
    log4cplus::SharedAppenderPtr m_appender;
    mutable std::mutex m_mutex;
    QList<LogRecord> m_records;
};
