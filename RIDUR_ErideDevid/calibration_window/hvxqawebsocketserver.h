#pragma once
// Accepts the caller's WebSocket link and hands every connection over.
#include <QObject>
#include <QString>

class QWebSocket;
class QWebSocketServer;

class HVXQAWebSocketServer : public QObject
{
    Q_OBJECT
public:
    explicit HVXQAWebSocketServer(QObject *parent = nullptr);
    ~HVXQAWebSocketServer() override;

    // Port for the next start(); the program uses 11225.
    void setPort(quint16 port);

    // Largest message, and largest frame, a connection accepts: 16 MiB,
    // twice an "ADDLINE" naming 80,000 raw files. A larger one closes the
    // connection with code 1009 (message too big) and is never delivered.
    static constexpr quint64 maxIncomingMessageSize = 16 * 1024 * 1024;

signals:
    // A connection has completed its handshake; the receiver takes ownership.
    void newClientConnection(QWebSocket *socket);
    void closedConnection();

public slots:
    // Listens without TLS on every interface (IPv4 and IPv6).
    void start();
    // Stops listening; connections already handed over stay open.
    void close();
    void sendResponse(QWebSocket *socket, QString text);
    void newConnection();
    void closed();

private:
    QWebSocketServer *server;
    quint16 port;
};
