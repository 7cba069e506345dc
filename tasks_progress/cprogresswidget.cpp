#include "cprogresswidget.h"
#include "ui_cprogresswidget.h"

#include "taskprogresswidget.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

const QString separator = QStringLiteral("::");

// The parts of a task name, split at "::" from the left without overlap.
QStringList nameParts(const QString &taskName)
{
    return taskName.split(separator);
}

} // namespace

CProgressWidget::CProgressWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::CProgressWidget)
{
    ui->setupUi(this);
    ui->tasksTable->setMinimumHeight(300);
    updateSummary();
}

CProgressWidget::~CProgressWidget()
{
    delete ui;
}

void CProgressWidget::addTask(const QString &taskName)
{
    if (tasks.contains(taskName))
        return;

    auto *row = new TaskProgressWidget;
    tasks.insert(taskName, row);

    const QStringList parts = nameParts(taskName);
    const int level = parts.size() - 1;
    row->setTaskName(parts.last());
    row->setProgress(0, 100);
    connect(row, &TaskProgressWidget::displayingTaskMessage,
            this, &CProgressWidget::taskErrorStateChanged);
    row->setIndentLevel(level);

    if (level == 0) {
        insertRow(0, row);
        return;
    }

    const QString parentName = parts.mid(0, level).join(separator);
    addTask(parentName);
    TaskProgressWidget *parentRow = tasks.value(parentName);
    for (int r = 0; r < ui->tasksTable->rowCount(); ++r) {
        if (ui->tasksTable->cellWidget(r, 0) == parentRow) {
            insertRow(r + 1, row);
            return;
        }
    }
}

void CProgressWidget::insertRow(int position, TaskProgressWidget *row)
{
    ui->tasksTable->insertRow(position);
    ui->tasksTable->setRowHeight(position, rowHeight);
    ui->tasksTable->setCellWidget(position, 0, row);
}

void CProgressWidget::setTaskProgress(const QString &taskName, int current, int total)
{
    TaskProgressWidget *row = tasks.value(taskName);
    if (!row)
        return;
    if (current == total)
        completeSubtasks(taskName, tr("Task was canceled."));
    row->setProgress(current, total);
}

void CProgressWidget::setTaskError(const QString &taskName, const QString &text)
{
    TaskProgressWidget *row = tasks.value(taskName);
    if (!row)
        return;
    ++errorCount;
    row->setError(text);
}

void CProgressWidget::setTaskInfo(const QString &taskName, const QString &text)
{
    if (TaskProgressWidget *row = tasks.value(taskName))
        row->addMessage(text);
}

void CProgressWidget::completeSubtasks(const QString &taskName, const QString &message)
{
    const QString prefix = taskName + separator;
    for (auto it = tasks.cbegin(); it != tasks.cend(); ++it) {
        if (!it.key().startsWith(prefix) || it.value()->isCompleted())
            continue;
        it.value()->setCompleted();
        if (!message.isEmpty())
            it.value()->addMessage(message);
    }
}

int CProgressWidget::completedCount() const
{
    int done = 0;
    for (const TaskProgressWidget *row : tasks)
        done += row->isCompleted() ? 1 : 0;
    return done;
}

int CProgressWidget::taskCount() const
{
    return tasks.size();
}

void CProgressWidget::updateSummary()
{
    const int done = completedCount();
    const int total = taskCount();
    ui->progressBar->setRange(0, total);
    ui->progressBar->setValue(done);

    QString errors;
    if (errorCount == 0)
        errors = tr("no errors");
    else if (errorCount == 1)
        errors = tr("1 error");
    else
        errors = tr("%1 errors").arg(errorCount);

    const QString summary = tr("Done: %1 of %2 (%3)")
                                .arg(QString::number(done), QString::number(total), errors);
    ui->progressTitle->setText(summary);
    setWindowTitle(tr("Tasks Progress - %1").arg(summary));
}

void CProgressWidget::clearProgress()
{
    errorCount = 0;
    tasks.clear();
    ui->tasksTable->clearContents();
    for (int r = ui->tasksTable->rowCount() - 1; r >= 0; --r)
        ui->tasksTable->removeRow(r);
    updateSummary();
    emit clearedProgress();
}

void CProgressWidget::showDetails()
{
    ui->hideDetailsButton->show();
    ui->showDetailsButton->hide();
    ui->tasksTable->show();
    QCoreApplication::processEvents();
    resize(width(), 0);
}

void CProgressWidget::hideDetails()
{
    ui->hideDetailsButton->hide();
    ui->showDetailsButton->show();
    ui->tasksTable->hide();
    QCoreApplication::processEvents();
    resize(width(), 0);
}

void CProgressWidget::taskErrorStateChanged(bool shown)
{
    QObject *row = sender();
    if (!row)
        return;
    for (int r = 0; r < ui->tasksTable->rowCount(); ++r) {
        if (ui->tasksTable->cellWidget(r, 0) == row)
            ui->tasksTable->setRowHeight(r, shown ? rowHeight + 128 : rowHeight);
    }
}
