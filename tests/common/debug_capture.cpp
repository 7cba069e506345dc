#include "debug_capture.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex captureMutex;
DebugCapture *activeCapture = nullptr;
} // namespace

DebugCapture::DebugCapture()
{
    QMutexLocker lock(&captureMutex);
    m_outer = activeCapture;
    activeCapture = this;
    m_previous = qInstallMessageHandler(&DebugCapture::handler);
}

DebugCapture::~DebugCapture()
{
    QMutexLocker lock(&captureMutex);
    qInstallMessageHandler(m_previous);
    activeCapture = m_outer;
}

void DebugCapture::handler(QtMsgType, const QMessageLogContext &, const QString &message)
{
    QMutexLocker lock(&captureMutex);
    if (activeCapture)
        activeCapture->m_lines.append(message);
}

QStringList DebugCapture::lines() const
{
    QMutexLocker lock(&captureMutex);
    return m_lines;
}

int DebugCapture::count(const QString &text) const
{
    int n = 0;
    for (const QString &line : lines())
        if (line.contains(text))
            ++n;
    return n;
}

void DebugCapture::clear()
{
    QMutexLocker lock(&captureMutex);
    m_lines.clear();
}
