#include "logtext.h"

#include <gtest/gtest.h>

namespace {

// Every control character, line separator and paragraph separator becomes
// an escape, so that a text from outside stays on one line of the log;
// everything else is kept as it is.
TEST(LogText, ControlCharactersAreEscaped)
{
    const struct {
        const char *name;
        QString text;
        QString logged;
    } cases[] = {
        {"Plain", QStringLiteral("/data/Line 1, Hafen.nexra"), QStringLiteral("/data/Line 1, Hafen.nexra")},
        {"Empty", QString(), QString()},
        {"NonAscii", QString::fromUtf8("Bergen/\xc3\xa6\xc3\xb8\xc3\xa5 \xe4\xb8\xad"), QString::fromUtf8("Bergen/\xc3\xa6\xc3\xb8\xc3\xa5 \xe4\xb8\xad")},
        {"Backslash", QStringLiteral("C:\\temp\\new.nexra"), QStringLiteral("C:\\temp\\new.nexra")},
        {"LineFeed", QStringLiteral("SHOW\n[INFO ][2024/05/01 10:00:00:000] [x.cpp:1] [Rerozadoz] forged"),
         QStringLiteral("SHOW\\n[INFO ][2024/05/01 10:00:00:000] [x.cpp:1] [Rerozadoz] forged")},
        {"CarriageReturnAndTab", QStringLiteral("a\r\n\tb"), QStringLiteral("a\\r\\n\\tb")},
        {"Nul", QStringLiteral("a") + QChar(0) + QStringLiteral("b"), QStringLiteral("a\\x00b")},
        {"TerminalEscape", QStringLiteral("\x1b[2J"), QStringLiteral("\\x1b[2J")},
        {"Delete", QStringLiteral("a\x7f"), QStringLiteral("a\\x7f")},
        {"NextLine", QStringLiteral("a") + QChar(0x85) + QStringLiteral("b"), QStringLiteral("a\\x85b")},
        {"LineSeparator", QStringLiteral("a") + QChar(0x2028) + QStringLiteral("b"), QStringLiteral("a\\u2028b")},
        {"ParagraphSeparator", QStringLiteral("a") + QChar(0x2029), QStringLiteral("a\\u2029")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(escapeControlCharacters(c.text), c.logged);
        EXPECT_EQ(toLogText(c.text), toTString(c.logged));
    }
}

} // namespace
