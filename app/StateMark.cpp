#include "StateMark.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

struct Hue {
    int hue;
    int saturation;
};

// Grey has no hue: -1.
Hue HueOf(HistoryModel::Kind kind)
{
    using Kind = HistoryModel::Kind;
    switch (kind) {
    case Kind::Ok:
        return {130, 170};
    case Kind::Hollow:
        return {40, 235};
    case Kind::Lost:
    case Kind::Down:
        return {2, 200};
    case Kind::NotFound:
    case Kind::Unchecked:
        break;
    }
    return {-1, 0};
}

Hue HueOf(History::State state)
{
    switch (state) {
    case History::State::Ok:
        return HueOf(HistoryModel::Kind::Ok);
    case History::State::HollowOk:
        return HueOf(HistoryModel::Kind::Hollow);
    case History::State::NotFound:
        return HueOf(HistoryModel::Kind::Lost);
    case History::State::PageNotFound:
        break;
    }
    return HueOf(HistoryModel::Kind::NotFound);
}

double Luminance(const QColor &colour)
{
    const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

// The colour of this hue nearest to middle lightness that keeps the least contrast with every
// background: darker behind light rows, lighter behind dark ones.
QColor Readable(Hue hue, std::initializer_list<QColor> backgrounds)
{
    double light = 0;
    for (const QColor &background : backgrounds)
        light += Luminance(background);
    const bool lightRows = light / double(backgrounds.size()) > 0.18;
    const auto least = [&](const QColor &colour) {
        double contrast = 21;
        for (const QColor &background : backgrounds)
            contrast = std::min(contrast, StateMark::Contrast(colour, background));
        return contrast;
    };
    QColor colour = QColor::fromHsl(hue.hue, hue.saturation, 128);
    for (int lightness = 128; lightness >= 0 && lightness <= 255; lightness += lightRows ? -4 : 4) {
        colour = QColor::fromHsl(hue.hue, hue.saturation, lightness);
        if (least(colour) >= StateMark::LeastContrast)
            break;
    }
    return colour;
}

QColor ColourOn(HistoryModel::Kind kind, std::initializer_list<QColor> backgrounds)
{
    if (kind == HistoryModel::Kind::Unchecked)
        return {};
    return Readable(HueOf(kind), backgrounds);
}

// `edge` valid: the mark of a selected row, ringed in the highlight's text colour.
QPixmap Disc(HistoryModel::Kind kind, const QColor &colour, int size, const QColor &edge = {})
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal width = size / 6.0;
    const QRectF disc = QRectF(0, 0, size, size).adjusted(size / 6.0, size / 6.0, -size / 6.0, -size / 6.0);
    if (kind == HistoryModel::Kind::Down) {
        // Not yet lost: a ring, the colour of a loss without its weight.
        painter.setPen(QPen(colour, width));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(disc.adjusted(width / 2, width / 2, -width / 2, -width / 2));
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(disc);
    }
    if (edge.isValid()) {
        painter.setPen(QPen(edge, size / 12.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(disc.adjusted(-size / 12.0, -size / 12.0, size / 12.0, size / 12.0));
    }
    return pixmap;
}

} // namespace

double StateMark::Contrast(const QColor &a, const QColor &b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor StateMark::Colour(HistoryModel::Kind kind, const QPalette &palette)
{
    return ColourOn(kind, {palette.color(QPalette::Active, QPalette::Base), palette.color(QPalette::Active, QPalette::AlternateBase)});
}

QColor StateMark::Colour(History::State state, const QPalette &palette)
{
    return Readable(HueOf(state), {palette.color(QPalette::Active, QPalette::Window)});
}

QIcon StateMark::Icon(HistoryModel::Kind kind, const QPalette &palette)
{
    const QColor colour = Colour(kind, palette);
    if (!colour.isValid())
        return {};
    // On a selected row the colour stays, so that the kind still shows; the ring sets it off
    // from the highlight.
    const QColor edge = palette.color(QPalette::Active, QPalette::HighlightedText);
    QIcon icon;
    for (int size : {16, 32}) {
        icon.addPixmap(Disc(kind, colour, size), QIcon::Normal);
        icon.addPixmap(Disc(kind, colour, size, edge), QIcon::Selected);
    }
    return icon;
}
