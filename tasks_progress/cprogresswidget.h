#pragma once
// The progress window: a summary line, an overall bar and the task tree, one
// TaskProgressWidget row per task. Task names are paths joined by "::".
#include <QHash>
#include <QString>
#include <QWidget>

class TaskProgressWidget;

namespace Ui {
class CProgressWidget;
}

class CProgressWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CProgressWidget(QWidget *parent = nullptr);
    ~CProgressWidget() override;

    // Makes sure that the task and all its ancestors have rows.
    void addTask(const QString &taskName);
    // Unknown names are ignored. current == total first completes the
    // unfinished sub-tasks with the note "Task was canceled.".
    void setTaskProgress(const QString &taskName, int current, int total);
    void setTaskError(const QString &taskName, const QString &text);
    void setTaskInfo(const QString &taskName, const QString &text);
    void completeSubtasks(const QString &taskName, const QString &message);
    int completedCount() const;
    int taskCount() const;
    void updateSummary();

signals:
    void clearedProgress();

public slots:
    void showDetails();
    void hideDetails();
    void clearProgress();
    void taskErrorStateChanged(bool shown);

private:
    void insertRow(int position, TaskProgressWidget *row);

    Ui::CProgressWidget *ui;
    QHash<QString, TaskProgressWidget *> tasks;
    int errorCount = 0;
    int rowHeight = 48;
};
