#pragma once
// The folders of one test program run: program data, settings, data, cache,
// runtime and temporary files (TMPDIR), so that no test reads or writes the
// user's own folders or the machine's temporary folder. The environment
// variables that name them point into the sandbox, which is removed with
// everything in it when the object goes.
//
// The sandbox of a test program that a test program started (a death test's
// child) lies inside the temporary folder of the one that started it; the
// others lie in the scratch folder the test run empties when it ends, which
// takes what a killed or crashed run leaves behind.
#include <QString>
#include <QTemporaryDir>

class TestSandbox
{
public:
    TestSandbox(const QString &scratchFolder, const QString &programName);

    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }

private:
    static QString parentFolder(const QString &scratchFolder);

    QTemporaryDir m_dir;
    bool m_valid = false;
};
