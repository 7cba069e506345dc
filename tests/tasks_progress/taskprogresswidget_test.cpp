#include "panel_probe.h"

#include "non_regular_files.h"
#include "scoped_env.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

struct ProgressCase {
    int current;
    int total;
    Qt::CheckState before;
    Qt::CheckState expected;
    int barValue; // a current past the total fills the bar, a negative one empties it
};

class TaskRowProgress : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(TaskRowProgress, CheckStateAndBar)
{
    const ProgressCase c = GetParam();
    TaskProgressWidget row;
    checkBoxOf(&row)->setCheckState(c.before);

    row.setProgress(c.current, c.total);

    EXPECT_EQ(checkBoxOf(&row)->checkState(), c.expected);
    EXPECT_EQ(row.isCompleted(), c.expected == Qt::Checked);
    auto *bar = part<QProgressBar>(&row, "taskProgressBar");
    EXPECT_EQ(bar->maximum(), std::max(c.total, 0));
    EXPECT_EQ(bar->value(), c.barValue);
}

INSTANTIATE_TEST_SUITE_P(
    States, TaskRowProgress,
    ::testing::Values(ProgressCase{0, 100, Qt::Checked, Qt::Unchecked, 0},
                      ProgressCase{50, 100, Qt::Unchecked, Qt::PartiallyChecked, 50},
                      ProgressCase{100, 100, Qt::Unchecked, Qt::Checked, 100},
                      ProgressCase{120, 100, Qt::Unchecked, Qt::Checked, 100},
                      ProgressCase{5, 0, Qt::Unchecked, Qt::Checked, 0},
                      ProgressCase{0, 0, Qt::Checked, Qt::Unchecked, 0},
                      ProgressCase{-1, 100, Qt::PartiallyChecked, Qt::PartiallyChecked, 0},
                      ProgressCase{-1, 100, Qt::Unchecked, Qt::Unchecked, 0},
                      ProgressCase{-1, -5, Qt::Unchecked, Qt::Checked, 0}),
    [](const ::testing::TestParamInfo<ProgressCase> &info) {
        auto number = [](int v) { return (v < 0 ? "minus" : "") + std::to_string(std::abs(v)); };
        return number(info.param.current) + "_of_" + number(info.param.total) + "_from_"
            + std::to_string(int(info.param.before));
    });

TEST(TaskRow, StartsBlackHiddenAndNotUserEditable)
{
    TaskProgressWidget row;
    EXPECT_EQ(row.objectName(), "TaskProgressWidget");
    EXPECT_FALSE(checkBoxOf(&row)->isEnabled());
    EXPECT_TRUE(checkBoxOf(&row)->isTristate());
    EXPECT_EQ(checkBoxOf(&row)->styleSheet(), "color: black");
    EXPECT_TRUE(messageAreaOf(&row)->isHidden());
    EXPECT_TRUE(messageAreaOf(&row)->isReadOnly());
    EXPECT_TRUE(part<QLabel>(&row, "errorIconLabel")->isHidden());
    EXPECT_EQ(checkBoxOf(&row)->text(), "Task 1");
    row.setTaskName("Load Data");
    EXPECT_EQ(checkBoxOf(&row)->text(), "Load Data");
}

TEST(TaskRow, ErrorsTurnTheNameRedAndAccumulate)
{
    TaskProgressWidget row;
    row.setError("first");
    row.addMessage("");
    row.setError("second");
    EXPECT_EQ(checkBoxOf(&row)->styleSheet(), "color: red");
    EXPECT_FALSE(part<QLabel>(&row, "errorIconLabel")->isHidden());
    EXPECT_EQ(messageText(&row), "first\n\n\n\nsecond\n");
    row.setProgress(100, 100);
    EXPECT_EQ(checkBoxOf(&row)->styleSheet(), "color: red");
}

TEST(TaskRow, SetCompletedLeavesTheBar)
{
    TaskProgressWidget row;
    row.setProgress(3, 10);
    row.setCompleted();
    EXPECT_TRUE(row.isCompleted());
    EXPECT_EQ(part<QProgressBar>(&row, "taskProgressBar")->value(), 3);
}

TEST(TaskRow, IndentLevelSetsTheLeftMargin)
{
    const struct {
        int level;
        int left;
    } cases[] = {{-1, 11}, {0, 11}, {1, 30}, {2, 45}, {3, 60}};
    for (const auto &c : cases) {
        TaskProgressWidget row;
        row.setIndentLevel(c.level);
        EXPECT_EQ(row.layout()->contentsMargins(), QMargins(c.left, 11, 11, 11)) << c.level;
    }
}

