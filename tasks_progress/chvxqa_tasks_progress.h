#pragma once
// The one object through which a program reports the progress of its tasks.
// It owns the progress window and the messages window; both start hidden.
// Task names are paths joined by "::".
#include "cmessageswidget.h"
#include "cprogresswidget.h"

#include <QObject>

class CHVXQA_Tasks_Progress : public QObject
{
    Q_OBJECT

public:
    explicit CHVXQA_Tasks_Progress(QObject *parent = nullptr);
    ~CHVXQA_Tasks_Progress() override;

public slots:
    void progress(const QString &taskName, int current = 0, int total = 100,
                  const QString &error = QString(), const QString &info = QString());
    void taskError(const QString &taskName, const QString &error);
    void taskInfo(const QString &taskName, const QString &info);
    void showProgress();
    void showMessages();
    void hideProgress();
    void hideMessages();
    void clearProgress();
    void clearMessages();
    bool isCompleated();
    bool isMessagesEmpty();
    void setStandaloneMode(bool isStandalone = true);

private:
    CProgressWidget progressWidget;
    CMessagesWidget messagesWidget;
    bool hasMessages = false;
};
