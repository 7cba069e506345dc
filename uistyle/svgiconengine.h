#pragma once

#include <QBitmap>
#include <QIcon>
#include <QIconEngine>

// Draws an icon's shape in one palette colour chosen by the icon mode and
// state: checked (On) icons in the accent colour, disabled ones in the
// half-transparent disabled colour. The palette is read at every pixmap call,
// so the current display mode applies. The GP flag selects the title-bar
// colours.
class SvgIconEngine : public QIconEngine
{
public:
    SvgIconEngine(const QIcon &icon, bool gp);
    ~SvgIconEngine() override;

    // Draws nothing: the engine serves pixmaps only.
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine *clone() const override;

private:
    QColor colorFor(QIcon::Mode mode, QIcon::State state) const;

    QBitmap mask; // the source icon's shape at 300 x 300
    QIcon icon;
    bool gp;
};
