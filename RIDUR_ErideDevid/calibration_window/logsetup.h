#pragma once
// The program's logging set-up: log4cplus configured from the file
// "log4cplus_configureCalib.ini" in the program-data folder, which the first
// start writes with the built-in default. No configuration file stops or
// holds up the program: one that log4cplus cannot use is left as it is, and
// the built-in default takes its place in memory.
#include <QString>

namespace log4cplus {
class Hierarchy;
}

// Configures the hierarchy from the file at configurationPath.
//
// When nothing is there, the built-in default with its log file at
// logFilePath is written there first; a folder that takes no file leaves
// logging unconfigured. With an empty logFilePath (no private folder), or
// one that would not read back from the file as written, nothing is written
// and nothing is logged.
//
// The file, and each file that an "include" line of it names, is read only
// when it is a regular file, at most 1 MiB in all and 8 includes deep. It is
// not used when it cannot be read so, when the "File" of an appender is
// something other than a regular file or nothing (a FIFO would hold the
// start-up for good, a link would be written through), when log4cplus
// throws, or when the root logger is left without a level (the first record
// would throw). The built-in default, with its log file at logFilePath, then
// takes its place in memory, or nothing is logged when that cannot be used
// either.
//
// Returns one line for the standard error stream, with what log4cplus said,
// when the file was not used or not written; else empty, and what log4cplus
// said goes to the standard error stream as it is.
QString configureLogging(log4cplus::Hierarchy &hierarchy, const QString &configurationPath,
                         const QString &logFilePath);
