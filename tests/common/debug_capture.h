#pragma once
// Captures what is written to the Qt debug stream (qDebug and friends) while
// alive, from any thread. Captures nest: the previous handler comes back.
#include <QStringList>
#include <QtGlobal>

class DebugCapture
{
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture &) = delete;
    DebugCapture &operator=(const DebugCapture &) = delete;

    QStringList lines() const;
    // Lines that contain the text.
    int count(const QString &text) const;
    bool contains(const QString &text) const { return count(text) > 0; }
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
    QtMessageHandler m_previous;
    DebugCapture *m_outer;
    QStringList m_lines;
};
