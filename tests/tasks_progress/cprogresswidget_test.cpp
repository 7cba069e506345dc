#include "panel_probe.h"

#include <QDir>
#include <QPointer>

#include <functional>

#include <gtest/gtest.h>

class ProgressWindow : public ::testing::Test {
protected:
    QString summary() const { return part<QLabel>(&window, "progressTitle")->text(); }
    QProgressBar *bar() const { return part<QProgressBar>(&window, "progressBar"); }
    TaskProgressWidget *row(const QString &text) const
    {
        const int r = rowIndexOf(&window, text);
        return r < 0 ? nullptr : rowAt(&window, r);
    }

    CProgressWidget window;
};

TEST_F(ProgressWindow, TreeOrderOfRows)
{
    window.addTask("A::B::C");
    EXPECT_EQ(tableRows(&window), QStringList({"A/11", "B/30", "C/45"}));

    window.addTask("A::D");
    EXPECT_EQ(tableRows(&window), QStringList({"A/11", "D/30", "B/30", "C/45"}));

    window.addTask("E");
    EXPECT_EQ(tableRows(&window), QStringList({"E/11", "A/11", "D/30", "B/30", "C/45"}));

    window.addTask("A::B::F");
    EXPECT_EQ(tableRows(&window),
              QStringList({"E/11", "A/11", "D/30", "B/30", "F/45", "C/45"}));
    EXPECT_EQ(window.taskCount(), 6);

    QTableWidget *table = tableOf(&window);
    for (int r = 0; r < table->rowCount(); ++r)
        EXPECT_EQ(table->rowHeight(r), 48) << r;
}

TEST_F(ProgressWindow, KnownNameIsLeftAlone)
{
    window.addTask("A");
    window.setTaskProgress("A", 30, 100);
    window.addTask("A");
    EXPECT_EQ(tableOf(&window)->rowCount(), 1);
    EXPECT_EQ(checkBoxOf(row("A"))->checkState(), Qt::PartiallyChecked);
}

TEST_F(ProgressWindow, NamesWithEmptyOrOddParts)
{
    const struct {
        const char *name;
        QStringList rows;
    } cases[] = {
        {"A::::B", {"A/11", "/30", "B/45"}},
        {"A:::B", {"A/11", ":B/30"}},
        {"::A", {"/11", "A/30"}},
        {"AB", {"AB/11"}},
    };
    for (const auto &c : cases) {
        window.clearProgress();
        window.addTask(c.name);
        EXPECT_EQ(tableRows(&window), c.rows) << c.name;
    }
}

TEST_F(ProgressWindow, NewRowsStartUncheckedWithAnEmptyBar)
{
    window.addTask("A::B");
    for (const char *name : {"A", "B"}) {
        EXPECT_EQ(checkBoxOf(row(name))->checkState(), Qt::Unchecked);
        auto *taskBar = part<QProgressBar>(row(name), "taskProgressBar");
        EXPECT_EQ(taskBar->value(), 0);
        EXPECT_EQ(taskBar->maximum(), 100);
    }
}

TEST_F(ProgressWindow, FinishingATaskCompletesItsUnfinishedSubtasks)
{
    window.addTask("A::B::C");
    window.addTask("A::D");
    window.addTask("AB");
    window.setTaskProgress("A::D", 1, 1);
    ASSERT_EQ(window.completedCount(), 1);

    window.setTaskProgress("A", 4, 4);

    EXPECT_EQ(window.completedCount(), 4);
    EXPECT_TRUE(row("A")->isCompleted());
    EXPECT_EQ(messageText(row("B")), "Task was canceled.\n");
    EXPECT_EQ(messageText(row("C")), "Task was canceled.\n");
    EXPECT_EQ(messageText(row("D")), "");
    EXPECT_EQ(messageText(row("A")), "");
    EXPECT_FALSE(row("AB")->isCompleted());
    EXPECT_EQ(messageText(row("AB")), "");
}

TEST_F(ProgressWindow, OnlyTheExactTotalCompletesSubtasks)
{
    window.addTask("A::B");
    window.setTaskProgress("A", 5, 4);
    EXPECT_TRUE(row("A")->isCompleted());
    EXPECT_FALSE(row("B")->isCompleted());
    EXPECT_EQ(messageText(row("B")), "");
}

TEST_F(ProgressWindow, UnknownNamesAreIgnored)
{
    window.addTask("A");
    window.setTaskProgress("B", 4, 4);
    window.setTaskError("B", "lost");
    window.setTaskInfo("B", "lost");
    window.updateSummary();
    EXPECT_EQ(window.taskCount(), 1);
    EXPECT_EQ(summary(), "Done: 0 of 1 (no errors)");
    EXPECT_EQ(messageText(row("A")), "");
}

