#pragma once

#include <QProxyStyle>

// The Windows-classic look of the drill's edit boxes: a two-pixel sunken edge, dark above and
// to the left, light below and to the right, and no focus frame of its own.
class SunkenEditStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    [[nodiscard]] int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                                  const QWidget *widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
};
