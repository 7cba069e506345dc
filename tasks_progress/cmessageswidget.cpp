#include "cmessageswidget.h"
#include "ui_cmessageswidget.h"

#include <QTableWidgetItem>

CMessagesWidget::CMessagesWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::CMessagesWidget)
{
    ui->setupUi(this);
    setWindowTitle(tr("Messages"));
}

CMessagesWidget::~CMessagesWidget()
{
    delete ui;
}

void CMessagesWidget::setTaskText(const QString &taskName, const QString &text)
{
    ui->messagesText->insertRow(0);
    ui->messagesText->setItem(0, 0, new QTableWidgetItem(taskName));
    ui->messagesText->setItem(0, 1, new QTableWidgetItem(text));
}

void CMessagesWidget::clearMessages()
{
    ui->messagesText->clearContents();
    for (int row = ui->messagesText->rowCount() - 1; row >= 0; --row)
        ui->messagesText->removeRow(row);
}
