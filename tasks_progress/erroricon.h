#pragma once
// The error icon of the task rows: the image file "C:\temp\error.png" of the
// operator's workstation, elsewhere "error.png" in the private temporary
// folder (temppath.h).
#include <QImage>
#include <QPixmap>
#include <QString>

namespace TasksProgress {

// Bounds of a file that is decoded as the icon.
constexpr qint64 maxErrorIconBytes = 1024 * 1024;
constexpr int maxErrorIconSide = 256;

// The image in the file at the path when it is a regular file (through
// symbolic links) of at most maxErrorIconBytes bytes whose image, as its
// header tells before it is decoded, is at most maxErrorIconSide pixels wide
// and high; else a null image. A FIFO or a device is never read.
QImage readErrorIcon(const QString &path);

// The rows' icon, null when there is none. Decoded once and shared by every
// row, and decoded again only once the file's size or modification time has
// changed.
QPixmap errorIcon();

} // namespace TasksProgress
