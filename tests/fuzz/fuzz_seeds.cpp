// Writes the seed corpora of the fuzz targets: small generated surveys and
// damaged variants of them, and installation texts.
#include "nexrawriter.h"
#include "surveygenerator.h"

#include <QDir>
#include <QFile>

#include <cmath>
#include <cstdio>

using namespace nexra;

namespace {

bool save(const QString &folder, const QString &name, const QByteArray &bytes)
{
    QFile file(QDir(folder).filePath(name));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray join(const QList<QByteArray> &datagrams)
{
    QByteArray all;
    for (const QByteArray &d : datagrams)
        all += d;
    return all;
}

QList<QByteArray> survey(int heads, double roll, bool others)
{
    SurveyConfig cfg;
    cfg.sonar.beamCount = 6;
    cfg.sonar.headCount = heads;
    cfg.sonar.otherDatagrams = others;
    cfg.mounting.truth.roll = roll;
    SurveyLine line;
    line.start = offsetPosition(60, 5, 0, 0, -2);
    line.end = offsetPosition(60, 5, 0, 0, 2);
    cfg.lines << line;
    return SurveyGenerator(cfg).fileDatagrams(0);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <folder>\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString loop = root + "/corpus/read_loop";
    const QString text = root + "/corpus/installation_text";
    for (const QString &dir : {loop, text, root + "/work/read_loop", root + "/work/installation_text",
                               root + "/artifacts"})
        QDir().mkpath(dir);

    bool ok = true;
    const QList<QByteArray> plain = survey(1, 0, true);
    ok &= save(loop, "survey_one_head", join(plain));
    ok &= save(loop, "survey_two_heads", join(survey(2, 1.0, false)));

    QByteArray cut = join(plain);
    cut.chop(37);
    ok &= save(loop, "truncated_last", cut);

    MrzPingRecord ping;
    ping.latitude = 60;
    ping.longitude = 5;
    ping.soundings.resize(2);
    MrzLayout tooMany;
    tooMany.soundingCount = 500;
    const QByteArray iip = makeIipDatagram(makeInstallationText(defaultInstallation(1)));
    ok &= save(loop, "k_too_large", iip + makeMrzDatagram(ping, tooMany));
    MrzLayout farBlocks;
    farBlocks.txSectorCount = 2000;
    ok &= save(loop, "blocks_past_end", iip + makeMrzDatagram(ping, farBlocks));
    ok &= save(loop, "mrz_before_iip", makeMrzDatagram(ping) + iip + makeMrzDatagram(ping));
    ok &= save(loop, "no_iip", makeMrzDatagram(ping) + makeDatagram("#XYZ", "abcd"));
    ok &= save(loop, "two_iip", iip + makeIipDatagram("TRAI_TX1:R=5") + makeMrzDatagram(ping));
    ok &= save(loop, "short_iip", makeDatagram("#IIP", "0123456789") + iip + makeMrzDatagram(ping));
    QByteArray tiny(8, '\0');
    putU32(tiny, 0, 4);
    ok &= save(loop, "length_below_8", tiny + iip + makeMrzDatagram(ping));
    IipOptions big;
    big.length = kIipBufferSize + 1;
    ok &= save(loop, "iip_too_big", makeIipDatagram("TRAI_TX1:R=1", big) + iip);
    MrzLayout hugeLength;
    hugeLength.length = kMrzBufferSize + 1;
    ok &= save(loop, "mrz_too_big", iip + makeMrzDatagram(ping, hugeLength) + makeMrzDatagram(ping));

    InstallationDescription heads = defaultInstallation(2);
    InstallationTransducer hd;
    hd.side = InstallationTransducer::Head;
    hd.number = 2;
    hd.roll = 1.5f;
    heads.transducers << hd;
    heads.attitudeSensors[0].state = "INACTIVE";
    ok &= save(text, "default", makeInstallationText(defaultInstallation(1)));
    ok &= save(text, "two_heads", makeInstallationText(heads));
    ok &= save(text, "edge_groups",
               "TRAI_TX, TRAI_TX3:X=1,TRAI_RXa,TRAI_XX1:X=1,trai_tx1:X=1,TRAI_TX1:X =1,"
               "POSI_1:X=1;X=2,POSI_1:X=1=2,POSI_3:U=NOT_SET;X=1,POSI_3:U=active,POSI_3:U=,"
               "ATTI_1:U=PASSIVE;H=5;D=20,ATTI_1:D=-12.9,ATTI_12_A:X=1,POSI_x:X=1,"
               "POSI_1:T=POS;C=On;Q=Off,ATTI_1:M=HO,A:B:C=1,,;;,");
    if (!ok) {
        std::fprintf(stderr, "fuzz_seeds: cannot write the corpus under %s\n", argv[1]);
        return 1;
    }
    return 0;
}
