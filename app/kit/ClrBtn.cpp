#include "ClrBtn.h"

#include "kit/Desktop.h"
#include "kit/Shades.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolButton>
#include <qdrawutil.h>

QColor ColorFromBgr(quint32 bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QColor ResolveColor(quint32 value, const QPalette& palette) {
    if (!(value & SysColor::Flag))
        return ColorFromBgr(value);
    switch (value) {
    case SysColor::Window:
        return palette.color(QPalette::Base);
    case SysColor::WindowFrame:
        return palette.color(QPalette::Shadow);
    case SysColor::WindowText:
        return palette.color(QPalette::WindowText);
    case SysColor::Highlight:
        return palette.color(QPalette::Highlight);
    case SysColor::HighlightText:
        return palette.color(QPalette::HighlightedText);
    case SysColor::BtnShadow:
        return palette.color(QPalette::Dark);
    case SysColor::GrayText:
        return palette.color(QPalette::Disabled, QPalette::Text);
    case SysColor::BtnText:
        return palette.color(QPalette::ButtonText);
    case SysColor::BtnHighlight:
        return palette.color(QPalette::Light);
    case SysColor::BtnFace:
    default:
        return palette.color(QPalette::Button);
    }
}

QFont KitFont(const QString& family, int pixels) {
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(ScaledPixels(pixels));
    return font;
}

int PointsOfPixels(int pixels) {
    return qRound(pixels * 72.0 / 96.0);
}

void SetKitBackground(QWidget* widget, quint32 bgr) {
    QPalette palette = widget->palette();
    const QColor background = Shade(ColorFromBgr(bgr));
    palette.setColor(QPalette::Window, background);
    MakeTextReadable(palette, background);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

TClrBtn::TClrBtn(QWidget* parent) : QPushButton(parent) {}

TClrBtn::TClrBtn(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

void TClrBtn::setBackColor(quint32 value) {
    if (value == m_backColor)
        return;
    m_backColor = value;
    update();
}

void TClrBtn::setForeColor(quint32 value) {
    if (value == m_foreColor)
        return;
    m_foreColor = value;
    update();
}

void TClrBtn::setHoverColor(quint32 value) {
    if (value == m_hoverColor)
        return;
    m_hoverColor = value;
    update();
}

void TClrBtn::useKitColors() {
    setBackColor(KitColor::Window);
    setHoverColor(KitColor::ButtonHover);
}

void TClrBtn::enterEvent(QEnterEvent* event) {
    if (!m_hovering) {
        m_hovering = true;
        m_savedBackColor = m_backColor;
        setBackColor(m_hoverColor);
    }
    QPushButton::enterEvent(event);
}

void TClrBtn::leaveEvent(QEvent* event) {
    // Only a leave that follows an enter restores the face; a stray leave
    // would otherwise paint a colour nobody chose.
    if (m_hovering) {
        m_hovering = false;
        setBackColor(m_savedBackColor);
    }
    QPushButton::leaveEvent(event);
}

void TClrBtn::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    const bool pressed = isDown();
    const bool disabled = !isEnabled();
    QRect face = rect();

    // The default (or focused) button carries a dark outline.
    if (isDefault() || hasFocus()) {
        // The frame colour is black, which a dark palette's panels would swallow.
        painter.setPen(DesktopIsDark() ? pal.color(QPalette::WindowText)
                                       : ResolveColor(SysColor::WindowFrame, pal));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(face.adjusted(0, 0, -1, -1));
        face.adjust(1, 1, -1, -1);
    }

    if (pressed) {
        painter.setPen(ResolveColor(SysColor::BtnShadow, pal));
        painter.setBrush(ResolveColor(SysColor::BtnFace, pal));
        painter.drawRect(face.adjusted(0, 0, -1, -1));
        face.adjust(1, 1, -1, -1);
        face.translate(1, 1);
    } else {
        qDrawWinButton(&painter, face, pal, false, nullptr);
        face.adjust(2, 2, -2, -2);
    }

    // A design colour follows the desktop's palette; a system colour is the palette's already.
    const QColor faceColor =
        m_backColor & SysColor::Flag ? ResolveColor(m_backColor, pal) : Shade(ColorFromBgr(m_backColor));
    painter.fillRect(face, faceColor);

    painter.setBackgroundMode(Qt::TransparentMode);
    if (!disabled) {
        const QColor caption = ResolveColor(m_foreColor, pal);
        painter.setPen(DesktopIsDark() ? ReadableOn(caption, faceColor) : caption);
        painter.drawText(face, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, text());
    } else {
        // The platform's disabled caption, measured from the button's own origin.
        const QFontMetrics metrics(font());
        const int textWidth = metrics.horizontalAdvance(WithoutMnemonic(text()));
        const int textHeight = metrics.height();
        const QRect place((face.width() - textWidth) / 2, (face.height() - textHeight) / 2, textWidth,
                          textHeight);
        QPalette disabledPalette = pal;
        disabledPalette.setCurrentColorGroup(QPalette::Disabled);
        style()->drawItemText(&painter, place, Qt::AlignCenter | Qt::TextShowMnemonic, disabledPalette, false,
                              text(), QPalette::ButtonText);
    }

    // Focus moves the default role to the focused button on the desktop this
    // button comes from, so every focused button shows the focus rectangle.
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(4, 4, -4, -4);
        option.backgroundColor = ResolveColor(SysColor::BtnFace, pal);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& hint, const char* theme,
                            QStyle::StandardPixmap fallback) {
    return MakeToolButton(parent, name, hint,
                          QIcon::fromTheme(QLatin1String(theme), parent->style()->standardIcon(fallback)));
}

QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& hint, const QIcon& icon) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    button->setIcon(icon);
    button->setIconSize(QSize(24, 24));
    button->setAutoRaise(true);
    return button;
}
