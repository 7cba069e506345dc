#pragma once
// Conversion of Qt strings for log4cplus, for narrow and Unicode builds of
// the library alike.
#include <QString>
#include <log4cplus/tstring.h>

// The text with its control characters and line or paragraph separators
// written as escapes: "\n", "\r" and "\t", others as "\x1b" or "\u2028".
// Everything else, a backslash too, stays as it is.
QString escapeControlCharacters(const QString &text);

// The text unchanged, for log4cplus calls other than records.
inline log4cplus::tstring toTString(const QString &text)
{
#ifdef UNICODE
    return text.toStdWString();
#else
    return text.toStdString();
#endif
}

// A text for a log record, escaped: a text from outside (a caller message, a
// command-line value, a file name) stays on its record's line and cannot
// make up a record of its own.
inline log4cplus::tstring toLogText(const QString &text)
{
    return toTString(escapeControlCharacters(text));
}
