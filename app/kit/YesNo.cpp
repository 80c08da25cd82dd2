#include "YesNo.h"

#include "kit/ClrBtn.h"
#include "kit/Desktop.h"
#include "kit/Log.h"
#include "kit/MessForm.h"
#include "kit/Shades.h"

#include <QFrame>
#include <QRegularExpression>
#include <QTextEdit>
#include <QTimer>

#include <cmath>

namespace {
constexpr int panelLeft = 16;
constexpr int windowFontPixels = 14;
constexpr int buttonFontPixels = 16;

QStringList linesOf(const QString& message) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return message.split(lineBreak);
}
} // namespace

TYesNoDlg::TYesNoDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("YesNoDlg"));
    setModal(true);
    setFont(KitFont(QStringLiteral("Verdana"), windowFontPixels));
    SetKitBackground(this, KitColor::Window);

    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("MessagePanel"));
    m_panel->setFrameShape(QFrame::Panel);
    m_panel->setFrameShadow(QFrame::Sunken);
    m_panel->setLineWidth(1);
    m_panel->move(13, 10);

    m_memo = new QTextEdit(m_panel);
    m_memo->setObjectName(QStringLiteral("MessageMemo"));
    m_memo->setReadOnly(true);
    m_memo->setFrameShape(QFrame::NoFrame);
    m_memo->setAcceptRichText(false);
    m_memo->setLineWrapMode(QTextEdit::WidgetWidth);
    m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The heights are fixed at the first question; a later, longer question
    // scrolls rather than losing its last lines.
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_memo->setFocusPolicy(Qt::NoFocus);
    m_memo->setTextInteractionFlags(Qt::NoTextInteraction);
    SetKitBase(m_memo, ColorFromBgr(KitColor::Window));
    m_memo->move(8, 8);

    const QFont buttonFont = KitFont(QStringLiteral("Verdana"), buttonFontPixels);
    auto makeButton = [&](const char* name, const QString& caption, int width) {
        auto* button = new TClrBtn(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setFont(buttonFont);
        button->setFixedSize(width, 30);
        button->useKitColors();
        return button;
    };
    m_btnYes = makeButton("BtnYes", QStringLiteral("Ja"), 111);
    m_btnCancel = makeButton("BtnCancel", QStringLiteral("Annuleren"), 111);
    m_btnNo = makeButton("BtnNo", QStringLiteral("Nee"), 110);
    m_btnNo->move(274, m_btnNo->y());

    connect(m_btnYes, &QPushButton::clicked, this, &TYesNoDlg::BtnYesClick);
    connect(m_btnNo, &QPushButton::clicked, this, &TYesNoDlg::BtnNoClick);
    connect(m_btnCancel, &QPushButton::clicked, this, &TYesNoDlg::BtnCancelClick);
}