// The error icon is read from "error.png" in the private temporary folder:
// "Quillmere Vadidaro/qhvx" in the cache folder, here the test's own.
class TaskRowIcon : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(QFileInfo(iconPath).path()));
    }

    QPixmap iconOf(const TaskProgressWidget &row)
    {
        return part<QLabel>(&row, "errorIconLabel")->pixmap(Qt::ReturnByValue);
    }

    // The colour of the icon's middle pixel.
    QColor colourOf(const TaskProgressWidget &row)
    {
        const QImage image = iconOf(row).toImage();
        return image.pixelColor(image.width() / 2, image.height() / 2);
    }

    static bool writeIcon(const QString &path, const QSize &size, const QColor &colour,
                          QImage::Format format = QImage::Format_ARGB32)
    {
        QImage image(size, format);
        image.fill(colour);
        return image.save(path, "PNG");
    }

    QTemporaryDir dir;
    const QByteArray cacheHome = dir.path().toUtf8();
    const ScopedEnv setCache{"XDG_CACHE_HOME", cacheHome};
    const QString iconPath = dir.path() + QStringLiteral("/Quillmere Vadidaro/qhvx/error.png");
};

TEST_F(TaskRowIcon, AbsentFileGivesAnEmptyIconThatStillShowsOnError)
{
    TaskProgressWidget row;
    EXPECT_TRUE(iconOf(row).isNull());
    row.setError("failed");
    EXPECT_FALSE(part<QLabel>(&row, "errorIconLabel")->isHidden());
}

TEST_F(TaskRowIcon, FileInThePrivateFolderIsShownScaled)
{
    ASSERT_TRUE(writeIcon(iconPath, QSize(8, 8), Qt::red));

    TaskProgressWidget row;
    EXPECT_EQ(iconOf(row).size(), QSize(8, 8));
    EXPECT_EQ(colourOf(row), QColor(Qt::red));
    EXPECT_TRUE(part<QLabel>(&row, "errorIconLabel")->hasScaledContents());
}

// The rows share one decoded icon. A file that has changed since is decoded
// again, for the rows made from then on.
TEST_F(TaskRowIcon, DecodedOnceForAllRows)
{
    ASSERT_TRUE(writeIcon(iconPath, QSize(8, 8), Qt::red));
    TaskProgressWidget first;
    TaskProgressWidget second;
    ASSERT_FALSE(iconOf(first).isNull());
    EXPECT_EQ(iconOf(second).cacheKey(), iconOf(first).cacheKey());

    ASSERT_TRUE(writeIcon(iconPath, QSize(8, 8), Qt::blue));
    QFile file(iconPath);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    file.close();
    TaskProgressWidget third;
    EXPECT_EQ(colourOf(third), QColor(Qt::blue));
    EXPECT_EQ(colourOf(first), QColor(Qt::red));
}

// Only a small image is decoded: its file at most 1 MiB, the image at most
// 256 pixels wide and high by its header. The 8000 x 8000 PNG of a
// few hundred KB took some 250 MB for every row.
TEST_F(TaskRowIcon, OnlyASmallImageIsDecoded)
{
    const struct {
        const char *name;
        QSize size;
        QImage::Format format;
        qint64 fileSize; // padded after the image's end to this size; 0: as written
        bool shown;
    } cases[] = {
        {"AtTheSideBound", {256, 256}, QImage::Format_ARGB32, 0, true},
        {"TooWide", {257, 8}, QImage::Format_ARGB32, 0, false},
        {"TooHigh", {8, 257}, QImage::Format_ARGB32, 0, false},
        {"Huge", {8000, 8000}, QImage::Format_Mono, 0, false},
        {"AtTheByteBound", {8, 8}, QImage::Format_ARGB32, 1024 * 1024, true},
        {"OneByteOver", {8, 8}, QImage::Format_ARGB32, 1024 * 1024 + 1, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(iconPath);
        ASSERT_TRUE(writeIcon(iconPath, c.size, Qt::white, c.format));
        if (c.fileSize > 0) {
            QFile file(iconPath);
            ASSERT_TRUE(file.open(QIODevice::Append));
            ASSERT_LT(file.size(), c.fileSize);
            file.write(QByteArray(int(c.fileSize - file.size()), '\0'));
            file.close();
            ASSERT_EQ(QFileInfo(iconPath).size(), c.fileSize);
        }
        // Another modification time for each case.
        QFile file(iconPath);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(&c - cases + 1),
                                     QFileDevice::FileModificationTime));
        file.close();

        TaskProgressWidget row;
        EXPECT_EQ(iconOf(row).isNull(), !c.shown);
        if (c.shown)
            EXPECT_EQ(iconOf(row).size(), c.size);
    }
}

