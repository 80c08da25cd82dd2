#pragma once

// Measures, from the pixels a window paints, the contrast of every text in it
// against the background right behind that text: labels, buttons, check boxes,
// radio buttons, group titles, fields, header sections, grid cells, list items
// and each line of a text view.  Disabled and hidden controls are left out.

#include "kit/Shades.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QScrollBar>
#include <QStyleOptionGroupBox>
#include <QTableView>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>
#include <functional>

struct MeasuredText {
    QString where; // "ClassName objectName: text"
    double ratio = 0;
};

namespace TextContrastDetail {

inline QImage render(QWidget* widget, QWidget::RenderFlags flags) {
    QImage image(widget->size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    widget->render(&image, QPoint(), QRegion(), flags);
    return image;
}

// The third-highest ratio of a set of pixel pairs, so that a stray pixel or
// two cannot decide.
inline double robustTop(QList<double>& ratios) {
    if (ratios.isEmpty())
        return 0;
    std::sort(ratios.begin(), ratios.end(), std::greater<double>());
    return ratios[std::min<qsizetype>(2, ratios.size() - 1)];
}

// Text on one background inside `area` of `image`: the background is the most
// frequent colour, the text the colour (of at least three pixels) that differs
// most from it.
inline double cropRatio(const QImage& image, const QRect& area) {
    const QRect r = area.intersected(image.rect());
    if (r.width() < 2 || r.height() < 2)
        return 0;
    QHash<QRgb, int> counts;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000u];
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() >= 3)
            best = std::max(best, ContrastRatio(QColor::fromRgb(it.key()), QColor::fromRgb(background)));
    return best;
}

// The pixels that change when the text goes: each with its colour with and
// without the text.
inline double diffRatio(const QImage& with, const QImage& without) {
    QList<double> ratios;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x) {
            const QRgb a = with.pixel(x, y), b = without.pixel(x, y);
            if (a != b)
                ratios << ContrastRatio(QColor::fromRgb(a), QColor::fromRgb(b));
        }
    return robustTop(ratios);
}

inline QString where(const QWidget* widget, const QString& text) {
    return QStringLiteral("%1 %2: \"%3\"")
        .arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName(), text.left(40));
}

inline void measureItemView(QAbstractItemView* view, QList<MeasuredText>& out) {
    const QImage image = render(view->viewport(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    QAbstractItemModel* model = view->model();
    if (!model)
        return;
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row)
        for (int column = 0; column < model->columnCount(view->rootIndex()); ++column) {
            const QModelIndex index = model->index(row, column, view->rootIndex());
            const QString text = index.data().toString().trimmed();
            const QRect cell = view->visualRect(index).adjusted(2, 2, -2, -2);
            if (text.isEmpty() || cell.width() < 4 || !view->viewport()->rect().intersects(cell))
                continue;
            out << MeasuredText{where(view, text), cropRatio(image, cell)};
        }
    if (auto* table = qobject_cast<QTableView*>(view)) {
        QHeaderView* header = table->horizontalHeader();
        if (!header->isVisible())
            return;
        const QImage heads =
            render(header->viewport(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
        for (int section = 0; section < header->count(); ++section) {
            const QString text = model->headerData(section, Qt::Horizontal).toString();
            const int left = header->sectionViewportPosition(section);
            const QRect area(left + 3, 3, header->sectionSize(section) - 6, header->height() - 6);
            if (text.isEmpty() || header->isSectionHidden(section) || area.width() < 4)
                continue;
            out << MeasuredText{where(header, text), cropRatio(heads, area)};
        }
    }
}

inline void measureTextView(QTextEdit* edit, QList<MeasuredText>& out) {
    QWidget* viewport = edit->viewport();
    const QImage image = render(viewport, QWidget::DrawWindowBackground | QWidget::DrawChildren);
    QTextDocument* document = edit->document();
    const QPoint offset(edit->horizontalScrollBar()->value(), edit->verticalScrollBar()->value());
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text().trimmed();
        const QRect line =
            document->documentLayout()->blockBoundingRect(block).toAlignedRect().translated(-offset);
        // Only lines wholly in view: of a line cut off at the edge only the background may show.
        if (text.isEmpty() || line.top() < 0 || line.bottom() > viewport->height())
            continue;
        out << MeasuredText{where(edit, text), cropRatio(image, line.intersected(viewport->rect()))};
    }
}

} // namespace TextContrastDetail

// Every text under `window` as it is painted now.
inline QList<MeasuredText> MeasureTextContrast(QWidget* window) {
    using namespace TextContrastDetail;
    QList<MeasuredText> out;
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* w : widgets) {
        if (!w->isVisibleTo(window) || !w->isEnabled() || w->width() < 4 || w->height() < 4)
            continue;
        const auto own = QWidget::DrawWindowBackground; // the widget alone, on its own background
        if (auto* label = qobject_cast<QLabel*>(w)) {
            const QString text = label->text();
            if (text.trimmed().isEmpty() || label->textFormat() == Qt::RichText)
                continue;
            const QImage with = render(label, own);
            label->setText(QString());
            const QImage without = render(label, own);
            label->setText(text);
            out << MeasuredText{where(label, text), diffRatio(with, without)};
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            const QString text = button->text();
            if (text.trimmed().isEmpty())
                continue;
            const QImage with = render(button, own);
            const bool blocked = button->blockSignals(true);
            button->setText(QString());
            const QImage without = render(button, own);
            button->setText(text);
            button->blockSignals(blocked);
            out << MeasuredText{where(button, text), diffRatio(with, without)};
        } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
            if (box->title().trimmed().isEmpty())
                continue;
            QStyleOptionGroupBox option;
            option.initFrom(box);
            option.text = box->title();
            option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
            const QRect title =
                box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
            out << MeasuredText{where(box, box->title()), cropRatio(render(box, own), title)};
        } else if (auto* line = qobject_cast<QLineEdit*>(w)) {
            if (line->text().trimmed().isEmpty() || line->echoMode() != QLineEdit::Normal)
                continue;
            const QImage image = render(line, own);
            out << MeasuredText{where(line, line->text()),
                                cropRatio(image, line->rect().adjusted(3, 3, -3, -3))};
        } else if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
            measureItemView(view, out);
        } else if (auto* edit = qobject_cast<QTextEdit*>(w)) {
            measureTextView(edit, out);
        }
    }
    return out;
}
