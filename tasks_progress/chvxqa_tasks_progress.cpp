#include "chvxqa_tasks_progress.h"

#include <QPushButton>

namespace {

const QString separator = QStringLiteral("::");

// Drops one "::" at the start and one at the end of a task name.
QString trimmedTaskName(QString name)
{
    if (name.startsWith(separator))
        name.remove(0, separator.size());
    if (name.endsWith(separator))
        name.chop(separator.size());
    return name;
}

} // namespace

CHVXQA_Tasks_Progress::CHVXQA_Tasks_Progress(QObject *parent)
    : QObject(parent)
{
    hasMessages = false;
    progressWidget.hide();
    progressWidget.hideDetails();
    connect(&progressWidget, SIGNAL(clearedProgress()), this, SLOT(clearMessages()));
}

CHVXQA_Tasks_Progress::~CHVXQA_Tasks_Progress()
{
    progressWidget.close();
    messagesWidget.close();
}

void CHVXQA_Tasks_Progress::progress(const QString &taskName, int current, int total,
                                     const QString &error, const QString &info)
{
    const QString name = trimmedTaskName(taskName);
    progressWidget.addTask(name);
    progressWidget.setTaskProgress(name, current, total);
    if (!error.isEmpty()) {
        messagesWidget.setTaskText(name, error);
        progressWidget.setTaskError(name, error);
        hasMessages = true;
    }
    if (!info.isEmpty()) {
        messagesWidget.setTaskText(name, info);
        progressWidget.setTaskInfo(name, info);
        hasMessages = true;
    }
    progressWidget.updateSummary();
}

void CHVXQA_Tasks_Progress::taskError(const QString &taskName, const QString &error)
{
    messagesWidget.setTaskText(taskName, error);
    progressWidget.setTaskError(taskName, error);
    hasMessages = true;
}

void CHVXQA_Tasks_Progress::taskInfo(const QString &taskName, const QString &info)
{
    messagesWidget.setTaskText(taskName, info);
    progressWidget.setTaskInfo(taskName, info);
    hasMessages = true;
}

void CHVXQA_Tasks_Progress::showProgress()
{
    progressWidget.show();
    progressWidget.raise();
}

void CHVXQA_Tasks_Progress::showMessages()
{
    messagesWidget.show();
    messagesWidget.raise();
}

void CHVXQA_Tasks_Progress::hideProgress()
{
    progressWidget.hide();
}

void CHVXQA_Tasks_Progress::hideMessages()
{
    messagesWidget.hide();
}

void CHVXQA_Tasks_Progress::clearProgress()
{
    // Its clearedProgress() signal empties the messages as well.
    progressWidget.clearProgress();
}

void CHVXQA_Tasks_Progress::clearMessages()
{
    messagesWidget.clearMessages();
    hasMessages = false;
}

bool CHVXQA_Tasks_Progress::isCompleated()
{
    return progressWidget.completedCount() == progressWidget.taskCount();
}

bool CHVXQA_Tasks_Progress::isMessagesEmpty()
{
    return !hasMessages;
}

void CHVXQA_Tasks_Progress::setStandaloneMode(bool isStandalone)
{
    if (auto *hideButton = progressWidget.findChild<QPushButton *>(QStringLiteral("hideButton")))
        hideButton->setVisible(!isStandalone);
}
