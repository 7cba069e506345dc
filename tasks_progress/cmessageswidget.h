#pragma once
// The messages window: the error and information texts of the tasks, newest
// first.
#include <QWidget>

namespace Ui {
class CMessagesWidget;
}

class CMessagesWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CMessagesWidget(QWidget *parent = nullptr);
    ~CMessagesWidget() override;

public slots:
    void setTaskText(const QString &taskName, const QString &text);
    void clearMessages();

private:
    Ui::CMessagesWidget *ui;
};
