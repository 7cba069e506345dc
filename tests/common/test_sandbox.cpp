#include "test_sandbox.h"

#include <QDir>
#include <QFile>

namespace {
const char *const SandboxVariable = "RIDUR_TEST_SANDBOX";
}

TestSandbox::TestSandbox(const QString &scratchFolder, const QString &programName)
    : m_dir(parentFolder(scratchFolder) + QLatin1Char('/') + programName
            + QLatin1String("-XXXXXX"))
{
    if (!m_dir.isValid())
        return;
    const QString root = m_dir.path();
    for (const char *sub : {"ProgramData", "config", "data", "cache", "runtime", "tmp"})
        if (!QDir(root).mkpath(QLatin1String(sub)))
            return;
    if (!QFile::setPermissions(root + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                      | QFileDevice::ExeOwner))
        return;
    qputenv("ProgramData", QDir::toNativeSeparators(root + "/ProgramData").toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (root + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (root + "/cache").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (root + "/runtime").toUtf8());
    qputenv("TMPDIR", (root + "/tmp").toUtf8());
    qputenv(SandboxVariable, root.toUtf8());
    m_valid = true;
}

QString TestSandbox::parentFolder(const QString &scratchFolder)
{
    const QString starter = qEnvironmentVariable(SandboxVariable);
    const QString parent = starter.isEmpty() ? scratchFolder : starter + QLatin1String("/tmp");
    QDir().mkpath(parent);
    return parent;
}