bool TYesNoDlg::AskYesNo(const QRect& caller, bool& cancel, bool defaultAnswer, const QString& yesCaption,
                         const QString& noCaption, const QString& cancelCaption, const QString& message,
                         const QString& title) {
    LogScope log("YesNoDlg", "AskYesNo");
    m_caller = caller;
    setWindowTitle(title);
    m_btnYes->setText(yesCaption);
    m_btnNo->setText(noCaption);
    m_btnCancel->setText(cancelCaption);
    m_btnCancel->setVisible(cancel);
    // A message to acknowledge has its one button alone, in the middle.
    const bool oneButton = noCaption.isEmpty();
    m_btnNo->setVisible(!oneButton);
    // A larger desktop font needs wider buttons than the design's.
    const QFontMetrics buttonMetrics(m_btnYes->font());
    for (const auto& [button, width] : {std::pair{m_btnYes, 111}, {m_btnNo, 110}, {m_btnCancel, 111}})
        button->setFixedSize(
            std::max(width, buttonMetrics.horizontalAdvance(WithoutMnemonic(button->text())) + 16),
            std::max(30, buttonMetrics.height() + 8));

    const QStringList lines = linesOf(message);
    const int textWidth = QFontMetrics(font()).horizontalAdvance(lines.join(QString()));
    int panelWidth = int(std::lround(std::sqrt(double(textWidth)) * 10.0));
    // Never narrower than at the previous question: the "Nee" button stands
    // at the right edge the previous question gave it.
    const int minimum = m_btnNo->x() + m_btnNo->width() - panelLeft;
    if (panelWidth < minimum)
        panelWidth = minimum;
    m_panel->setGeometry(panelLeft, m_panel->y(), panelWidth, m_panel->height());
    m_memo->setGeometry(8, m_memo->y(), panelWidth - 16, m_memo->height());
    const int clientWidth = panelWidth + 2 * panelLeft;
    m_btnYes->move(oneButton ? (clientWidth - m_btnYes->width()) / 2 : 16, m_btnYes->y());
    m_btnNo->move(clientWidth - m_btnNo->width() - 16, m_btnNo->y());
    m_btnCancel->move((clientWidth - m_btnCancel->width()) / 2, m_btnCancel->y());
    setFixedWidth(clientWidth);

    m_memo->setPlainText(lines.join(QLatin1Char('\n')));

    m_answer = defaultAnswer;
    m_defaultAnswer = defaultAnswer;
    m_cancelState = false;
    // The button of the default answer has the focus, so Enter gives it.
    (defaultAnswer ? m_btnYes : m_btnNo)->setFocus();
    hide();
    exec();
    cancel = m_cancelState;
    log.setEndSuffix(m_answer ? QStringLiteral(", Ja") : QStringLiteral(", Nee"));
    return m_answer;
}

void TYesNoDlg::showEvent(QShowEvent* event) {
    if (!m_firstPaintDone)
        FormPaint();
    QDialog::showEvent(event);
    if (m_nextAnswer) {
        const Answer answer = *m_nextAnswer;
        m_nextAnswer.reset();
        QTimer::singleShot(0, this, [this, answer] {
            if (answer == Answer::Yes)
                m_btnYes->click();
            else if (answer == Answer::No)
                m_btnNo->click();
            else
                m_btnCancel->click();
        });
    }
}

// Heights and position are settled when the window first shows in a run;
// later questions change only the widths and the text.
void TYesNoDlg::FormPaint() {
    LogScope log("YesNoDlg", "FormPaint");
    m_firstPaintDone = true;
    const int lineHeight = qRound(PointsOfPixels(ScaledPixels(windowFontPixels)) * 1.6);
    const int lines = CountDisplayedLines(m_memo->document(), m_memo->width());
    m_memo->setFixedHeight((lines + 1) * lineHeight);
    m_panel->setFixedHeight(m_memo->height() + 15);
    const int buttonTop = m_panel->height() + 27;
    m_btnYes->move(m_btnYes->x(), buttonTop);
    m_btnNo->move(m_btnNo->x(), buttonTop);
    m_btnCancel->move(m_btnCancel->x(), buttonTop);
    setFixedHeight(buttonTop + m_btnYes->height() + 20);
    move(CentreOnCaller(m_caller, size()));
}

void TYesNoDlg::BtnYesClick() {
    m_answer = true;
    m_cancelState = false;
    accept();
}

void TYesNoDlg::BtnNoClick() {
    m_answer = false;
    m_cancelState = false;
    QDialog::reject();
}

void TYesNoDlg::BtnCancelClick() {
    m_answer = false;
    m_cancelState = true;
    QDialog::reject();
}

// Escape or the window manager's close: with the third button shown that is
// what the user means; otherwise the caller's default answer stands.
void TYesNoDlg::reject() {
    if (m_btnCancel->isVisibleTo(this)) {
        BtnCancelClick();
        return;
    }
    m_answer = m_defaultAnswer;
    m_cancelState = false;
    QDialog::reject();
}
