#pragma once
// One row of the task table: a tristate check box with the task's name, an
// error icon, a progress bar and a message area that opens on a click.
#include <QWidget>

namespace Ui {
class TaskProgressWidget;
}

class TaskProgressWidget : public QWidget
{
    Q_OBJECT

public:
    explicit TaskProgressWidget(QWidget *parent = nullptr);
    ~TaskProgressWidget() override;

    void setTaskName(const QString &name);
    void setProgress(int current, int total);
    bool isCompleted() const;
    void setCompleted();
    void addMessage(const QString &text);
    void setError(const QString &text);
    void setIndentLevel(int level);

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // Emitted after every toggle of the message area: true when it has just
    // been shown, false when it has just been hidden.
    void displayingTaskMessage(bool state);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void toggleMessageArea();

    Ui::TaskProgressWidget *ui;
};
