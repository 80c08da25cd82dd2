#include "kit/Shades.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QWidget>

#include <cmath>

namespace {
struct ShadePair {
    QRgb light; // the design's colour
    QRgb dark;  // the same meaning under a dark palette
};

// Every colour of the design that means something, with its dark variant.
// Backgrounds keep their hue but sit near the dark palette's own window
// colour; text colours are light enough for 4.5:1 on those backgrounds and on
// a dark text area.
constexpr ShadePair shades[] = {
    {qRgb(255, 255, 227), qRgb(53, 51, 31)},    // the windows' pale yellow
    {qRgb(255, 255, 224), qRgb(56, 54, 32)},    // the timed note
    {qRgb(255, 255, 200), qRgb(60, 57, 30)},    // the lists window
    {qRgb(255, 255, 160), qRgb(70, 66, 28)},    // the browser's path line
    {qRgb(255, 255, 0), qRgb(88, 82, 0)},       // the grid's header, a hover colour
    {qRgb(0, 255, 255), qRgb(0, 88, 96)},       // the buttons' hover colour
    {qRgb(255, 255, 255), qRgb(30, 30, 30)},    // picture panels
    {qRgb(0, 0, 255), qRgb(138, 180, 255)},     // past reminders
    {qRgb(255, 0, 0), qRgb(255, 128, 118)},     // today's reminders
    {qRgb(0, 128, 0), qRgb(112, 214, 112)},     // coming reminders
    {qRgb(128, 128, 128), qRgb(176, 176, 176)}, // "nothing due"
    {qRgb(0, 0, 128), qRgb(150, 170, 255)},     // the help pages' headings
};

double channel(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
    const QColor c = colour.toRgb();
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

QColor mix(const QColor& from, const QColor& to, double t) {
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * t),
                            float(from.greenF() + (to.greenF() - from.greenF()) * t),
                            float(from.blueF() + (to.blueF() - from.blueF()) * t));
}
} // namespace

bool PaletteIsDark(const QPalette& palette) {
    return palette.color(QPalette::WindowText).lightness() > palette.color(QPalette::Window).lightness();
}

bool DesktopIsDark() {
    return PaletteIsDark(QGuiApplication::palette());
}

QColor Shade(const QColor& design, bool dark) {
    if (!dark)
        return design;
    const QRgb rgb = design.rgb() | 0xFF000000u;
    for (const ShadePair& pair : shades)
        if (pair.light == rgb)
            return QColor::fromRgb(pair.dark);
    return design;
}

QColor Shade(const QColor& design) {
    return Shade(design, DesktopIsDark());
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& text, const QColor& background) {
    if (ContrastRatio(text, background) >= ReadableContrast)
        return text;
    // A colour made to measure gets some room, so that blending at the
    // glyphs' edges or a slightly different background cannot take it under.
    constexpr double aim = ReadableContrast + 0.5;
    // Away from the background: towards white on a dark one, black on a light one.
    const QColor target = ContrastRatio(Qt::white, background) >= ContrastRatio(Qt::black, background)
                              ? QColor(Qt::white)
                              : QColor(Qt::black);
    for (int step = 1; step <= 20; ++step) {
        const QColor candidate = mix(text, target, step / 20.0);
        if (ContrastRatio(candidate, background) >= aim)
            return candidate;
    }
    return target;
}

void MakeTextReadable(QPalette& palette, const QColor& background) {
    if (!DesktopIsDark())
        return;
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            palette.setColor(group, role, ReadableOn(palette.color(group, role), background));
        // Selected items: a dark palette's bright selection colour often carries light text.
        const QColor selection = palette.color(group, QPalette::Highlight);
        if (ContrastRatio(palette.color(group, QPalette::HighlightedText), selection) < ReadableContrast)
            palette.setColor(group, QPalette::HighlightedText,
                             ContrastRatio(Qt::white, selection) >= ContrastRatio(Qt::black, selection)
                                 ? QColor(Qt::white)
                                 : QColor(Qt::black));
        palette.setColor(group, QPalette::Link, ReadableOn(palette.color(group, QPalette::Link), background));
    }
}

void SetKitBase(QWidget* widget, const QColor& design) {
    QPalette palette = widget->palette();
    const QColor base = Shade(design);
    palette.setColor(QPalette::Base, base);
    MakeTextReadable(palette, base);
    widget->setPalette(palette);
}

QString KitHeaderStyle() {
    const QString light = QStringLiteral("QHeaderView::section { background-color: #FFFF00; border: 0px; "
                                         "border-right: 1px solid #A0A0A0; border-bottom: 1px solid #A0A0A0; "
                                         "padding-left: 2px; }");
    if (!DesktopIsDark())
        return light;
    const QColor background = Shade(QColor(255, 255, 0), true);
    const QColor text = ReadableOn(QGuiApplication::palette().color(QPalette::ButtonText), background);
    return QStringLiteral("QHeaderView::section { background-color: %1; color: %2; border: 0px; "
                          "border-right: 1px solid #707070; border-bottom: 1px solid #707070; "
                          "padding-left: 2px; }")
        .arg(background.name(), text.name());
}

QString ShadeColoursIn(const QString& text) {
    if (!DesktopIsDark())
        return text;
    static const QRegularExpression hex(QStringLiteral("#([0-9a-fA-F]{6})\\b"));
    // Black text on the pale-yellow page becomes the desktop's light text on the dark one.
    const QColor page = Shade(QColor(255, 255, 227), true);
    const QColor black = ReadableOn(QGuiApplication::palette().color(QPalette::WindowText), page);
    QString out;
    qsizetype done = 0;
    for (auto it = hex.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QColor colour(match.captured(0));
        const QColor shown = colour == QColor(Qt::black) ? black : Shade(colour, true);
        out += text.mid(done, match.capturedStart() - done);
        out += shown == colour ? match.captured(0) : shown.name();
        done = match.capturedEnd();
    }
    return out + text.mid(done);
}
