#include "chvxqa_tasks_progress.h"

#include "panel_probe.h"

#include <QPointer>

#include <gtest/gtest.h>

namespace {

// The one top-level window of the given kind.
template <class W>
W *topLevel()
{
    W *found = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *candidate = qobject_cast<W *>(w)) {
            EXPECT_EQ(found, nullptr) << "more than one window";
            found = candidate;
        }
    }
    return found;
}

// The messages window's lines from the top, "task|text" each.
QStringList messageLines(const CMessagesWidget *window)
{
    const QTableWidget *table = part<QTableWidget>(window, "messagesText");
    QStringList lines;
    for (int r = 0; r < table->rowCount(); ++r)
        lines << table->item(r, 0)->text() + "|" + table->item(r, 1)->text();
    return lines;
}

} // namespace

class TasksProgress : public ::testing::Test {
protected:
    void SetUp() override
    {
        progressWindow = topLevel<CProgressWidget>();
        messagesWindow = topLevel<CMessagesWidget>();
        ASSERT_NE(progressWindow, nullptr);
        ASSERT_NE(messagesWindow, nullptr);
    }

    bool invoke(const char *slot, QGenericArgument a0 = QGenericArgument(),
                QGenericArgument a1 = QGenericArgument(), QGenericArgument a2 = QGenericArgument(),
                QGenericArgument a3 = QGenericArgument(), QGenericArgument a4 = QGenericArgument())
    {
        return QMetaObject::invokeMethod(&panel, slot, Qt::DirectConnection, a0, a1, a2, a3, a4);
    }

    bool ask(const char *slot)
    {
        bool result = false;
        EXPECT_TRUE(QMetaObject::invokeMethod(&panel, slot, Qt::DirectConnection,
                                              Q_RETURN_ARG(bool, result)));
        return result;
    }

    QString summary() const { return part<QLabel>(progressWindow, "progressTitle")->text(); }
    TaskProgressWidget *row(const QString &text) const
    {
        const int r = rowIndexOf(progressWindow, text);
        return r < 0 ? nullptr : rowAt(progressWindow, r);
    }

    CHVXQA_Tasks_Progress panel;
    CProgressWidget *progressWindow = nullptr;
    CMessagesWidget *messagesWindow = nullptr;
};

TEST_F(TasksProgress, SlotsInMetaObjectOrder)
{
    const char *expected[] = {
        "progress(QString,int,int,QString,QString)",
        "progress(QString,int,int,QString)",
        "progress(QString,int,int)",
        "progress(QString,int)",
        "progress(QString)",
        "taskError(QString,QString)",
        "taskInfo(QString,QString)",
        "showProgress()",
        "showMessages()",
        "hideProgress()",
        "hideMessages()",
        "clearProgress()",
        "clearMessages()",
        "isCompleated()",
        "isMessagesEmpty()",
        "setStandaloneMode(bool)",
        "setStandaloneMode()",
    };
    const QMetaObject *mo = panel.metaObject();
    ASSERT_EQ(mo->methodCount() - mo->methodOffset(), int(std::size(expected)));
    for (int i = 0; i < int(std::size(expected)); ++i) {
        const QMetaMethod m = mo->method(mo->methodOffset() + i);
        EXPECT_EQ(m.methodSignature(), expected[i]) << i;
        EXPECT_EQ(m.methodType(), QMetaMethod::Slot) << i;
    }
    EXPECT_EQ(mo->method(mo->indexOfMethod("isCompleated()")).returnType(), QMetaType::Bool);
}

TEST_F(TasksProgress, StartsHiddenWithDetailsFolded)
{
    EXPECT_TRUE(progressWindow->isHidden());
    EXPECT_TRUE(messagesWindow->isHidden());
    EXPECT_TRUE(tableOf(progressWindow)->isHidden());
    EXPECT_TRUE(part<QPushButton>(progressWindow, "hideDetailsButton")->isHidden());
    EXPECT_FALSE(part<QPushButton>(progressWindow, "showDetailsButton")->isHidden());
    EXPECT_EQ(messagesWindow->windowTitle(), "Messages");
    EXPECT_TRUE(ask("isCompleated"));
    EXPECT_TRUE(ask("isMessagesEmpty"));
}

