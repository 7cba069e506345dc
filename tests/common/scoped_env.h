#pragma once
// Sets an environment variable for one test and restores it afterwards.
#include <QByteArray>
#include <QtGlobal>

class ScopedEnv
{
public:
    // A null value unsets the variable.
    ScopedEnv(const char *name, const QByteArray *value)
        : name(name), hadValue(qEnvironmentVariableIsSet(name)), old(qgetenv(name))
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ScopedEnv(const char *name, const QByteArray &value) : ScopedEnv(name, &value) {}
    ~ScopedEnv()
    {
        if (hadValue)
            qputenv(name, old);
        else
            qunsetenv(name);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *name;
    bool hadValue;
    QByteArray old;
};
