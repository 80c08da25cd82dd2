#include "info/Uitleg.h"

#include "kit/ClrBtn.h"
#include "kit/Shades.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

namespace {
QFont textFont() {
    QFont font(QStringLiteral("Verdana"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(TFormUitleg::TextPoints);
    return font;
}
} // namespace

QStringList TFormUitleg::ExplanationLines() {
    return {
        QString(),
        QStringLiteral("Wat staat er allemaal in het hoofdscherm"),
        QString(),
        QStringLiteral("Afhankelijk van de gebeurtenis staan er verschillende gegevens in elke regel."),
        QString(),
        QStringLiteral("Feest, Geboorte, Huwelijk, Jubileum:"),
        QStringLiteral("Voorbeeld: \"Jan Jansen wordt over 14 dagen (do 21-01) 80 jaar\""),
        QStringLiteral("Achtereenvolgend staan in deze regel:"),
        QStringLiteral("- De naam."),
        QStringLiteral("- Over hoeveel dagen, of hoeveel dagen geleden, Jan jarig is of was."),
        QStringLiteral("- Tussen haakjes de verjaardagsdag en -datum."),
        QStringLiteral("- De bereikte leeftijd (alleen als de geboortedatum is ingevoerd)."),
        QString(),
        QStringLiteral("Overlijden:"),
        QStringLiteral("Voorbeeld: \"Jan Jansen (55) is morgen (vr 08-01) 21 jaar overleden\""),
        QStringLiteral("Deze regel is vrijwel gelijk aan de regels Feest, Geboorte, Huwelijk, Jubileum,"),
        QStringLiteral("maar hier staat na de naam, tussen haakjes, de leeftijd bij overlijden (alleen "),
        QStringLiteral("als de overlijdensdatum is ingevoerd)."),
        QString(),
        QStringLiteral("Te Doen:"),
        QStringLiteral("Voorbeeld: \"Over 8 dagen (vr 15-01): Naar de longarts\""),
        QStringLiteral("Achtereenvolgend staan in deze regel:"),
        QStringLiteral("- Over hoeveel dagen de longarts moet worden bezocht."),
        QStringLiteral("- Tussen haakjes de dag en de datum waarop dat moet gebeuren."),
        QStringLiteral("- Wat er moet gebeuren."),
        QStringLiteral("Nota bene: Alleen hier kan een datum in de toekomst worden ingevuld."),
        QString(),
    };
}

TFormUitleg::TFormUitleg(QWidget* mainWindow) : QDialog(mainWindow, Qt::Window) {
    setObjectName(QStringLiteral("FormUitleg"));
    setModal(true);
    setFont(KitFont(QStringLiteral("Verdana"), 16));
    setWindowTitle(QStringLiteral("Brolt") + QStringLiteral(" - ") + QStringLiteral("Uitleg"));
    SetKitBackground(this, KitColor::Window);

    m_richEdit = new QTextEdit(this);
    m_richEdit->setObjectName(QStringLiteral("RichEdit"));
    m_richEdit->setAccessibleName(QStringLiteral("Uitleg"));
    m_richEdit->setFrameShape(QFrame::NoFrame);
    m_richEdit->setReadOnly(true);
    // Nothing to select or type, but the text is taller than the window:
    // the scroll bar and the wheel must keep working, so the box stays enabled.
    m_richEdit->setTextInteractionFlags(Qt::NoTextInteraction);
    m_richEdit->setFocusPolicy(Qt::NoFocus);
    m_richEdit->setLineWrapMode(QTextEdit::NoWrap);
    QPalette palette = m_richEdit->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, Shade(ColorFromBgr(KitColor::Window)));
        palette.setColor(group, QPalette::Text, palette.color(QPalette::Active, QPalette::WindowText));
    }
    m_richEdit->setPalette(palette);

    // One block per line, every line in 15-point type, the title centred.
    const QFont font = textFont();
    QTextCharFormat chars;
    chars.setFont(font);
    QTextCursor cursor(m_richEdit->document());
    const QStringList lines = ExplanationLines();
    for (int i = 0; i < lines.size(); ++i) {
        QTextBlockFormat block;
        block.setAlignment(i == 1 ? Qt::AlignHCenter : Qt::AlignLeft);
        if (i == 0) {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(chars);
        } else {
            cursor.insertBlock(block, chars);
        }
        cursor.insertText(lines[i], chars);
    }
    // The text is read from its first line.
    m_richEdit->moveCursor(QTextCursor::Start);

    m_panelBottom = new QWidget(this);
    m_panelBottom->setObjectName(QStringLiteral("PanelBottom"));
    m_btnClose = new TClrBtn(QStringLiteral("Sluiten"), m_panelBottom);
    m_btnClose->setObjectName(QStringLiteral("BtnClose"));
    m_btnClose->setFont(KitFont(QStringLiteral("Verdana"), 17));
    m_btnClose->resize(125, 35);
    m_btnClose->setBackColor(KitColor::Window);
    m_btnClose->setHoverColor(KitColor::ButtonHover);
    m_btnClose->setDefault(true);
    connect(m_btnClose, &TClrBtn::clicked, this, &TFormUitleg::BtnCloseClick);

    // Wide enough for the longest line, as far as the screen allows.
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& line : lines)
        widest = qMax(widest, metrics.horizontalAdvance(line));
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    int clientWidth = RichLeft + widest + scrollBar + 2 * int(m_richEdit->document()->documentMargin()) + 8;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        clientWidth = qMin(clientWidth, screen->availableGeometry().width() - 20);
    resize(clientWidth, RichHeight + PanelHeight);
    placeControls();
}

void TFormUitleg::placeControls() {
    const int clientWidth = width();
    const int richHeight = qMax(0, height() - PanelHeight);
    m_richEdit->setGeometry(RichLeft, 0, clientWidth - RichLeft, richHeight);
    m_panelBottom->setGeometry(0, richHeight, clientWidth, PanelHeight);
    m_btnClose->move((clientWidth - m_btnClose->width()) / 2, (PanelHeight - m_btnClose->height()) / 2);
}

void TFormUitleg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    placeControls();
}

void TFormUitleg::ShowUitleg() {
    if (const QWidget* main = parentWidget() ? parentWidget()->window() : nullptr) {
        const QRect frame = main->frameGeometry();
        move(frame.left() + (frame.width() - width()) / 2, frame.top() + (frame.height() - height()) / 2);
    }
    m_richEdit->verticalScrollBar()->setValue(0);
    exec();
}

void TFormUitleg::BtnCloseClick() {
    accept();
}
