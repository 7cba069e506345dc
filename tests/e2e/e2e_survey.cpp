// e2e_survey: writes the end-to-end tests' survey with the survey generator
// and prints, as JSON, each raw file with its sounding count and, for each
// corridor width asked for, the generator's own count of soundings inside the
// corridor around the cross line (between a count 2 cm inside the corridor's
// edges and a count 2 cm outside them, since the program rounds the corners
// to whole centimetres).
//
//   e2e_survey --out DIR --cross-line-deg LAT1,LON1,LAT2,LON2 --widths W1,W2
//              [--beams N] [--ping-rate HZ] [--pings-per-file N]
#include "surveygenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cmath>

namespace {

QVector<double> numbers(const QString &text)
{
    QVector<double> values;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        values << part.toDouble();
    return values;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({
        {QStringLiteral("out"), QStringLiteral("Survey folder."), QStringLiteral("dir")},
        {QStringLiteral("cross-line-deg"), QStringLiteral("Cross line, degrees."), QStringLiteral("lat1,lon1,lat2,lon2")},
        {QStringLiteral("widths"), QStringLiteral("Corridor widths, metres."), QStringLiteral("w1,w2"), QStringLiteral("2")},
        {QStringLiteral("beams"), QStringLiteral("Beams per ping."), QStringLiteral("n"), QStringLiteral("64")},
        {QStringLiteral("ping-rate"), QStringLiteral("Pings per second."), QStringLiteral("hz"), QStringLiteral("2")},
        {QStringLiteral("pings-per-file"), QStringLiteral("Pings per file of the first line."), QStringLiteral("n"), QStringLiteral("0")},
    });
    parser.process(app);
    QTextStream err(stderr);

    const QVector<double> cross = numbers(parser.value(QStringLiteral("cross-line-deg")));
    const QVector<double> widths = numbers(parser.value(QStringLiteral("widths")));
    if (!parser.isSet(QStringLiteral("out")) || cross.size() != 4 || widths.isEmpty()) {
        err << "e2e_survey: --out and --cross-line-deg are needed\n";
        return 2;
    }

    // Three 600 m lines crossing at the origin: north to south, west to east,
    // south-west to north-east; the first split into files when asked.
    nexra::SurveyConfig config;
    config.sonar.beamCount = parser.value(QStringLiteral("beams")).toInt();
    // A sloping seafloor, so that the chart's depth axis has a span to draw.
    config.seafloor.slopeEast = 0.02;
    const double origin[2] = {config.seafloor.origin.latitude, config.seafloor.origin.longitude};
    int index = 0;
    for (double headingDeg : {180.0, 90.0, 45.0}) {
        const double h = headingDeg * M_PI / 180.0;
        nexra::SurveyLine line;
        line.pingRate = parser.value(QStringLiteral("ping-rate")).toDouble();
        line.start = nexra::offsetPosition(origin[0], origin[1], h, 0, -300);
        line.end = nexra::offsetPosition(origin[0], origin[1], h, 0, 300);
        if (index++ == 0)
            line.pingsPerFile = parser.value(QStringLiteral("pings-per-file")).toInt();
        config.lines << line;
    }

    const nexra::SurveyGenerator generator(config);
    QStringList paths;
    QString error;
    if (!generator.write(parser.value(QStringLiteral("out")), &paths, &error)) {
        err << "e2e_survey: " << error << "\n";
        return 1;
    }

    const nexra::SurveyProjection projection;
    double sn, se, en, ee;
    if (!projection.isValid() || !projection.toProjected(cross[0], cross[1], &sn, &se)
        || !projection.toProjected(cross[2], cross[3], &en, &ee)) {
        err << "e2e_survey: cannot project the cross line\n";
        return 1;
    }
    // The caller sends whole centimetres: x easting, y northing.
    const qint64 line[4] = {std::llround(se), std::llround(sn), std::llround(ee), std::llround(en)};

    QJsonArray files;
    for (int f = 0; f < generator.files().size(); ++f) {
        const auto &info = generator.files().at(f);
        QJsonObject kept;
        for (double width : widths) {
            const nexra::Corridor corridor{double(line[1]), double(line[0]), double(line[3]),
                                           double(line[2]), width};
            kept[QString::number(width)] = QJsonArray{
                double(generator.countInCorridor(f, corridor, projection, 2.0)),
                double(generator.countInCorridor(f, corridor, projection, -2.0))};
        }
        files.append(QJsonObject{{QStringLiteral("path"), paths.at(f)},
                                 {QStringLiteral("line"), info.line},
                                 {QStringLiteral("soundings"), double(info.soundingCount)},
                                 {QStringLiteral("kept"), kept}});
    }
    const QJsonObject result{
        {QStringLiteral("cross_line"),
         QJsonArray{double(line[0]), double(line[1]), double(line[2]), double(line[3])}},
        {QStringLiteral("files"), files}};
    QTextStream(stdout) << QJsonDocument(result).toJson(QJsonDocument::Compact) << "\n";
    return 0;
}
