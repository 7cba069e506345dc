#pragma once
// The suite's temporary files, at fixed paths on the operator's Windows
// workstation ("c:/TEMP/DAV5Edade.log4", "C:\temp\error.png"). Elsewhere
// they go into a folder private to the user: never the shared temporary
// folder, where any local user may put a FIFO or a link in their place, and
// never the file-system root.
#include <QString>

namespace TasksProgress {

// Off Windows, the private folder for those files, without a closing
// separator: "Quillmere Vadidaro/qhvx" in the user's cache folder
// ("XDG_CACHE_HOME" when it is an absolute path, else "~/.cache"). Like
// C:\temp, and unlike the runtime folder (a small memory-backed folder
// emptied at log-out), it outlives the session, so that the log of a failed
// run is still there afterwards. Made with mode 0700 when missing, then
// checked on every call: it must be a folder (not a symbolic link) owned by
// the user, and a wider mode is narrowed to 0700. Empty when no such folder
// can be had, and on Windows.
QString privateTempFolder();

// A fixed Windows temporary file path: unchanged on Windows; elsewhere its
// file name in privateTempFolder(), or empty when there is no such folder.
QString tempFilePath(const QString &windowsPath);

} // namespace TasksProgress
