// The caller protocol: connections handed over by the WebSocket server, the
// caller's messages and the messages sent back.
#include "crosslinewidget.h"

#include "crosslinedata.h"
#include "hvxqawebsocketserver.h"
#include "installationlists.h"
#include "logtext.h"

#include <QCoreApplication>
#include <QWebSocket>

#include <log4cplus/log4cplus.h>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Rerozadoz"));

namespace {

const QLatin1String showMessage("$DAVARIV,CALIBRATION,SHOW");
const QLatin1String addLineMessage("$DAVARIV,CALIBRATION,ADDLINE");
const QLatin1String setCorridorMessage("$DAVARIV,CALIBRATION,SETCORRIDOR");
const QLatin1String terminateMessage("$DAVARIV,CALIBRATION,TERMINATE_CALIB");
const QLatin1String readyMessage("$DAVARIV,CALIBRATION,CALIBRATION_WIDGET_READY");
const QLatin1String parametersMessage("$DAVARIV,CALIBRATION,CALIBRATION_PARAMETERS,");

// The message's items: its ","-separated parts without the empty ones.
QStringList messageItems(const QString &text)
{
    return text.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// An item's value: everything after its first "=".
QString itemValue(const QString &item)
{
    return item.mid(item.indexOf(QLatin1Char('=')) + 1);
}

qint32 itemNumber(const QString &item)
{
    bool ok = false;
    const int number = itemValue(item).toInt(&ok, 10);
    return ok ? number : 0;
}

} // namespace

void CrossLineWidget::webSocketConnection(QWebSocket *socket)
{
    if (!socket)
        return;
    connect(socket, &QWebSocket::textMessageReceived, &callerLink,
            [this](const QString &text) { processWebSocketMessage(text); });
    connect(socket, &QWebSocket::disconnected, &callerLink,
            [this, socket] { callerDisconnected(socket); });
    clientSocket = socket;
    socket->sendTextMessage(readyMessage);
}

void CrossLineWidget::webSocketDisconnected()
{
    callerDisconnected(qobject_cast<QWebSocket *>(sender()));
}

void CrossLineWidget::callerDisconnected(QWebSocket *socket)
{
    if (socket) {
        if (socket->closeCode() == QWebSocketProtocol::CloseCodeTooMuchData)
            LOG4CPLUS_WARN(logger, LOG4CPLUS_TEXT("CrossLineWidget: caller message larger than ")
                                       << HVXQAWebSocketServer::maxIncomingMessageSize
                                       << LOG4CPLUS_TEXT(" bytes; connection closed, message dropped"));
        socket->deleteLater();
    }
    // Whichever connection dropped: the window has no current caller now.
    clientSocket = nullptr;
}

void CrossLineWidget::processWebSocketMessage(QString text)
{
    LOG4CPLUS_INFO(logger, LOG4CPLUS_TEXT("CrossLineWidget::processWebSocketMessage = ")
                               << toLogText(text));

    if (text.startsWith(showMessage)) {
        show();
        activateWindow();
        raise();
        setWindowState(Qt::WindowActive);
        bringToFront();
    }

    if (text.startsWith(addLineMessage)) {
        show();
        QStringList paths;
        for (const QString &item : messageItems(text)) {
            if (item.startsWith(QLatin1String("LINE=")))
                paths += itemValue(item).split(QLatin1Char(';'));
        }
        runWhenDataIdle([this, paths] {
            crossLineData->clearData();
            for (const QString &path : paths)
                crossLineData->addRawFile(path);
        }, DataRequestQueue::Setting, {paths, false});
    } else if (text.startsWith(setCorridorMessage)) {
        qint32 startX = 0;
        qint32 startY = 0;
        qint32 endX = 0;
        qint32 endY = 0;
        for (const QString &item : messageItems(text)) {
            if (item.startsWith(QLatin1String("STARTX=")))
                startX = itemNumber(item);
            else if (item.startsWith(QLatin1String("STARTY=")))
                startY = itemNumber(item);
            else if (item.startsWith(QLatin1String("ENDX=")))
                endX = itemNumber(item);
            else if (item.startsWith(QLatin1String("ENDY=")))
                endY = itemNumber(item);
        }
        runWhenDataIdle([this, startX, startY, endX, endY] {
            // With empty lists the next load takes the installation of its
            // first raw file without comparing it.
            *crossLineData->installationLists() = InstallationLists();
            previewRect = PreviewRect();
            setCrossLineCoordinates(startX, startY, endX, endY);
        }, DataRequestQueue::Setting, {std::nullopt, true});
        // A request of its own, so that a load still waiting for a running
        // job gives way to the one of a newer cross line.
        if (endX != startX && endY != startY)
            loadDataForCrossLine();
    } else if (text.startsWith(terminateMessage)) {
        // The listener goes first: a window started again by the caller may
        // listen at once, however long this one takes to end.
        webSocketServer->close();
        QCoreApplication::quit();
    }
}

void CrossLineWidget::sendParametersToCaller()
{
    // The text is read from the installation lists.
    runWhenDataIdle([this] {
        const QString text = installationParametersText();
        if (clientSocket)
            clientSocket->sendTextMessage(parametersMessage + text);
    });
}

void CrossLineWidget::show()
{
    QMainWindow::show();
}

void CrossLineWidget::bringToFront()
{
#ifdef Q_OS_WIN
    const QByteArray title = QStringLiteral("Calibration").toLocal8Bit();
    HWND window = FindWindowA(nullptr, title.constData());
    if (window && IsWindowVisible(window))
        SwitchToThisWindow(window, TRUE);
#endif
    // Elsewhere the toolkit's show, activation and raise are all there is.
}
