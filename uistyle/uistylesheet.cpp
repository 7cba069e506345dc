#include "uistylesheet.h"

#include "uistylefiles.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>

namespace {

const char DebugSheetFileName[] = "stylesheet_debug.css";

// Writes the palette's mode entries and returns the name of the mode block
// that the sheet keeps.
QString switchPalette(UiStyleMode mode)
{
    if (mode == UiStyleModeDay) {
        setDayColors(UiStylePalette);
        return QStringLiteral("Day");
    }
    if (mode == UiStyleModeBrightDay) {
        setDayColors(UiStylePalette);
        return QStringLiteral("BrightDay");
    }
    setDuskColors(UiStylePalette);
    return QStringLiteral("Dusk");
}

QString commonSheetPath()
{
    const QString folder = qEnvironmentVariable("UISTYLEDIR");
    if (folder.isEmpty())
        return QStringLiteral(":/uistyle/CommonStylesheet.css");
    return folder + QStringLiteral("/uistyle/CommonStylesheet.css");
}

// A sheet's size bound, some sixty times the common sheet's.
constexpr qint64 MaxSheetSize = 1 << 20;

// The device's text as Latin-1, up to the first NUL. Opens and closes it, or
// when it is a file, a file object of its own on that file, opened only when
// it is a regular file or a resource. A sheet larger than the bound is not
// read.
bool readSheet(QIODevice *device, QString &text)
{
    const QIODevice::OpenMode mode = QIODevice::ReadOnly | QIODevice::Text;
    QFile regularFile;
    QIODevice *source = device;
    if (auto *file = qobject_cast<QFile *>(device)) {
        regularFile.setFileName(file->fileName());
        if (!openRegularFileForReading(regularFile, mode))
            return false;
        source = &regularFile;
    } else if (!device->open(mode)) {
        return false;
    }
    QByteArray bytes = source->read(MaxSheetSize + 1);
    source->close();
    if (bytes.size() > MaxSheetSize)
        return false;
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    text = QString::fromLatin1(bytes);
    return true;
}

// Removes the body of every "Mode=<name> ... Mode=" block but the one of the
// given mode; the markers stay.
void keepModeBlock(QString &sheet, const QString &modeName)
{
    static const QRegularExpression block(QStringLiteral("Mode=(.*?)Mode="),
                                          QRegularExpression::DotMatchesEverythingOption);
    const QString original = sheet;
    auto matches = block.globalMatch(original);
    while (matches.hasNext()) {
        const QString body = matches.next().captured(1);
        if (!body.isEmpty() && !body.startsWith(modeName))
            sheet.remove(body);
    }
}

// Replaces each colour variable by the value of its first definition, a line
// with the name followed by a colour literal. A name is replaced only as a
// whole word, so "@a" never alters "@ab".
void replaceColorVariables(QString &sheet)
{
    static const QRegularExpression definition(
        QStringLiteral("(@\\w+).+?(#[0-9a-fA-F]+|rgba\\(.*\\))"));
    const QString original = sheet;
    auto matches = definition.globalMatch(original);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const QRegularExpression name(QRegularExpression::escape(match.captured(1))
                                      + QStringLiteral("(?!\\w)"));
        sheet.replace(name, match.captured(2));
    }
}

void writeDebugSheet(const QString &sheet)
{
    QFile file(QString::fromLatin1(DebugSheetFileName));
    if (!openRegularFileForWriting(file, QIODevice::WriteOnly | QIODevice::Text))
        return;
    file.write(sheet.toLocal8Bit());
    file.close();
}

} // namespace

void applyStyleSheet(QIODevice *applicationSheet, UiStyleMode mode, int scale)
{
    const QString modeName = switchPalette(mode);

    QFile commonFile(commonSheetPath());
    QString sheet;
    if (!readSheet(&commonFile, sheet))
        return;

    QString applicationText;
    if (applicationSheet && readSheet(applicationSheet, applicationText))
        sheet += applicationText;

    if (scale != 1) {
        scaleStyleSheetUnits(sheet, QStringLiteral("px"), scale);
        scaleStyleSheetUnits(sheet, QStringLiteral("pt"), scale);
    }
    keepModeBlock(sheet, modeName);
    replaceColorVariables(sheet);

    if (!qEnvironmentVariableIsEmpty("UISTYLE_DEBUG_STYLESHEET"))
        writeDebugSheet(sheet);

    qApp->setStyleSheet(sheet);
}

void scaleStyleSheetUnits(QString &sheet, const QString &unit, int factor)
{
    static const QString Marker = QStringLiteral("dummy");
    const QString space = QStringLiteral(" ");

    // Pass one marks every value, so that a value equal to an already scaled
    // one is not scaled again in pass two.
    const QRegularExpression withUnit(QStringLiteral("\\s(\\d+)")
                                      + QRegularExpression::escape(unit));
    const QString unscaled = sheet;
    auto matches = withUnit.globalMatch(unscaled);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        sheet.replace(match.captured(0), space + match.captured(1) + Marker);
    }

    static const QRegularExpression marked(QStringLiteral("\\s(\\d+)dummy"));
    const QString markedText = sheet;
    matches = marked.globalMatch(markedText);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        bool ok = false;
        const qint64 value = match.captured(1).toLongLong(&ok);
        qint64 product = 0;
        // A number too long to scale keeps its digits.
        const QString digits = ok && !__builtin_mul_overflow(value, qint64(factor), &product)
                                   ? QString::number(product)
                                   : match.captured(1);
        sheet.replace(match.captured(0), space + digits + unit);
    }
}
