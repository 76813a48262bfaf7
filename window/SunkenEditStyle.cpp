#include "SunkenEditStyle.h"

#include <QPainter>
#include <QStyleOption>

namespace {

// Windows' sunken edge: an outer and an inner ring of one-pixel lines, the top and left in the
// dark colours, the bottom and right (corners included) in the light ones. Filled rectangles,
// not lines, so that the edge grows with the device-pixel ratio like everything else.
void drawSunkenEdge(QPainter *painter, const QRect &rect, const QPalette &palette)
{
    painter->fillRect(rect, palette.base());
    const QRect inner = rect.adjusted(1, 1, -1, -1);
    for (const auto &[ring, upper, lower] : {std::tuple{rect, QPalette::Dark, QPalette::Light},
                                             std::tuple{inner, QPalette::Shadow, QPalette::Midlight}}) {
        painter->fillRect(QRect(ring.left(), ring.top(), ring.width() - 1, 1), palette.color(upper));
        painter->fillRect(QRect(ring.left(), ring.top(), 1, ring.height() - 1), palette.color(upper));
        painter->fillRect(QRect(ring.left(), ring.bottom(), ring.width(), 1), palette.color(lower));
        painter->fillRect(QRect(ring.right(), ring.top(), 1, ring.height()), palette.color(lower));
    }
}

} // namespace

// The text keeps clear of the whole edge, not just of the base style's thinner frame.
int SunkenEditStyle::pixelMetric(PixelMetric metric, const QStyleOption *option,
                                 const QWidget *widget) const
{
    if (metric == PM_DefaultFrameWidth)
        return 2;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

void SunkenEditStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                                    QPainter *painter, const QWidget *widget) const
{
    if (element == PE_PanelLineEdit) {
        drawSunkenEdge(painter, option->rect, option->palette);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}
