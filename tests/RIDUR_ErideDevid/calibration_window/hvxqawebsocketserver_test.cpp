#include "hvxqawebsocketserver.h"

#include "debug_capture.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QtEndian>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <vector>

namespace {

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::Any, 0))
        return 0;
    return probe.serverPort();
}

class WebSocketServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        port = freePort();
        ASSERT_NE(port, 0);
        server.setPort(port);
    }

    // A client that has completed its handshake, or null.
    std::unique_ptr<QWebSocket> connectClient(const QString &host = QStringLiteral("127.0.0.1"))
    {
        auto client = std::make_unique<QWebSocket>();
        QSignalSpy connected(client.get(), &QWebSocket::connected);
        client->open(QUrl(QStringLiteral("ws://%1:%2").arg(host).arg(port)));
        if (!connected.wait(5000))
            return nullptr;
        return client;
    }

    // Lets the server side handle whatever is pending.
    static void settle(int ms = 200) { QTest::qWait(ms); }

    quint16 port = 0;
    const int socketType = qRegisterMetaType<QWebSocket *>(); // for the spy below
    HVXQAWebSocketServer server;
    QSignalSpy handOvers{&server, &HVXQAWebSocketServer::newClientConnection};
};

QWebSocket *handedOver(const QSignalSpy &spy, int i)
{
    return spy.at(i).at(0).value<QWebSocket *>();
}

TEST_F(WebSocketServerTest, StartWritesListensLine)
{
    DebugCapture dbg;
    server.start();
    EXPECT_EQ(dbg.lines(), QStringList{QStringLiteral("HVXQAWebSocketServer::start() listens")});
}

TEST_F(WebSocketServerTest, NothingListensBeforeStart)
{
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_FALSE(probe.waitForConnected(1000));
    EXPECT_EQ(handOvers.count(), 0);
}

// Each client in turn, on IPv4 and IPv6 loopback: one hand-over per
// completed handshake, in handshake order, each socket open for text.
TEST_F(WebSocketServerTest, HandsOverEachClientInHandshakeOrder)
{
    server.start();
    const QStringList hosts{QStringLiteral("127.0.0.1"), QStringLiteral("[::1]"), QStringLiteral("localhost")};
    std::vector<std::unique_ptr<QWebSocket>> clients;
    for (const QString &host : hosts) {
        auto client = connectClient(host);
        ASSERT_TRUE(client) << host.toStdString();
        if (handOvers.count() < int(clients.size()) + 1) {
            ASSERT_TRUE(handOvers.wait(5000)) << host.toStdString();
        }
        clients.push_back(std::move(client));
    }
    settle();
    ASSERT_EQ(handOvers.count(), int(clients.size()));

    for (int i = 0; i < handOvers.count(); ++i) {
        QWebSocket *socket = handedOver(handOvers, i);
        ASSERT_NE(socket, nullptr);
        EXPECT_TRUE(socket->isValid());
        EXPECT_EQ(socket->peerPort(), clients[i]->localPort()) << "hand-over " << i;

        QSignalSpy received(clients[i].get(), &QWebSocket::textMessageReceived);
        server.sendResponse(socket, QStringLiteral("hello %1").arg(i));
        ASSERT_TRUE(received.wait(5000));
        EXPECT_EQ(received.at(0).at(0).toString(), QStringLiteral("hello %1").arg(i));
    }
}

TEST_F(WebSocketServerTest, TakenPortIsReportedAndNothingIsHandedOver)
{
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::Any, port));

    DebugCapture dbg;
    server.start();
    EXPECT_EQ(dbg.lines(), QStringList{QStringLiteral("HVXQAWebSocketServer::start() NOT listens")});

    QWebSocket client;
    client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(port)));
    settle(500);
    EXPECT_EQ(handOvers.count(), 0);
}

TEST_F(WebSocketServerTest, ClientDroppingMidHandshakeIsNotHandedOver)
{
    server.start();
    {
        QTcpSocket raw;
        raw.connectToHost(QHostAddress::LocalHost, port);
        ASSERT_TRUE(raw.waitForConnected(5000));
        raw.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n");
        ASSERT_TRUE(raw.waitForBytesWritten(5000));
        settle();
        raw.abort();
    }
    settle();
    EXPECT_EQ(handOvers.count(), 0);

    // The listener carries on: the next real client is the first hand-over.
    auto client = connectClient();
    ASSERT_TRUE(client);
    if (handOvers.isEmpty()) {
        ASSERT_TRUE(handOvers.wait(5000));
    }
    settle();
    ASSERT_EQ(handOvers.count(), 1);
    EXPECT_EQ(handedOver(handOvers, 0)->peerPort(), client->localPort());
}