TEST_F(ProgressWindow, SummaryCountsDoneTasksAndErrors)
{
    EXPECT_EQ(summary(), "Done: 0 of 0 (no errors)");
    EXPECT_EQ(window.windowTitle(), "Tasks Progress - Done: 0 of 0 (no errors)");
    EXPECT_EQ(bar()->minimum(), 0);
    EXPECT_EQ(bar()->maximum(), 0);

    window.addTask("A");
    window.addTask("B");
    window.addTask("C");
    window.setTaskProgress("B", 10, 10);
    const char *expected[] = {"Done: 1 of 3 (no errors)", "Done: 1 of 3 (1 error)",
                              "Done: 1 of 3 (2 errors)", "Done: 1 of 3 (3 errors)"};
    for (int errors = 0; errors < 4; ++errors) {
        if (errors > 0)
            window.setTaskError("A", QStringLiteral("error %1").arg(errors));
        // The summary waits for updateSummary.
        EXPECT_EQ(summary(), errors == 0 ? "Done: 0 of 0 (no errors)" : expected[errors - 1]);
        window.updateSummary();
        EXPECT_EQ(summary(), expected[errors]);
        EXPECT_EQ(window.windowTitle(), QString("Tasks Progress - ") + expected[errors]);
    }
    EXPECT_EQ(bar()->maximum(), 3);
    EXPECT_EQ(bar()->value(), 1);
    EXPECT_EQ(checkBoxOf(row("A"))->styleSheet(), "color: red");
    EXPECT_EQ(messageText(row("A")), "error 1\n\nerror 2\n\nerror 3\n");
}

TEST_F(ProgressWindow, InfoGoesToTheRow)
{
    window.addTask("A");
    window.setTaskInfo("A", "started");
    EXPECT_EQ(messageText(row("A")), "started\n");
    EXPECT_EQ(checkBoxOf(row("A"))->styleSheet(), "color: black");
}

TEST_F(ProgressWindow, ClearAllEmptiesTheTableAndCounts)
{
    window.addTask("A::B");
    window.setTaskError("A", "failed");
    window.updateSummary();
    QPointer<TaskProgressWidget> rowA = row("A");
    QSignalSpy cleared(&window, &CProgressWidget::clearedProgress);
    ASSERT_TRUE(showAndWait(&window));
    window.showDetails();

    QPushButton *clear = part<QPushButton>(&window, "clearButton");
    clickAt(clear, clear->rect().center());
    flushDeletes();

    EXPECT_EQ(cleared.count(), 1);
    EXPECT_EQ(tableOf(&window)->rowCount(), 0);
    EXPECT_EQ(window.taskCount(), 0);
    EXPECT_TRUE(rowA.isNull());
    EXPECT_EQ(summary(), "Done: 0 of 0 (no errors)");

    // The error count starts again.
    window.addTask("A");
    window.setTaskError("A", "again");
    window.updateSummary();
    EXPECT_EQ(summary(), "Done: 0 of 1 (1 error)");
}

TEST_F(ProgressWindow, DetailsAreFoldedAndShownByTheButtons)
{
    ASSERT_TRUE(showAndWait(&window));
    QPushButton *hideDetails = part<QPushButton>(&window, "hideDetailsButton");
    QPushButton *showDetails = part<QPushButton>(&window, "showDetailsButton");
    QTableWidget *table = tableOf(&window);

    clickAt(hideDetails, hideDetails->rect().center());
    EXPECT_TRUE(table->isHidden());
    EXPECT_TRUE(hideDetails->isHidden());
    EXPECT_TRUE(showDetails->isVisible());
    const int foldedHeight = window.height();
    EXPECT_LT(foldedHeight, 300);

    clickAt(showDetails, showDetails->rect().center());
    EXPECT_TRUE(table->isVisible());
    EXPECT_TRUE(hideDetails->isVisible());
    EXPECT_TRUE(showDetails->isHidden());
    EXPECT_GE(table->height(), 300);
    EXPECT_GT(window.height(), foldedHeight);

    QPushButton *hide = part<QPushButton>(&window, "hideButton");
    clickAt(hide, hide->rect().center());
    EXPECT_TRUE(window.isHidden());
}

// The table row opens by 128 pixels while its message area is shown.
TEST_F(ProgressWindow, RowHeightsFollowClicks)
{
    window.addTask("A::B");
    window.addTask("E");
    ASSERT_TRUE(showAndWait(&window));
    window.showDetails();
    QTableWidget *table = tableOf(&window);
    const int rA = rowIndexOf(&window, "A");
    const int rB = rowIndexOf(&window, "B");
    const int rE = rowIndexOf(&window, "E");

    clickAt(row("A"), QPoint(3, 3));
    EXPECT_EQ(table->rowHeight(rA), 176);
    EXPECT_EQ(table->rowHeight(rB), 48);

    QCheckBox *boxB = checkBoxOf(row("B"));
    clickAt(boxB, boxB->rect().center());
    EXPECT_EQ(table->rowHeight(rB), 176);

    clickAt(row("A"), QPoint(3, 3));
    EXPECT_EQ(table->rowHeight(rA), 48);
    EXPECT_EQ(table->rowHeight(rB), 176);
    EXPECT_EQ(table->rowHeight(rE), 48);

    // A double click on a check box is two presses: open, then closed.
    QSignalSpy spy(row("E"), &TaskProgressWidget::displayingTaskMessage);
    QCheckBox *boxE = checkBoxOf(row("E"));
    doubleClickAt(boxE, boxE->rect().center());
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(table->rowHeight(rE), 48);
}

