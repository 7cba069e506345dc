// Fuzzes both readers of a raw file (installation and depth datagrams) and the
// corridor lists through the public operations of the data object.
#include "cprojection.h"
#include "crosslinedata.h"
#include "fuzz_common.h"

#include <QFile>

#include <cstddef>
#include <cstdint>

namespace {

struct Setup {
    CrossLineData data;
    QString rawFile;
};

Setup *setup = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialise();
    setup = new Setup;
    setup->rawFile = fuzz::scratchFolder() + QStringLiteral("/input.nexra");
    const QString projectionFile = fuzz::scratchFolder() + QStringLiteral("/projection.txt");
    QFile file(projectionFile);
    if (file.open(QIODevice::WriteOnly)) {
        file.write("fuzz\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n");
        file.close();
    }
    setup->data.setProjectionFile(projectionFile);
    // A west-east cross line through the seed surveys (latitude 60, longitude
    // 5) with a corridor wide enough to keep most of their soundings.
    double northing = 0, easting = 0;
    CProjection::instance()->geographicToProjected(60.0, 5.0, &northing, &easting);
    setup->data.setCrossLine(qint32(easting) - 100000, qint32(northing), qint32(easting) + 100000,
                             qint32(northing));
    setup->data.setCorridorWidth(300.0f);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    QFile file(setup->rawFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(bytes), qint64(size));
    file.close();

    CrossLineData &data = setup->data;
    data.clearData();
    *data.installationLists() = InstallationLists();
    data.addRawFile(setup->rawFile);
    data.generateRegionData();
    data.loadCorridorData();
    return 0;
}