TEST_F(TasksProgress, EveryProgressFormByName)
{
    const QString error = "disk full";
    const QString info = "reading";
    EXPECT_TRUE(invoke("progress", Q_ARG(QString, "Full"), Q_ARG(int, 1), Q_ARG(int, 2),
                       Q_ARG(QString, error), Q_ARG(QString, info)));
    EXPECT_TRUE(invoke("progress", Q_ARG(QString, "NoInfo"), Q_ARG(int, 3), Q_ARG(int, 3),
                       Q_ARG(QString, error)));
    EXPECT_TRUE(invoke("progress", Q_ARG(QString, "Steps"), Q_ARG(int, 2), Q_ARG(int, 4)));
    EXPECT_TRUE(invoke("progress", Q_ARG(QString, "Percent"), Q_ARG(int, 100)));
    EXPECT_TRUE(invoke("progress", Q_ARG(QString, "Named")));

    const struct {
        const char *name;
        int value;
        int maximum;
        Qt::CheckState state;
    } rows[] = {{"Full", 1, 2, Qt::PartiallyChecked},
                {"NoInfo", 3, 3, Qt::Checked},
                {"Steps", 2, 4, Qt::PartiallyChecked},
                {"Percent", 100, 100, Qt::Checked},
                {"Named", 0, 100, Qt::Unchecked}};
    for (const auto &r : rows) {
        ASSERT_NE(row(r.name), nullptr) << r.name;
        auto *bar = part<QProgressBar>(row(r.name), "taskProgressBar");
        EXPECT_EQ(bar->value(), r.value) << r.name;
        EXPECT_EQ(bar->maximum(), r.maximum) << r.name;
        EXPECT_EQ(checkBoxOf(row(r.name))->checkState(), r.state) << r.name;
    }
    // Both texts: the error first, so the information stands above it.
    EXPECT_EQ(messageLines(messagesWindow),
              QStringList({"NoInfo|disk full", "Full|reading", "Full|disk full"}));
    EXPECT_EQ(messageText(row("Full")), "disk full\n\nreading\n");
    EXPECT_EQ(summary(), "Done: 2 of 5 (2 errors)");
    EXPECT_EQ(progressWindow->windowTitle(), "Tasks Progress - Done: 2 of 5 (2 errors)");
}

TEST_F(TasksProgress, OneSeparatorIsTrimmedAtEachEnd)
{
    const struct {
        const char *reported;
        QStringList rows;
    } cases[] = {
        {"::A::", {"A/11"}},
        {"::A::B::", {"A/11", "B/30"}},
        {"::::A", {"/11", "A/30"}},
        {"A::::", {"A/11", "/30"}},
        {"::", {"/11"}},
    };
    for (const auto &c : cases) {
        panel.clearProgress();
        panel.progress(c.reported, 1, 1);
        EXPECT_EQ(tableRows(progressWindow), c.rows) << c.reported;
    }
}

TEST_F(TasksProgress, LoadStepsLeaveOneCheckedRow)
{
    for (int step = 2; step <= 4; ++step) {
        panel.progress("Load Data", step, 4, QString(), QString());
        EXPECT_EQ(panel.isCompleated(), step == 4) << step;
    }
    EXPECT_EQ(tableOf(progressWindow)->rowCount(), 1);
    EXPECT_EQ(checkBoxOf(row("Load Data"))->checkState(), Qt::Checked);
    EXPECT_EQ(summary(), "Done: 1 of 1 (no errors)");
    EXPECT_TRUE(panel.isMessagesEmpty());
}

TEST_F(TasksProgress, FinishingAParentNotesItsCanceledChildren)
{
    panel.progress("Load Data::Read::a.nexra", 1, 3);
    panel.progress("Load Data::Read::b.nexra", 3, 3);
    panel.progress("Load Data", 4, 4);
    EXPECT_TRUE(panel.isCompleated());
    EXPECT_EQ(messageText(row("a.nexra")), "Task was canceled.\n");
    EXPECT_EQ(messageText(row("b.nexra")), "");
    EXPECT_EQ(summary(), "Done: 4 of 4 (no errors)");
}

TEST_F(TasksProgress, ErrorAndInfoByName)
{
    panel.progress("A");
    EXPECT_TRUE(invoke("taskError", Q_ARG(QString, "A"), Q_ARG(QString, "broken")));
    EXPECT_FALSE(ask("isMessagesEmpty"));
    EXPECT_TRUE(invoke("taskInfo", Q_ARG(QString, "A"), Q_ARG(QString, "note")));
    EXPECT_EQ(messageLines(messagesWindow), QStringList({"A|note", "A|broken"}));
    EXPECT_EQ(messageText(row("A")), "broken\n\nnote\n");
    // No summary refresh until the next progress report.
    EXPECT_EQ(summary(), "Done: 0 of 1 (no errors)");
    panel.progress("A", 1, 2);
    EXPECT_EQ(summary(), "Done: 0 of 1 (1 error)");
}

