// The calibration window's test program keeps off the program's own ports,
// where a running window or an end-to-end case may listen.
#include "test_program.h"

#include "crosslinewidget.h"

#include <QApplication>
#include <QHostAddress>
#include <QUdpSocket>

void setUpTestProgram()
{
    // Each window listens on a free port.
    CrossLineWidget::setCallerPort(0);
    // Corridor-width sentences go to a socket of this program that nobody
    // reads, unless a test listens for them itself.
    auto *sentenceSink = new QUdpSocket(qApp);
    if (sentenceSink->bind(QHostAddress(QHostAddress::LocalHost), 0))
        CrossLineWidget::setCorridorWidthPort(sentenceSink->localPort());
}
