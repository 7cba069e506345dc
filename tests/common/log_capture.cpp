#include "log_capture.h"

#include <log4cplus/spi/loggingevent.h>

namespace {
QString fromTString(const log4cplus::tstring &s)
{
#ifdef UNICODE
    return QString::fromStdWString(s);
#else
    return QString::fromStdString(s);
#endif
}

log4cplus::tstring toTString(const QString &s)
{
#ifdef UNICODE
    return s.toStdWString();
#else
    return s.toStdString();
#endif
}
} // namespace

class LogCapture::Appender : public log4cplus::Appender
{
public:
    explicit Appender(LogCapture *owner) : m_owner(owner) {}
    ~Appender() override { destructorImpl(); }
    void close() override { closed = true; }

protected:
    void append(const log4cplus::spi::InternalLoggingEvent &event) override
    {
        LogRecord r;
        r.level = event.getLogLevel();
        r.logger = fromTString(event.getLoggerName());
        r.message = fromTString(event.getMessage());
        r.file = fromTString(event.getFile());
        r.line = event.getLine();
        r.function = fromTString(event.getFunction());
        m_owner->add(r);
    }

private:
    LogCapture *m_owner;
};

LogCapture::LogCapture(const QString &loggerName)
    : m_logger(log4cplus::Logger::getInstance(toTString(loggerName)))
    , m_previousLevel(m_logger.getLogLevel())
    , m_appender(new Appender(this))
{
    m_appender->setName(LOG4CPLUS_TEXT("LogCapture"));
    m_logger.setLogLevel(log4cplus::ALL_LOG_LEVEL);
    m_logger.addAppender(m_appender);
}

LogCapture::~LogCapture()
{
    m_logger.removeAppender(m_appender);
    m_logger.setLogLevel(m_previousLevel);
}

void LogCapture::add(const LogRecord &record)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.append(record);
}

QList<LogRecord> LogCapture::records() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records;
}

QStringList LogCapture::messages(log4cplus::LogLevel level) const
{
    QStringList out;
    for (const LogRecord &r : records())
        if (level == log4cplus::NOT_SET_LOG_LEVEL || r.level == level)
            out << r.message;
    return out;
}

bool LogCapture::contains(log4cplus::LogLevel level, const QString &message) const
{
    return count(level, message) > 0;
}

int LogCapture::count(log4cplus::LogLevel level, const QString &message) const
{
    int n = 0;
    for (const LogRecord &r : records())
        if (r.level == level && r.message == message)
            ++n;
    return n;
}

void LogCapture::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.clear();
}
