#include "kit/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {
// Drawn on a 48-unit square, at each size a tool bar may ask for.
QIcon drawn(void (*draw)(QPainter&)) {
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(side / 48.0, side / 48.0);
        draw(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void drawAddressBook(QPainter& p) {
    const QColor cover(0x3b, 0x6e, 0xa8), spine(0x24, 0x4a, 0x75), paper(0xf4, 0xf1, 0xe6);
    p.setPen(Qt::NoPen);
    p.setBrush(paper); // the pages' edge
    p.drawRoundedRect(QRectF(12, 5, 30, 39), 2, 2);
    p.setBrush(cover);
    p.drawRoundedRect(QRectF(8, 3, 31, 40), 3, 3);
    p.setBrush(spine);
    p.drawRect(QRectF(8, 3, 6, 40));
    // Index tabs on the side.
    p.setBrush(QColor(0xe0, 0xa0, 0x30));
    for (const int y : {9, 19, 29})
        p.drawRect(QRectF(39, y, 4, 6));
    // A person on the cover.
    p.setBrush(paper);
    p.drawEllipse(QPointF(26.5, 17), 5, 5);
    QPainterPath shoulders;
    shoulders.moveTo(17, 35);
    shoulders.cubicTo(17, 24, 36, 24, 36, 35);
    shoulders.closeSubpath();
    p.drawPath(shoulders);
}

void drawCalendar(QPainter& p) {
    const QColor page(0xfb, 0xfb, 0xf8), band(0xc8, 0x32, 0x2d), grid(0x60, 0x60, 0x60);
    p.setPen(QPen(grid, 1.5));
    p.setBrush(page);
    p.drawRoundedRect(QRectF(5, 8, 38, 36), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(band);
    p.drawRect(QRectF(5.75, 8.75, 36.5, 9));
    // The rings the page hangs from.
    p.setBrush(grid);
    for (const int x : {14, 34})
        p.drawRoundedRect(QRectF(x - 2, 4, 4, 9), 2, 2);
    // Days, with today marked.
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 5; ++column) {
            p.setBrush(row == 1 && column == 2 ? band : QColor(0x90, 0x90, 0x90));
            p.drawRect(QRectF(9 + column * 6.6, 21 + row * 7, 4.5, 4.5));
        }
}
} // namespace

QIcon AddressBookIcon() {
    static const QIcon icon = drawn(drawAddressBook);
    return icon;
}

QIcon CalendarIcon() {
    static const QIcon icon = drawn(drawCalendar);
    return icon;
}

QIcon ThemeIcon(const char* theme, const QIcon& fallback) {
    return QIcon::fromTheme(QLatin1String(theme), fallback);
}
