#pragma once
// Reads the task panel's widgets the way a user sees them: by object name.
#include "cprogresswidget.h"
#include "taskprogresswidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringList>
#include <QTableWidget>
#include <QTest>

template <class T>
T *part(const QWidget *owner, const char *name)
{
    return owner->findChild<T *>(QLatin1String(name));
}

inline QCheckBox *checkBoxOf(const TaskProgressWidget *row)
{
    return part<QCheckBox>(row, "compleatedBox");
}

inline QPlainTextEdit *messageAreaOf(const TaskProgressWidget *row)
{
    return part<QPlainTextEdit>(row, "taskMessageText");
}

inline QTableWidget *tableOf(const CProgressWidget *window)
{
    return part<QTableWidget>(window, "tasksTable");
}

inline TaskProgressWidget *rowAt(const CProgressWidget *window, int r)
{
    return qobject_cast<TaskProgressWidget *>(tableOf(window)->cellWidget(r, 0));
}

// The first row whose check box shows the text.
inline int rowIndexOf(const CProgressWidget *window, const QString &text)
{
    for (int r = 0; r < tableOf(window)->rowCount(); ++r)
        if (checkBoxOf(rowAt(window, r))->text() == text)
            return r;
    return -1;
}

// The table from the top, one "text/left margin" entry per row.
inline QStringList tableRows(const CProgressWidget *window)
{
    QStringList rows;
    for (int r = 0; r < tableOf(window)->rowCount(); ++r) {
        const TaskProgressWidget *row = rowAt(window, r);
        rows << QStringLiteral("%1/%2").arg(checkBoxOf(row)->text())
                    .arg(row->layout()->contentsMargins().left());
    }
    return rows;
}

inline QString messageText(const TaskProgressWidget *row)
{
    return messageAreaOf(row)->toPlainText();
}

// A real press and release, routed by the toolkit from the window down to
// the widget under the point (given in `widget` coordinates).
inline void clickAt(QWidget *widget, QPoint pos)
{
    QWidget *window = widget->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      widget->mapTo(window, pos));
}

inline void doubleClickAt(QWidget *widget, QPoint pos)
{
    QWidget *window = widget->window();
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                       widget->mapTo(window, pos));
}

inline bool showAndWait(QWidget *window)
{
    window->show();
    return QTest::qWaitForWindowExposed(window);
}

inline void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