// Anything but a regular file in the icon's place gives an empty icon at
// once: a FIFO held the first row, and so the chart and the caller, for good.
class TaskRowIconNotAFile : public TaskRowIcon, public ::testing::WithParamInterface<specialfiles::Kind>
{
};

TEST_P(TaskRowIconNotAFile, GivesAnEmptyIconAtOnce)
{
    const QString scratch = dir.path() + QStringLiteral("/scratch");
    ASSERT_TRUE(QDir().mkpath(scratch));
    if (!GetParam().make(iconPath, scratch))
        GTEST_SKIP() << "cannot make " << GetParam().name << " here";
    const QString before = specialfiles::describe(iconPath);
    const QString fifo = QFileInfo(iconPath).isSymLink() ? QFileInfo(iconPath).symLinkTarget() : iconPath;
    FifoUnblocker unblocker(fifo, std::chrono::seconds(10));

    TaskProgressWidget row;
    EXPECT_TRUE(iconOf(row).isNull());
    unblocker.dismiss();
    EXPECT_FALSE(unblocker.fired()) << "the row waited on the FIFO";
    EXPECT_EQ(specialfiles::describe(iconPath), before);
}

INSTANTIATE_TEST_SUITE_P(Kinds, TaskRowIconNotAFile, ::testing::ValuesIn(specialfiles::notAFile),
                         [](const ::testing::TestParamInfo<specialfiles::Kind> &info) {
                             return std::string(info.param.name);
                         });

// A row on screen, clicked by the user.
class TaskRowClick : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 40; ++i)
            row.addMessage(QStringLiteral("line %1").arg(i));
        ASSERT_TRUE(showAndWait(&row));
    }

    QList<bool> emitted() const
    {
        QList<bool> values;
        for (const QList<QVariant> &args : spy)
            values << args.at(0).toBool();
        return values;
    }

    TaskProgressWidget row;
    QSignalSpy spy{&row, &TaskProgressWidget::displayingTaskMessage};
};

TEST_F(TaskRowClick, ClickOnTheRowOpensScrolledToTopThenCloses)
{
    QScrollBar *bar = messageAreaOf(&row)->verticalScrollBar();
    clickAt(&row, QPoint(3, 3));
    EXPECT_TRUE(messageAreaOf(&row)->isVisible());
    EXPECT_EQ(bar->value(), bar->minimum());
    EXPECT_EQ(emitted(), QList<bool>({true}));

    clickAt(&row, QPoint(3, 3));
    EXPECT_TRUE(messageAreaOf(&row)->isHidden());
    EXPECT_EQ(emitted(), QList<bool>({true, false}));
}

TEST_F(TaskRowClick, EachPressTogglesOnceWhereverItLands)
{
    QCheckBox *box = checkBoxOf(&row);
    QWidget *bar = part<QWidget>(&row, "taskProgressBar");
    const struct {
        QWidget *target;
        QPoint pos;
    } presses[] = {
        {box, box->rect().center()},
        {box, QPoint(2, 2)},
        {bar, bar->rect().center()},
        {&row, QPoint(row.width() - 3, 3)},
    };
    bool open = false;
    for (const auto &p : presses) {
        spy.clear();
        clickAt(p.target, p.pos);
        open = !open;
        EXPECT_EQ(emitted(), QList<bool>({open})) << p.target->objectName().toStdString();
        EXPECT_EQ(messageAreaOf(&row)->isVisible(), open);
    }
}

// Events delivered to the check box itself, as the toolkit does while the
// box stays under the pointer: press, release, then for a double click the
// double-click event in place of the second press.
TEST_F(TaskRowClick, PressesOnTheCheckBoxToggleOnceEach)
{
    QCheckBox *box = checkBoxOf(&row);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(emitted(), QList<bool>({true}));

    spy.clear();
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::mouseDClick(box, Qt::LeftButton);
    QTest::mouseRelease(box, Qt::LeftButton);
    EXPECT_EQ(emitted(), QList<bool>({false, true}));
    EXPECT_EQ(box->checkState(), Qt::Unchecked);
}

TEST_F(TaskRowClick, DoubleClickIsTwoToggles)
{
    doubleClickAt(&row, QPoint(3, 3));
    EXPECT_EQ(emitted(), QList<bool>({true, false}));
    EXPECT_TRUE(messageAreaOf(&row)->isHidden());
}

TEST(TaskRow, ToggleFollowsTheAreaWhileOffScreen)
{
    // The window is not shown; the toggle still alternates.
    TaskProgressWidget row;
    QSignalSpy spy(&row, &TaskProgressWidget::displayingTaskMessage);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&row, &press);
    QApplication::sendEvent(&row, &press);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_TRUE(spy.at(0).at(0).toBool());
    EXPECT_FALSE(spy.at(1).at(0).toBool());
}
