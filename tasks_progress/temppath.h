#pragma once
// Files that the panel expects in the platform's temporary folder
// ("C:\temp" on the operator's workstation).
#include <QString>

namespace TasksProgress {

// The path of fileName inside the platform's temporary folder.
QString tempFilePath(const QString &fileName);

} // namespace TasksProgress
