// Small programs for the suppression checks, one per mode (the first
// argument). Each puts one kind of cross-thread access where an entry of
// the suppression files acts: either Qt's or GLib's own handoffs, which the
// files must hide, or a real race of our own next to them, which they must
// not hide. run_check.sh runs a mode with a chosen file and compares.
#include "datathreadhandoff.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QByteArray>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <thread>

#include <pthread.h>
#include <unistd.h>

namespace {

// Written by one thread, read by another.
int shared = 0;

void readPayload(const int *payload)
{
    shared = *payload;
}

void readInput()
{
    shared += 1;
}

// The thread's event loop runs QObjects moved to it. Its end is handed over
// as the window hands over its data thread's end.
class LoopThread
{
public:
    LoopThread()
    {
        QObject::connect(&thread, &QThread::finished, &thread, [this] { end.threadEnds(); },
                         Qt::DirectConnection);
        thread.start();
    }
    ~LoopThread()
    {
        thread.quit();
        thread.wait();
        end.takeThreadEnd();
    }
    DataThreadHandoff end;
    QThread thread;
};

// Runs queued calls in the GUI thread until done() is true.
void processUntil(const std::function<bool()> &done)
{
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

} // namespace

// Named, so that Qt's slot-call templates over them keep their full names
// in the reports.
namespace checks {

class Worker : public QObject
{
    Q_OBJECT

public:
    DataThreadHandoff *handoff = nullptr;
    std::atomic<int> jobs{0};

public slots:
    void readPointer(int *value)
    {
        shared = *value;
        jobs.fetch_add(1, std::memory_order_relaxed);
    }