TEST_F(TasksProgress, TextsForTasksWithoutARowReachOnlyTheMessages)
{
    panel.progress("A");
    panel.taskError("::A", "untrimmed");
    panel.taskInfo("B", "no row");
    panel.progress("A", 1, 2);
    EXPECT_EQ(messageLines(messagesWindow), QStringList({"B|no row", "::A|untrimmed"}));
    EXPECT_FALSE(panel.isMessagesEmpty());
    EXPECT_EQ(tableOf(progressWindow)->rowCount(), 1);
    EXPECT_EQ(messageText(row("A")), "");
    EXPECT_EQ(summary(), "Done: 0 of 1 (no errors)");
}

TEST_F(TasksProgress, ClearingEmptiesTheMessages)
{
    const char *clearSlots[] = {"clearProgress", "clearMessages"};
    for (const char *clearSlot : clearSlots) {
        panel.progress("A", 1, 2, "broken", "note");
        ASSERT_FALSE(panel.isMessagesEmpty());
        ASSERT_TRUE(invoke(clearSlot));
        EXPECT_TRUE(panel.isMessagesEmpty()) << clearSlot;
        EXPECT_TRUE(messageLines(messagesWindow).isEmpty()) << clearSlot;
    }
    // Only clearProgress took the rows away.
    EXPECT_EQ(tableOf(progressWindow)->rowCount(), 1);
}

TEST_F(TasksProgress, ClearAllButtonEmptiesTheMessagesToo)
{
    panel.progress("A", 1, 2, "broken");
    panel.showProgress();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(progressWindow));
    QPushButton *clear = part<QPushButton>(progressWindow, "clearButton");
    clickAt(clear, clear->rect().center());
    EXPECT_TRUE(panel.isMessagesEmpty());
    EXPECT_TRUE(messageLines(messagesWindow).isEmpty());
    EXPECT_EQ(summary(), "Done: 0 of 0 (no errors)");
}

TEST_F(TasksProgress, ShowAndHideTheWindows)
{
    const struct {
        const char *show;
        const char *hide;
        QWidget *window;
    } cases[] = {{"showProgress", "hideProgress", progressWindow},
                 {"showMessages", "hideMessages", messagesWindow}};
    for (const auto &c : cases) {
        ASSERT_TRUE(invoke(c.show));
        EXPECT_TRUE(c.window->isVisible()) << c.show;
        ASSERT_TRUE(invoke(c.hide));
        EXPECT_TRUE(c.window->isHidden()) << c.hide;
    }
}

TEST_F(TasksProgress, StandaloneModeHidesTheHideButton)
{
    QPushButton *hide = part<QPushButton>(progressWindow, "hideButton");
    ASSERT_TRUE(invoke("setStandaloneMode"));
    EXPECT_TRUE(hide->isHidden());
    ASSERT_TRUE(invoke("setStandaloneMode", Q_ARG(bool, false)));
    EXPECT_FALSE(hide->isHidden());
    ASSERT_TRUE(invoke("setStandaloneMode", Q_ARG(bool, true)));
    EXPECT_TRUE(hide->isHidden());
}

TEST(TasksProgressLifetime, DestructionClosesAndDestroysVisibleWindows)
{
    auto *owner = new QObject;
    auto *panel = new CHVXQA_Tasks_Progress(owner);
    QPointer<CProgressWidget> progressWindow = topLevel<CProgressWidget>();
    QPointer<CMessagesWidget> messagesWindow = topLevel<CMessagesWidget>();
    ASSERT_TRUE(progressWindow && messagesWindow);
    panel->progress("A", 1, 2, "broken");
    panel->showProgress();
    panel->showMessages();
    ASSERT_TRUE(progressWindow->isVisible() && messagesWindow->isVisible());

    QStringList order;
    QObject::connect(messagesWindow, &QObject::destroyed, [&] { order << "messages"; });
    QObject::connect(progressWindow, &QObject::destroyed, [&] { order << "progress"; });
    struct CloseWatch : QObject {
        QStringList *order;
        bool eventFilter(QObject *o, QEvent *e) override
        {
            if (e->type() == QEvent::Close)
                *order << "close " + o->objectName();
            return false;
        }
    } watch;
    watch.order = &order;
    progressWindow->installEventFilter(&watch);
    messagesWindow->installEventFilter(&watch);

    delete owner;

    EXPECT_TRUE(progressWindow.isNull());
    EXPECT_TRUE(messagesWindow.isNull());
    EXPECT_EQ(order, QStringList({"close CProgressWidget", "close CMessagesWidget", "messages",
                                  "progress"}));
}
