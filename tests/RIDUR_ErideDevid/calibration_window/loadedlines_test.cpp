// The lines labelled as loaded (" - orig") show the soundings as loaded,
// however often they are rebuilt after a recalculation.
#include "loadcontrol_test_support.h"

#include "displaydata.h"

#include <QComboBox>

namespace {

QList<FloatPoint> linePoints(CrossLineWidget &w, const QString &line)
{
    // Across distance and depth: what a roll edit changes.
    return CrossLineWidgetInspector::displayData(w).seriesPoints(line, 1, 5);
}

bool samePoints(const QList<FloatPoint> &a, const QList<FloatPoint> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].x != b[i].x || a[i].y != b[i].y)
            return false;
    }
    return true;
}

TEST_F(LoadControlTest, HeadChangesAfterARecalculationKeepTheLinesAsLoaded)
{
    const QString file = rawFile(QStringLiteral("line.nexra"), nexra::defaultInstallation(1), 1, 5);
    ASSERT_TRUE(load({file}));
    const QString orig = file + DisplayData::origSuffix;
    const QList<FloatPoint> loaded = linePoints(*w, orig);
    ASSERT_EQ(loaded.size(), 15);

    ui->att1R->setValue(ui->att1R->value() + 1.0);
    ASSERT_TRUE(recalculate());
    const QList<FloatPoint> recalculated = linePoints(*w, file);
    ASSERT_EQ(recalculated.size(), loaded.size());
    EXPECT_FALSE(samePoints(recalculated, loaded)) << "the roll edit moves the soundings";
    EXPECT_TRUE(samePoints(linePoints(*w, orig), loaded));

    for (int head : {1, 0}) {
        ui->headBox->setCurrentIndex(head);
        ASSERT_TRUE(waitIdle());
        EXPECT_TRUE(samePoints(linePoints(*w, orig), loaded)) << "head box " << head;
    }
    // The recalculated lines stay as the recalculation left them.
    EXPECT_TRUE(samePoints(linePoints(*w, file), recalculated));
}

} // namespace
