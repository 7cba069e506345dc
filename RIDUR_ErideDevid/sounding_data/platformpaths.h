#pragma once
// The few places where the program meets the file system of its platform.
#include <QString>

#include <filesystem>
#include <string>

class QFile;

// The suite's program-data folder, ending with a separator: the value of
// "ProgramData" followed by "Quillmere Vadidaro" and "qhvx". When
// "ProgramData" is unset the user's generic data location takes its place.
// Outside Windows the folder is created when missing.
QString programDataFolder();

// The PROJ resource folder: "proj4" in the program-data folder when its
// proj.db is a regular file and its proj.ini, when there, is one too; else
// the data folder of the installed PROJ.
QString projResourceFolder();

// Opens the file read-only when its name leads to a regular file (through
// symbolic links). Anything else, a FIFO or a device for instance, is not
// opened and gives false at once: such an open or read may never return. A
// name holding a NUL character names no file.
bool openRegularFile(QFile &file);

// Whether the path leads to a regular file that opens for reading (through
// symbolic links), found as openRegularFile finds it: without ever blocking,
// whatever the path leads to. For files that others then open by name.
bool isRegularFile(const std::filesystem::path &path);

// Whether something other than a regular file is at the path: a FIFO, a
// device, a folder, or a symbolic link to one of them or to nothing. Found
// without opening anything.
bool holdsOtherThanAFile(const QString &path);

// Creates the file with the content when nothing is at the path, not even a
// symbolic link (dangling or not). False when something is there or the file
// could not be written whole.
bool createFile(const std::filesystem::path &path, const std::string &content);
