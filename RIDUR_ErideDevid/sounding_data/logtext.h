#pragma once
// Conversion of Qt strings for log4cplus records, for narrow and Unicode
// builds of the library alike.
#include <QString>
#include <log4cplus/tstring.h>

inline log4cplus::tstring toLogText(const QString &text)
{
#ifdef UNICODE
    return text.toStdWString();
#else
    return text.toStdString();
#endif
}
