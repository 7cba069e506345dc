#include "svgiconengine.h"

#include "uistylepalette.h"

#include <QPixmap>

namespace {

const QSize MaskSize(300, 300);

// The icon's shape. A pixmap without alpha channel (an opaque image, or a
// recoloured icon whose shape fills it) is all shape; its mask() is empty.
QBitmap shapeOf(const QIcon &icon)
{
    const QPixmap pixmap = icon.pixmap(MaskSize, QIcon::Normal, QIcon::Off);
    if (pixmap.isNull() || pixmap.hasAlphaChannel())
        return pixmap.mask();
    QBitmap whole(pixmap.size());
    whole.fill(Qt::color1);
    return whole;
}

} // namespace

SvgIconEngine::SvgIconEngine(const QIcon &icon, bool gp)
    : mask(shapeOf(icon))
    , icon(icon)
    , gp(gp)
{
}

SvgIconEngine::~SvgIconEngine() = default;

void SvgIconEngine::paint(QPainter *, const QRect &, QIcon::Mode, QIcon::State)
{
}

QColor SvgIconEngine::colorFor(QIcon::Mode mode, QIcon::State state) const
{
    using namespace UiStyleColor;
    const QColor normal = UiStylePalette[gp ? GP_buttonContent_normal : content_normal];
    const QColor disabled = UiStylePalette[gp ? GP_buttonContent_disabled : content_disabled];
    switch (mode) {
    case QIcon::Normal:
    case QIcon::Active:
        return state == QIcon::On ? UiStylePalette[GP_active_normal] : normal;
    case QIcon::Disabled:
        return state == QIcon::On ? normal : disabled;
    case QIcon::Selected:
        break;
    }
    return normal;
}

QPixmap SvgIconEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    if (mask.isNull() || size.isEmpty())
        return QPixmap();
    QPixmap shape(mask.size());
    shape.fill(colorFor(mode, state));
    shape.setMask(mask);
    return shape.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QIconEngine *SvgIconEngine::clone() const
{
    return new SvgIconEngine(icon, gp);
}