TEST_F(ProgressWindow, RowHeightSlotNeedsASender)
{
    window.addTask("A");
    window.taskErrorStateChanged(true);
    EXPECT_EQ(tableOf(&window)->rowHeight(0), 48);
}

TEST_F(ProgressWindow, MetaObjectOrder)
{
    const QMetaObject *mo = window.metaObject();
    const char *expected[] = {"clearedProgress()", "showDetails()", "hideDetails()",
                              "clearProgress()", "taskErrorStateChanged(bool)"};
    ASSERT_EQ(mo->methodCount() - mo->methodOffset(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(mo->method(mo->methodOffset() + i).methodSignature(), expected[i]);
    EXPECT_EQ(mo->method(mo->methodOffset()).methodType(), QMetaMethod::Signal);
}

TEST_F(ProgressWindow, FormAsBuilt)
{
    EXPECT_EQ(window.objectName(), "CProgressWidget");
    EXPECT_EQ(window.minimumHeight(), 110);
    EXPECT_EQ(tableOf(&window)->minimumHeight(), 300);
    EXPECT_EQ(tableOf(&window)->columnCount(), 1);
    EXPECT_EQ(window.layout()->sizeConstraint(), QLayout::SetMinimumSize);
    const QFont font = part<QLabel>(&window, "progressTitle")->font();
    EXPECT_EQ(font.pointSize(), 12);
    EXPECT_TRUE(font.bold());
    const char *buttons[][2] = {{"clearButton", "Clear All"},
                                {"hideDetailsButton", "Hide Details"},
                                {"showDetailsButton", "Show Details"},
                                {"hideButton", "Hide Tasks Progress"}};
    for (const auto &b : buttons)
        EXPECT_EQ(part<QPushButton>(&window, b[0])->text(), b[1]);
}

// A picture of the window with a small tree, for a look by eye.
TEST_F(ProgressWindow, Screenshot)
{
    window.addTask("Load Data::Read files::line_0001.nexra");
    window.addTask("Load Data::Read files::line_0002.nexra");
    window.addTask("Load Data::Corridor");
    window.setTaskProgress("Load Data::Read files::line_0001.nexra", 10, 10);
    window.setTaskProgress("Load Data::Read files::line_0002.nexra", 4, 10);
    window.setTaskError("Load Data::Read files::line_0002.nexra", "cannot read all data");
    window.setTaskProgress("Load Data", 2, 4);
    window.updateSummary();
    window.resize(833, 262);
    ASSERT_TRUE(showAndWait(&window));
    window.showDetails();
    QTest::qWait(50);

    // Beside the test program, in the build folder.
    const QString path =
        QDir(QCoreApplication::applicationDirPath()).filePath("tasks_progress_window.png");
    const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(shot.save(path));
    const qreal scale = shot.width() / qreal(window.width());
    const auto areaOf = [&](QWidget *w) {
        const QRect r(w->mapTo(&window, QPoint()), w->size());
        return QRect((QPointF(r.topLeft()) * scale).toPoint(), (QSizeF(r.size()) * scale).toSize());
    };
    const auto countIn = [&](const QRect &area, const std::function<bool(QColor)> &wanted) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += wanted(shot.pixelColor(x, y));
        return n;
    };

    // The title row carries dark text.
    EXPECT_GT(countIn(areaOf(part<QLabel>(&window, "progressTitle")),
                      [](QColor c) { return c.lightness() < 80; }),
              50);
    // One task of five done: the bar's chunk fills a fifth of it (a row a
    // quarter down, above the percentage text).
    const QRect barArea = areaOf(bar()).adjusted(2, 2, -2, -2);
    const int sampleY = barArea.top() + barArea.height() / 4;
    const QColor chunk = shot.pixelColor(barArea.left() + 1, sampleY);
    ASSERT_NE(chunk, shot.pixelColor(barArea.right() - 1, sampleY));
    const int filled = countIn(QRect(barArea.left(), sampleY, barArea.width(), 1),
                               [&](QColor c) { return c == chunk; });
    EXPECT_NEAR(filled / double(barArea.width()), 0.2, 0.03);
    // The failed file's row is drawn in red, the finished one's is not.
    const auto red = [](QColor c) { return c.red() > 180 && c.green() < 90 && c.blue() < 90; };
    EXPECT_GT(countIn(areaOf(row("line_0002.nexra")), red), 50);
    EXPECT_EQ(countIn(areaOf(row("line_0001.nexra")), red), 0);
}
