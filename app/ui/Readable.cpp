#include "Readable.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace Tidemark {

namespace {

double luminance(const QColor& color) {
    auto channel = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

QColor mix(const QColor& from, const QColor& to, double t) {
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// A colour drawn over the background: what the eye sees of a translucent one.
QColor flatten(const QColor& color, const QColor& background) {
    return color.alpha() == 255 ? color : mix(background, QColor(color.rgb()), color.alphaF());
}

}  // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& color, const QColor& background, double ratio) {
    const QColor start = flatten(color, background);
    if (contrastRatio(start, background) >= ratio) return start;
    const QColor target = contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background)
                              ? QColor(Qt::black)
                              : QColor(Qt::white);
    // The least change that reaches the ratio, to a hundredth of the way.
    for (int step = 1; step <= 100; ++step) {
        const QColor candidate = mix(start, target, step / 100.0);
        if (contrastRatio(candidate, background) >= ratio) return candidate;
    }
    return target;
}

QPalette readablePalette(QPalette palette) {
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        const QColor background = palette.color(group, QPalette::Window);
        for (auto role : {QPalette::WindowText, QPalette::Link, QPalette::LinkVisited, QPalette::PlaceholderText}) {
            palette.setColor(group, role, readableOn(palette.color(group, role), background));
        }
    }
    return palette;
}

QColor statusDotColor(StatusColor color) {
    switch (color) {
        case StatusColor::orange: return QColor(255, 149, 0);
        case StatusColor::red: return QColor(255, 59, 48);
        case StatusColor::green: return QColor(52, 199, 89);
        case StatusColor::blue: return QColor(0, 122, 255);
        case StatusColor::purple: return QColor(175, 82, 222);
    }
    return Qt::gray;
}


}  // namespace Tidemark
