#include "cmessageswidget.h"

#include "panel_probe.h"

#include <QHeaderView>

#include <gtest/gtest.h>

class MessagesWindow : public ::testing::Test {
protected:
    QTableWidget *table() const { return part<QTableWidget>(&window, "messagesText"); }
    QStringList lines() const
    {
        QStringList result;
        for (int r = 0; r < table()->rowCount(); ++r)
            result << table()->item(r, 0)->text() + "|" + table()->item(r, 1)->text();
        return result;
    }

    CMessagesWidget window;
};

TEST_F(MessagesWindow, FormAsBuilt)
{
    EXPECT_EQ(window.objectName(), "CMessagesWidget");
    EXPECT_EQ(window.windowTitle(), "Messages");
    ASSERT_EQ(table()->columnCount(), 2);
    EXPECT_EQ(table()->horizontalHeaderItem(0)->text(), "Task");
    EXPECT_EQ(table()->horizontalHeaderItem(1)->text(), "Messages");
    EXPECT_FALSE(table()->showGrid());
    EXPECT_TRUE(table()->horizontalHeader()->stretchLastSection());
    EXPECT_EQ(part<QPushButton>(&window, "closeButton")->text(), "Close");
    EXPECT_EQ(table()->rowCount(), 0);
}

TEST_F(MessagesWindow, NewestLineFirstAndEmptyCellsKept)
{
    window.setTaskText("A", "first");
    window.setTaskText("B", "");
    window.setTaskText("", "third");
    EXPECT_EQ(lines(), QStringList({"|third", "B|", "A|first"}));
}

TEST_F(MessagesWindow, ClearingLeavesTheHeadersAndStartsAgainAtTheTop)
{
    window.clearMessages();
    EXPECT_EQ(table()->rowCount(), 0);
    window.setTaskText("A", "one");
    window.setTaskText("B", "two");
    window.clearMessages();
    EXPECT_EQ(table()->rowCount(), 0);
    EXPECT_EQ(table()->columnCount(), 2);
    EXPECT_EQ(table()->horizontalHeaderItem(1)->text(), "Messages");
    window.setTaskText("C", "three");
    EXPECT_EQ(lines(), QStringList({"C|three"}));
}

TEST_F(MessagesWindow, CloseHidesAndKeepsTheLines)
{
    window.setTaskText("A", "one");
    window.setTaskText("B", "two");
    ASSERT_TRUE(showAndWait(&window));
    QPushButton *close = part<QPushButton>(&window, "closeButton");
    clickAt(close, close->rect().center());
    EXPECT_TRUE(window.isHidden());
    ASSERT_TRUE(showAndWait(&window));
    EXPECT_EQ(lines(), QStringList({"B|two", "A|one"}));
}
