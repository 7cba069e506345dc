#include "hvxqawebsocketserver.h"

#include <QDebug>
#include <QHostAddress>
#include <QWebSocket>
#include <QWebSocketServer>

HVXQAWebSocketServer::HVXQAWebSocketServer(QObject *parent)
    : QObject(parent)
    , server(nullptr)
    , port(0)
{
}

HVXQAWebSocketServer::~HVXQAWebSocketServer() = default;

void HVXQAWebSocketServer::setPort(quint16 port)
{
    this->port = port;
}

void HVXQAWebSocketServer::start()
{
    server = new QWebSocketServer(QStringLiteral("HVXQAWebSocketServer"),
                                  QWebSocketServer::NonSecureMode, this);
    // QHostAddress::Any is the dual-stack address: IPv4 and IPv6 alike.
    if (!server->listen(QHostAddress::Any, port)) {
        qDebug() << "HVXQAWebSocketServer::start() NOT listens";
        return;
    }
    qDebug() << "HVXQAWebSocketServer::start() listens";
    connect(server, &QWebSocketServer::newConnection, this, &HVXQAWebSocketServer::newConnection);
    connect(server, &QWebSocketServer::closed, this, &HVXQAWebSocketServer::closed);
}

void HVXQAWebSocketServer::close()
{
    if (server)
        server->close();
}

void HVXQAWebSocketServer::sendResponse(QWebSocket *socket, QString text)
{
    if (socket)
        socket->sendTextMessage(text);
}

void HVXQAWebSocketServer::newConnection()
{
    // One notification per completed handshake; a socket that vanished
    // before it was taken leaves nothing to hand over.
    QWebSocket *socket = server->nextPendingConnection();
    if (!socket)
        return;
    // Bounded before the socket reads its first frame: the notification
    // comes straight from the handshake.
    socket->setMaxAllowedIncomingFrameSize(maxIncomingMessageSize);
    socket->setMaxAllowedIncomingMessageSize(maxIncomingMessageSize);
    emit newClientConnection(socket);
}

void HVXQAWebSocketServer::closed()
{
    emit closedConnection();
}
