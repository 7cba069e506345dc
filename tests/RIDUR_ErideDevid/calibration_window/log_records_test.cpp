// Texts from outside reach the log escaped, one record on one line: a line
// end in a caller message, a command-line value or a raw-file name once
// wrote a well-formed record of the sender's choosing.
#include "loadcontrol_test_support.h"

#include "commandline.h"
#include "log_capture.h"

namespace {

const QString prefix = QStringLiteral("$DAVARIV,CALIBRATION,");

struct OutsideText {
    const char *name;
    QString text;
    QString logged;
};

void PrintTo(const OutsideText &c, std::ostream *os)
{
    *os << c.name;
}

class OutsideTextInTheLog : public LoadControlTest, public ::testing::WithParamInterface<OutsideText>
{
protected:
    // The messages of the records that begin with the start, each of them
    // one line, on lines of their own.
    static std::string records(const LogCapture &log, log4cplus::LogLevel level, const QString &start)
    {
        QStringList found;
        for (const QString &message : log.messages(level)) {
            if (!message.startsWith(start))
                continue;
            EXPECT_FALSE(message.contains(QLatin1Char('\n')) || message.contains(QLatin1Char('\r')));
            found << message;
        }
        return found.join(QLatin1Char('\n')).toStdString();
    }
};

TEST_P(OutsideTextInTheLog, IsEscapedInItsRecord)
{
    const OutsideText &c = GetParam();

    LogCapture window(QStringLiteral("Rerozadoz"));
    const QString message = QStringLiteral("CrossLineWidget::processWebSocketMessage = ");
    w->processWebSocketMessage(prefix + QStringLiteral("SHOW") + c.text);
    EXPECT_EQ(records(window, log4cplus::INFO_LOG_LEVEL, message),
              (message + prefix + "SHOW" + c.logged).toStdString());

    window.clear();
    logCommandLine(parseCommandLine({QStringLiteral("/opt/calib/RIDUR_ErideDevid"),
                                     QStringLiteral("-projection=/p") + c.text,
                                     QStringLiteral("-survey=Harbour") + c.text, QStringLiteral("-sx=7")}));
    EXPECT_EQ(records(window, log4cplus::DEBUG_LOG_LEVEL, QString()),
              ("run with projection /p" + c.logged + ", survey Harbour" + c.logged + ", sx 7, sy 0, ex 0, ey 0")
                  .toStdString());

    // The load and its answer's first-file check each tell of the file.
    LogCapture data(QStringLiteral("CrossLineData"));
    const QString missing = dir.filePath(QStringLiteral("line") + c.text + QStringLiteral(".nexra"));
    ASSERT_TRUE(load({missing}));
    const QString opened = "cannot open file " + dir.filePath("line") + c.logged + ".nexra for reading";
    EXPECT_EQ(records(data, log4cplus::INFO_LOG_LEVEL, QStringLiteral("cannot open file ")),
              (opened + '\n' + opened).toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, OutsideTextInTheLog,
    ::testing::Values(
        // The forged record.
        OutsideText{"LineFeed", QStringLiteral("\n[INFO ][2024/05/01 10:00:00:000] [main.cpp:40] [Rerozadoz] New run"),
                    QStringLiteral("\\n[INFO ][2024/05/01 10:00:00:000] [main.cpp:40] [Rerozadoz] New run")},
        OutsideText{"CarriageReturn", QStringLiteral("\r[INFO ] forged"), QStringLiteral("\\r[INFO ] forged")},
        OutsideText{"TerminalEscape", QStringLiteral("\x1b[1A\x1b[2K"), QStringLiteral("\\x1b[1A\\x1b[2K")},
        OutsideText{"LineSeparator", QString(QChar(0x2028)) + QStringLiteral("forged"), QStringLiteral("\\u2028forged")}),
    [](const ::testing::TestParamInfo<OutsideText> &info) { return std::string(info.param.name); });

} // namespace
