#include "taskprogresswidget.h"
#include "ui_taskprogresswidget.h"

#include "erroricon.h"

#include <QMouseEvent>
#include <QProgressBar>
#include <QScrollBar>

TaskProgressWidget::TaskProgressWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::TaskProgressWidget)
{
    ui->setupUi(this);

    // The operator's workstation keeps the icon in its temporary folder; an
    // absent file leaves the icon empty but the label keeps its place.
    ui->errorIconLabel->setPixmap(TasksProgress::errorIcon());
    ui->errorIconLabel->setScaledContents(true);
    ui->errorIconLabel->hide();

    ui->taskMessageText->setReadOnly(true);
    ui->taskMessageText->hide();

    // Only the program sets the check state.
    ui->compleatedBox->setEnabled(false);
    ui->compleatedBox->setStyleSheet(QStringLiteral("color: black"));
    ui->compleatedBox->installEventFilter(this);
}

TaskProgressWidget::~TaskProgressWidget()
{
    delete ui;
}

void TaskProgressWidget::setTaskName(const QString &name)
{
    ui->compleatedBox->setText(name);
}

void TaskProgressWidget::setProgress(int current, int total)
{
    // The bar ignores a value outside its range: a current past the total
    // shows a full bar, a negative one an empty bar.
    QProgressBar *bar = ui->taskProgressBar;
    bar->setRange(0, total);
    bar->setValue(qBound(bar->minimum(), current, bar->maximum()));

    if (current == 0)
        ui->compleatedBox->setCheckState(Qt::Unchecked);
    else if (current >= total)
        ui->compleatedBox->setCheckState(Qt::Checked);
    else if (current > 0)
        ui->compleatedBox->setCheckState(Qt::PartiallyChecked);
    // A negative current below the total keeps the state.

    ui->compleatedBox->update();
    ui->taskProgressBar->update();
}

bool TaskProgressWidget::isCompleted() const
{
    return ui->compleatedBox->checkState() == Qt::Checked;
}

void TaskProgressWidget::setCompleted()
{
    ui->compleatedBox->setCheckState(Qt::Checked);
}

void TaskProgressWidget::addMessage(const QString &text)
{
    ui->taskMessageText->appendPlainText(text + QLatin1Char('\n'));
}

void TaskProgressWidget::setError(const QString &text)
{
    ui->compleatedBox->setStyleSheet(QStringLiteral("color: red"));
    ui->errorIconLabel->show();
    ui->taskMessageText->appendPlainText(text + QLatin1Char('\n'));
}

void TaskProgressWidget::setIndentLevel(int level)
{
    if (level > 0)
        ui->verticalLayout->setContentsMargins(15 * level + 15, 11, 11, 11);
}

bool TaskProgressWidget::eventFilter(QObject *watched, QEvent *event)
{
    // The check box is disabled, so its presses are caught here; the event
    // goes on unconsumed. The second press of a double click arrives as a
    // double-click event.
    const bool press = event->type() == QEvent::MouseButtonPress
        || event->type() == QEvent::MouseButtonDblClick;
    if (watched == ui->compleatedBox && press)
        toggleMessageArea();
    return QWidget::eventFilter(watched, event);
}

void TaskProgressWidget::mousePressEvent(QMouseEvent *event)
{
    // Should a press on the disabled check box travel on to this row, the
    // filter has toggled for it already. The second press of a double click
    // on the row comes here through the base double-click handler.
    if (childAt(event->pos()) != ui->compleatedBox)
        toggleMessageArea();
    QWidget::mousePressEvent(event);
}

void TaskProgressWidget::toggleMessageArea()
{
    // The area's own flag, so that the toggle also holds while the window
    // is not on screen.
    bool shown = false;
    if (!ui->taskMessageText->isHidden()) {
        ui->taskMessageText->hide();
    } else {
        ui->taskMessageText->show();
        QScrollBar *bar = ui->taskMessageText->verticalScrollBar();
        bar->setValue(bar->minimum());
        shown = true;
    }
    emit displayingTaskMessage(shown);
}
