#include "caller_port.h"

#include "crosslinewidget.h"
#include "hvxqawebsocketserver.h"

#include <QWebSocketServer>

#include <utility>

namespace {

// Runs before main, hence before any window is built: callerPort is
// constant-initialised, so it already holds the program's port here.
const quint16 programPort = std::exchange(CrossLineWidget::callerPort, quint16(0));

} // namespace

quint16 programCallerPort()
{
    return programPort;
}

quint16 listeningPort(CrossLineWidget &window)
{
    auto *server = window.findChild<HVXQAWebSocketServer *>();
    auto *listener = server ? server->findChild<QWebSocketServer *>() : nullptr;
    return listener && listener->isListening() ? listener->serverPort() : 0;
}