    // A job of the handoff's kind: reads its input, writes its result.
    void job()
    {
        handoff->takeUp();
        readInput();
        handoff->answer([this] { emit answered(); });
    }

signals:
    void answered();
};

class Requester : public QObject
{
    Q_OBJECT

signals:
    void pointer(int *value);
    void request();
};

} // namespace checks

namespace {

using checks::Requester;
using checks::Worker;

// A QThread::run writes a value, main reads it after wait(). The thread
// stays in run until main is about to wait (flags relaxed: they order
// nothing), so that wait() blocks on QThread's wait condition.
int qthreadWait()
{
    struct Writer : QThread {
        std::atomic<bool> mainWaits{false};
        int value = 0;
        void run() override
        {
            value = 42;
            while (!mainWaits.load(std::memory_order_relaxed))
                msleep(10);
            msleep(1000);
        }
    } writer;
    writer.start();
    writer.mainWaits.store(true, std::memory_order_relaxed);
    writer.wait();
    return writer.value == 42 ? 0 : 1;
}

// An event posted to a thread whose event loop already waits: GLib's
// wakeup descriptor, created by that thread, is written by this one.
int glibWakeup()
{
    QObject receiver; // goes after the thread has ended
    LoopThread loop;
    receiver.moveToThread(&loop.thread);
    QThread::msleep(300);
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QThread::msleep(300);
    return 0;
}

// A thread whose event loop ran and which has finished before wait() is
// called, then deleted, as the window ends its data thread: wait() returns
// through QThread's own mutex, and the thread object frees what Qt kept for
// the thread (its end is handed over) and destroys the wait condition the
// finished thread woke last.
int threadEnd()
{
    DataThreadHandoff end;
    auto *thread = new QThread;
    QObject::connect(thread, &QThread::finished, thread, [&end] { end.threadEnds(); },
                     Qt::DirectConnection);
    thread->start();
    QThread::msleep(200);
    thread->quit();
    QThread::msleep(500);
    thread->wait();
    end.takeThreadEnd();
    delete thread;
    return 0;
}

// One thread fills a buffer while another write()s it.
int bufferWrite()
{
    static char buffer[64];
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return 2;
    std::thread filler([] { std::memset(buffer, 'x', sizeof buffer); });
    QThread::msleep(200);
    const bool written = write(pipeEnds[1], buffer, sizeof buffer) == sizeof buffer;
    filler.join();
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return written ? 0 : 2;
}

// A queued call whose captured payload the sender changes after posting.
int postedPayload()
{
    QObject receiver; // goes after the thread has ended
    LoopThread loop;
    receiver.moveToThread(&loop.thread);
    auto *payload = new int(1);
    std::atomic<bool> read{false};
    QMetaObject::invokeMethod(&receiver, [payload, &read] {
        readPayload(payload);
        read.store(true, std::memory_order_relaxed);
    }, Qt::QueuedConnection);
    *payload = 2;
    processUntil([&] { return read.load(std::memory_order_relaxed); });
    delete payload;
    return 0;
}

// A queued signal passes a pointer; the sender writes through it after
// emitting, the receiving slot reads through it.
int queuedPointer()
{
    Worker worker;
    LoopThread loop;
    worker.moveToThread(&loop.thread);
    Requester requester;
    QObject::connect(&requester, &Requester::pointer, &worker, &Worker::readPointer);
    static int value = 1;
    emit requester.pointer(&value);
    value = 2;
    processUntil([&] { return worker.jobs.load(std::memory_order_relaxed) == 1; });
    return 0;
}

// Jobs through the handoff, each one handed over as soon as the previous
// answer has arrived; lateInput writes the job's input after handing it
// over instead of before.
int handoffJobs(bool lateInput)
{
    DataThreadHandoff handoff;
    Worker worker;
    worker.handoff = &handoff;
    LoopThread loop;
    worker.moveToThread(&loop.thread);
    Requester requester;
    QObject::connect(&requester, &Requester::request, &worker, &Worker::job);
    int answers = 0;
    QObject::connect(&worker, &Worker::answered, &requester, [&] {
        handoff.takeAnswer();
        ++answers;
    });
    for (int job = 0; job < 50; ++job) {
        if (!lateInput)
            shared = job;
        handoff.handOver([&] { emit requester.request(); });
        if (lateInput)
            shared = job;
        processUntil([&] { return answers == job + 1; });
    }
    return 0;
}

// A Qt array of ours: one thread writes its elements, another reads them
// after a sleep, without ordering.
int qtArrayElements()
{
    QVector<int> values(16);
    QThread::msleep(100);
    std::thread writer([&values] {
        int *data = values.data();
        for (int i = 0; i < 16; ++i)
            data[i] = i;
    });
    QThread::msleep(200);
    const int *data = values.constData();
    int sum = 0;
    for (int i = 0; i < 16; ++i)
        sum += data[i];
    writer.join();
    return sum == 120 ? 0 : 1;
}

// A plain race of two threads on one value, the reader after a sleep.
int unsynchronised()
{
    std::thread writer([] { shared = 1; });
    QThread::msleep(200);
    const int seen = shared;
    writer.join();
    return seen == 1 ? 0 : 1;
}

// A mutex destroyed while it is still locked.
int lockedMutexDestroyed()
{
    pthread_mutex_t mutex;
    pthread_mutex_init(&mutex, nullptr);
    pthread_mutex_lock(&mutex);
    pthread_mutex_destroy(&mutex);
    return 0;
}

void loopThreadWrite()
{
    ++shared;
}

void guiThreadRead(int *seen)
{
    *seen = shared;
}

// Slots that event loops run, one in this thread and one in a thread of
// its own: the thread's timer writes what this thread's timer reads. Both
// timers are made and started in their own threads, so that nothing but
// the value passes between them.
int loopSlots()
{
    QThread thread;
    QObject::connect(&thread, &QThread::started, [&thread] {
        auto *writer = new QTimer();
        QObject::connect(writer, &QTimer::timeout, loopThreadWrite);
        QObject::connect(&thread, &QThread::finished, writer, [writer] { delete writer; },
                         Qt::DirectConnection);
        writer->start(5);
    });
    thread.start();
    int seen = 0;
    QTimer reader;
    QObject::connect(&reader, &QTimer::timeout, [&seen] { guiThreadRead(&seen); });
    reader.start(5);
    QTimer::singleShot(1000, qApp, &QCoreApplication::quit);
    QApplication::exec();
    thread.quit();
    thread.wait();
    return seen >= 0 ? 0 : 1;
}

// A surface drawn by OpenGL: under Xvfb, Mesa's software renderer and its
// worker threads.
struct Canvas : QOpenGLWidget, QOpenGLFunctions {
    void initializeGL() override { initializeOpenGLFunctions(); }
    void paintGL() override
    {
        glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
};

// A window drawn through X11, half by QPainter and half by OpenGL (Mesa's
// software renderer and its worker threads), for a second. With race, a
// thread writes what the paint event reads.
int x11Window(bool race)
{
    struct Window : QWidget {
        void paintEvent(QPaintEvent *) override
        {
            QPainter painter(this);
            painter.drawText(rect(), QString::number(shared));
        }
    } window;
    auto *canvas = new Canvas;
    canvas->setParent(&window);
    canvas->setGeometry(100, 0, 100, 100);
    std::thread writer;
    if (race)
        writer = std::thread([] {
            for (int i = 0; i < 100; ++i) {
                shared = i;
                QThread::msleep(5);
            }
        });
    window.resize(200, 100);
    window.show();
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, [&] {
        window.repaint();
        canvas->update();
    });
    repaint.start(10);
    QTimer::singleShot(1000, qApp, &QCoreApplication::quit);
    QApplication::exec();
    if (writer.joinable())
        writer.join();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const std::map<QByteArray, std::function<int()>> modes{
        {"qthread-wait", qthreadWait},
        {"glib-wakeup", glibWakeup},
        {"thread-end", threadEnd},
        {"buffer-write", bufferWrite},
        {"posted-payload", postedPayload},
        {"queued-pointer", queuedPointer},
        {"handoff-jobs", [] { return handoffJobs(false); }},
        {"handoff-late-input", [] { return handoffJobs(true); }},
        {"unsynchronised", unsynchronised},
        {"qt-array-elements", qtArrayElements},
        {"locked-mutex-destroyed", lockedMutexDestroyed},
        {"loop-slots", loopSlots},
        {"x11-window", [] { return x11Window(false); }},
        {"x11-paint-race", [] { return x11Window(true); }},
    };
    const auto mode = argc > 1 ? modes.find(QByteArray(argv[1])) : modes.end();
    if (mode == modes.end()) {
        std::fprintf(stderr, "usage: tsan_checks <mode>\n");
        return 2;
    }
    return mode->second();
}

#include "tsan_checks.moc"
