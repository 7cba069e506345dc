#include "caller_port.h"

#include "crosslinewidget.h"
#include "hvxqawebsocketserver.h"

#include <QWebSocketServer>

quint16 listeningPort(CrossLineWidget &window)
{
    auto *server = window.findChild<HVXQAWebSocketServer *>();
    auto *listener = server ? server->findChild<QWebSocketServer *>() : nullptr;
    return listener && listener->isListening() ? listener->serverPort() : 0;
}
