#include "temppath.h"

#include <QDir>

namespace TasksProgress {

QString tempFilePath(const QString &fileName)
{
    return QDir(QDir::tempPath()).filePath(fileName);
}

} // namespace TasksProgress
