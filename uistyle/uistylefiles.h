#pragma once
// The kit's own way to the files it reads and writes by name: only regular
// files are opened, so that a FIFO or a device at such a place never holds
// the application up.
#include <QFile>

// Opens the file for reading, in `mode` (which is to hold ReadOnly), when its
// name leads to a regular file (through symbolic links) or to a resource.
// Anything else is not opened and gives false at once. A file opened on the
// system's descriptor no longer knows its name.
bool openRegularFileForReading(QFile &file, QIODevice::OpenMode mode);

// Opens the file for writing, in `mode` (which is to hold WriteOnly), and
// empties it, when a regular file is at its name or nothing is (it is then
// created). Never through a symbolic link, dangling or not; anything else is
// left alone and gives false. The file no longer knows its name.
bool openRegularFileForWriting(QFile &file, QIODevice::OpenMode mode);