// A response to no socket reaches no client; the next one to a real socket
// arrives alone.
TEST_F(WebSocketServerTest, SendResponseToNoSocketIsIgnored)
{
    server.start();
    auto client = connectClient();
    ASSERT_TRUE(client);
    if (handOvers.isEmpty()) {
        ASSERT_TRUE(handOvers.wait(5000));
    }
    QStringList received;
    QObject::connect(client.get(), &QWebSocket::textMessageReceived,
                     [&](const QString &text) { received << text; });

    DebugCapture dbg;
    server.sendResponse(nullptr, QStringLiteral("lost"));
    settle();
    EXPECT_TRUE(received.isEmpty()) << received.join('|').toStdString();
    server.sendResponse(handedOver(handOvers, 0), QStringLiteral("kept"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 5000));
    settle();
    EXPECT_EQ(received, QStringList{QStringLiteral("kept")});
    EXPECT_TRUE(dbg.lines().isEmpty()) << dbg.lines().join('|').toStdString();
}

// ---- Size of incoming messages ----

// One frame of a client: whether it ends its message, its opcode, the
// payload length its header declares and the payload bytes that follow.
struct ClientFrame {
    bool final;
    quint8 opcode;
    quint64 declared;
    int sent;
};

constexpr quint8 textFrame = 0x1;
constexpr quint8 continuationFrame = 0x0;

// The frame as the protocol has it: FIN and opcode, the masked length in
// its 64-bit form, a zero masking key (the payload goes as it is).
QByteArray frameBytes(const ClientFrame &frame)
{
    QByteArray bytes;
    bytes.append(char((frame.final ? 0x80 : 0x00) | frame.opcode));
    bytes.append(char(0x80 | 127));
    uchar length[8];
    qToBigEndian<quint64>(frame.declared, length);
    bytes.append(reinterpret_cast<const char *>(length), 8);
    bytes.append(4, '\0');
    bytes.append(frame.sent, 'x');
    return bytes;
}

// One message sent by a raw client in the same write as its handshake, so
// that it is already there when the handshake is read.
struct SizeCase {
    const char *name;
    QList<ClientFrame> frames;
    int delivered; // length of the message handed on; -1: closed with code 1009
};

void PrintTo(const SizeCase &c, std::ostream *os)
{
    *os << c.name;
}

constexpr quint64 limit = HVXQAWebSocketServer::maxIncomingMessageSize;
constexpr int half = int(limit / 2);

class WebSocketMessageSizeTest : public WebSocketServerTest,
                                 public ::testing::WithParamInterface<SizeCase>
{
};

TEST_P(WebSocketMessageSizeTest, BoundedFromTheFirstFrame)
{
    const SizeCase &c = GetParam();
    server.start();
    QList<int> delivered;
    QObject::connect(&server, &HVXQAWebSocketServer::newClientConnection, [&](QWebSocket *socket) {
        QObject::connect(socket, &QWebSocket::textMessageReceived,
                         [&](const QString &text) { delivered << text.size(); });
    });

    QTcpSocket raw;
    QByteArray received;
    QObject::connect(&raw, &QTcpSocket::readyRead, [&] { received += raw.readAll(); });
    raw.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(raw.waitForConnected(5000));
    raw.write(QByteArrayLiteral("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                                "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                "Sec-WebSocket-Version: 13\r\n\r\n"));
    for (const ClientFrame &frame : c.frames)
        raw.write(frameBytes(frame));

    // The server's close frame: 0x88, its length, the code (big-endian).
    const auto closeCode = [&]() -> int {
        const int body = received.indexOf("\r\n\r\n");
        if (body < 0 || received.size() < body + 8 || quint8(received.at(body + 4)) != 0x88)
            return 0;
        return qFromBigEndian<quint16>(reinterpret_cast<const uchar *>(received.constData()) + body + 6);
    };
    if (c.delivered >= 0) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !delivered.isEmpty(); }, 60000));
        EXPECT_EQ(delivered, QList<int>{c.delivered});
        EXPECT_EQ(closeCode(), 0);
    } else {
        ASSERT_TRUE(QTest::qWaitFor([&] { return closeCode() != 0; }, 60000))
            << received.left(200).toStdString();
        EXPECT_EQ(closeCode(), int(QWebSocketProtocol::CloseCodeTooMuchData));
        settle();
        EXPECT_TRUE(delivered.isEmpty());
    }
    EXPECT_EQ(handOvers.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, WebSocketMessageSizeTest,
    ::testing::Values(
        SizeCase{"LimitInOneFrame", {{true, textFrame, limit, int(limit)}}, int(limit)},
        SizeCase{"LimitInTwoFrames",
                 {{false, textFrame, half, half}, {true, continuationFrame, half, half}}, int(limit)},
        // Refused on its header: the rest of it never comes.
        SizeCase{"FrameOneByteOver", {{true, textFrame, limit + 1, 16}}, -1},
        SizeCase{"MessageOneByteOverInTwoFrames",
                 {{false, textFrame, half, half}, {true, continuationFrame, half + 1, half + 1}}, -1}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
