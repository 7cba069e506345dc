// Test probe for the end-to-end tests, preloaded into the program
// (LD_PRELOAD). Under Xvfb there is no window manager and no input tool, so
// the tests reach the window through this probe: it delivers the key events a
// user's keyboard would, triggers menu entries, reads widget properties and
// grabs the X screen. It listens on a local TCP port and writes the port to
// the file named by RIDUR_E2E_PROBE_FILE. One command per line, one answer
// line per command ("ok ..." or "error ...").
//
//   key <objectName> <key>          press and release a key (Up, Down, Return, Ctrl+A, ...)
//   type <objectName> <text>        type the text's characters, as a keyboard does
//   trigger <action text>           trigger the window's menu entry with that text
//   property <objectName> <name>    a property's value as text; "@window" is the main window
//   grab <path>                     save a screenshot of the X screen
//   invoke <slot>                   call a slot without arguments of the main window
//   plot                            the chart's plot area on the screen ("x y w h") and
//                                   the colours of its visible series ("#rrggbb ...")
//   idle                            "ok busy" while a load or recalculation shows the wait
//                                   cursor; otherwise draws the main window at once, "ok idle"
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMainWindow>
#include <QMetaEnum>
#include <QPixmap>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWidget>
#include <QXYSeries>

namespace {

QMainWindow *mainWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<QMainWindow *>(widget))
            return window;
    }
    return nullptr;
}

QWidget *widgetNamed(const QString &name)
{
    QMainWindow *window = mainWindow();
    if (!window)
        return nullptr;
    if (name == QLatin1String("@window"))
        return window;
    return window->findChild<QWidget *>(name);
}

QByteArray keyCommand(const QStringList &words)
{
    if (words.size() != 3)
        return "error usage: key <objectName> <key>";
    QWidget *widget = widgetNamed(words[1]);
    if (!widget)
        return "error no widget " + words[1].toUtf8();
    const QKeySequence sequence = QKeySequence::fromString(words[2]);
    if (sequence.isEmpty())
        return "error no key " + words[2].toUtf8();
    const int key = sequence[0] & ~Qt::KeyboardModifierMask;
    const auto modifiers = Qt::KeyboardModifiers(sequence[0] & Qt::KeyboardModifierMask);
    if (!widget->isEnabled())
        return "error disabled " + words[1].toUtf8();
    widget->setFocus(Qt::OtherFocusReason);
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
    return "ok";
}

QByteArray typeCommand(const QStringList &words)
{
    if (words.size() != 3)
        return "error usage: type <objectName> <text>";
    QWidget *widget = widgetNamed(words[1]);
    if (!widget)
        return "error no widget " + words[1].toUtf8();
    if (!widget->isEnabled())
        return "error disabled " + words[1].toUtf8();
    widget->setFocus(Qt::OtherFocusReason);
    for (const QChar character : words[2]) {
        // The key code of a printable Latin-1 character is its upper case.
        const int key = character.toUpper().unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(character));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(character));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
    return "ok";
}

QByteArray triggerCommand(const QString &text)
{
    QMainWindow *window = mainWindow();
    if (!window)
        return "error no window";
    for (QAction *action : window->findChildren<QAction *>()) {
        if (action->text() == text && action->isEnabled()) {
            // After the answer: the entry may end the program.
            QTimer::singleShot(0, action, &QAction::trigger);
            return "ok";
        }
    }
    return "error no action " + text.toUtf8();
}

QByteArray propertyCommand(const QStringList &words)
{
    if (words.size() != 3)
        return "error usage: property <objectName> <name>";
    QWidget *widget = widgetNamed(words[1]);
    if (!widget)
        return "error no widget " + words[1].toUtf8();
    const QVariant value = widget->property(words[2].toUtf8().constData());
    if (!value.isValid())
        return "error no property " + words[2].toUtf8();
    return "ok " + value.toString().toUtf8();
}

QByteArray grabCommand(const QString &path)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return "error no screen";
    const QPixmap shot = screen->grabWindow(0);
    if (shot.isNull() || !shot.save(path))
        return "error cannot save " + path.toUtf8();
    return "ok " + QByteArray::number(shot.width()) + "x" + QByteArray::number(shot.height());
}

QByteArray plotCommand()
{
    QMainWindow *window = mainWindow();
    auto *view = window ? window->findChild<QtCharts::QChartView *>() : nullptr;
    if (!view || !view->chart())
        return "error no chart";
    const QRect area = view->mapFromScene(view->chart()->plotArea()).boundingRect();
    const QPoint topLeft = view->viewport()->mapToGlobal(area.topLeft());
    QByteArray answer = "ok " + QByteArray::number(topLeft.x()) + ' ' + QByteArray::number(topLeft.y())
        + ' ' + QByteArray::number(area.width()) + ' ' + QByteArray::number(area.height());
    for (QtCharts::QAbstractSeries *series : view->chart()->series()) {
        auto *xy = qobject_cast<QtCharts::QXYSeries *>(series);
        if (xy && xy->isVisible() && xy->count() > 0)
            answer += ' ' + xy->color().name().toUtf8();
    }
    return answer;
}

QByteArray idleCommand()
{
    if (QApplication::overrideCursor())
        return "ok busy";
    if (QMainWindow *window = mainWindow())
        window->repaint();
    return "ok idle";
}

QByteArray invokeCommand(const QString &slot)
{
    QMainWindow *window = mainWindow();
    if (!window)
        return "error no window";
    if (!QMetaObject::invokeMethod(window, slot.toUtf8().constData(), Qt::DirectConnection))
        return "error no slot " + slot.toUtf8();
    return "ok";
}

QByteArray runCommand(const QString &line)
{
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return "error empty";
    const QString rest = line.section(QLatin1Char(' '), 1).trimmed();
    if (words[0] == QLatin1String("key"))
        return keyCommand(words);
    if (words[0] == QLatin1String("type"))
        return typeCommand(words);
    if (words[0] == QLatin1String("trigger"))
        return triggerCommand(rest);
    if (words[0] == QLatin1String("property"))
        return propertyCommand(words);
    if (words[0] == QLatin1String("invoke"))
        return invokeCommand(rest);
    if (words[0] == QLatin1String("grab"))
        return grabCommand(rest);
    if (words[0] == QLatin1String("plot"))
        return plotCommand();
    if (words[0] == QLatin1String("idle"))
        return idleCommand();
    return "error unknown command";
}

void startProbe()
{
    const QString portFile = qEnvironmentVariable("RIDUR_E2E_PROBE_FILE");
    if (portFile.isEmpty())
        return;
    auto *server = new QTcpServer(QCoreApplication::instance());
    if (!server->listen(QHostAddress::LocalHost, 0))
        return;
    QObject::connect(server, &QTcpServer::newConnection, server, [server] {
        while (QTcpSocket *socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                while (socket->canReadLine()) {
                    const QString line = QString::fromUtf8(socket->readLine()).trimmed();
                    socket->write(runCommand(line) + '\n');
                }
            });
        }
    });
    QFile file(portFile + QStringLiteral(".part"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QByteArray::number(server->serverPort()));
        file.close();
        file.rename(portFile);
    }
}

} // namespace

// Runs when the program creates its application object.
Q_COREAPP_STARTUP_FUNCTION(startProbe)
