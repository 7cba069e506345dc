// Installation reader and the mismatch warning.
#include "crosslinedata.h"

#include "nexrareadloop.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QMessageBox>
#include <QThread>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CrossLineData"));

namespace {

// Text of an "#IIP" datagram: from this offset, at most length - 29 bytes.
constexpr quint32 kInstallationTextOffset = 26;
constexpr quint32 kInstallationTextReserve = 29;

// Unequal when, from the second entry on, some position has heading, pitch
// and roll all different.
bool transducersUnequal(const QList<TransducerEntry> &stored, const QList<TransducerEntry> &loaded)
{
    const int common = qMin(stored.size(), loaded.size());
    for (int i = 1; i < common; ++i) {
        const TransducerEntry &a = stored.at(i);
        const TransducerEntry &b = loaded.at(i);
        if (a.heading != b.heading && a.pitch != b.pitch && a.roll != b.roll)
            return true;
    }
    return false;
}

QMessageBox *createMismatchBox()
{
    return new QMessageBox(QMessageBox::Warning,
                           CrossLineData::tr("Unequal transduser parameters"),
                           CrossLineData::tr("Unable to calibrate with unequal installation-parameters on selected lines."),
                           QMessageBox::Ok);
}

// The box is a widget: only the GUI thread creates and shows it. From any
// other thread it is posted there and the caller goes on at once.
void showMismatchWarning()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!qobject_cast<QApplication *>(app)) {
        qWarning() << "Unable to calibrate with unequal installation-parameters on selected lines.";
        return;
    }
    if (QThread::currentThread() == app->thread()) {
        QScopedPointer<QMessageBox> box(createMismatchBox());
        box->exec();
        return;
    }
    DataThreadHandoff::post([app] {
        QMetaObject::invokeMethod(
            app,
            [] {
                QMessageBox *box = createMismatchBox();
                box->setAttribute(Qt::WA_DeleteOnClose);
                box->setWindowModality(Qt::ApplicationModal);
                box->show();
            },
            Qt::QueuedConnection);
    });
}

} // namespace

void CrossLineData::getNexraInstallationDatagram(QFile &file)
{
    QByteArray storage(int(installationBufferSize), '\0');
    quint8 *buffer = reinterpret_cast<quint8 *>(storage.data());

    nexra::readDatagrams(file, buffer, installationBufferSize, "#IIP", "message too big3 ",
                         [&](quint32 length) {
        if (length < kInstallationTextReserve)
            return nexra::Next::Continue; // no room for a text: look for the next one
        const char *text = reinterpret_cast<const char *>(buffer) + kInstallationTextOffset;
        const int textLength = int(qstrnlen(text, length - kInstallationTextReserve));
        const QString installationText = QString::fromUtf8(text, textLength);
        qDebug().noquote() << installationText;

        InstallationLists lists;
        if (!parseInstallationText(installationText, lists)) {
            LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("CrossLineData::getNexraInstallationDatagram() ERROR: Installation datagram parsing error."));
        }
        if (installation.transducers.isEmpty() || lists.transducers.isEmpty()
            || !transducersUnequal(installation.transducers, lists.transducers)) {
            installation = lists;
        } else {
            showMismatchWarning();
        }
        return nexra::Next::Stop;
    });
}
