#pragma once
// Closes every message box that the GUI thread shows while alive and notes
// what it showed, so code that shows a modal box can run inside a test.
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QThread>
#include <QTimer>

class MessageBoxCloser
{
public:
    MessageBoxCloser()
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] { closeVisibleBoxes(); });
        timer.start();
    }

    // "title|text" of each box closed.
    QStringList shown;
    bool createdOutsideGuiThread = false;

private:
    void closeVisibleBoxes()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (!box || !box->isVisible())
                continue;
            if (box->thread() != qApp->thread())
                createdOutsideGuiThread = true;
            shown << box->windowTitle() + QLatin1Char('|') + box->text();
            box->done(QMessageBox::Ok);
            box->hide();
        }
    }

    QTimer timer;
};
