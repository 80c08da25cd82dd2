#include "Ask.h"

#include "kit/ClrBtn.h"
#include "kit/Log.h"
#include "kit/MessForm.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {
constexpr int clientWidth = 320;
constexpr int labelTop = 8;
constexpr int labelWidth = 301;
} // namespace

TAskDlg::TAskDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("AskDlg"));
    setModal(true);
    setFont(KitFont(QStringLiteral("Arial"), 15));
    SetKitBackground(this, KitColor::Window);

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("AskLabel"));
    m_label->setWordWrap(true);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label->setGeometry(9, labelTop, labelWidth, 30);

    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("AskEdit"));
    m_edit->setGeometry((clientWidth - 291) / 2, 48, 291, 25);

    m_btnOK = new TClrBtn(QStringLiteral("OK"), this);
    m_btnOK->setObjectName(QStringLiteral("BtnOK"));
    m_btnCancel = new TClrBtn(QStringLiteral("Annuleren"), this);
    m_btnCancel->setObjectName(QStringLiteral("BtnCancel"));
    for (TClrBtn* button : {m_btnOK, m_btnCancel}) {
        button->setFixedSize(104, 28);
        button->useKitColors();
    }
    m_btnOK->move(48, 83);
    m_btnCancel->move(clientWidth - 48 - 104, 83);
    m_btnOK->setDefault(true);

    connect(m_btnOK, &QPushButton::clicked, this, &TAskDlg::BtnOKClick);
    connect(m_btnCancel, &QPushButton::clicked, this, &TAskDlg::BtnCancelClick);
    setFixedSize(clientWidth, 121);
}

bool TAskDlg::AskText(const QRect& caller, QString& text, const QString& prompt, const QString& title,
                      QLineEdit::EchoMode echo) {
    LogScope log("AskDlg", "AskText");
    setWindowTitle(title + QStringLiteral(" - Brolt"));
    m_label->setText(prompt);
    m_edit->setEchoMode(echo);
    m_edit->setText(text);
    m_edit->deselect();
    m_edit->end(false);

    // Height by the prompt's length; at least one line, so a short prompt is
    // not cut off.
    const QFontMetrics metrics(font());
    const int labelHeight = qMax(metrics.horizontalAdvance(prompt) * 30 / labelWidth, metrics.height());
    m_label->setGeometry(m_label->x(), labelTop, labelWidth, labelHeight);
    m_edit->move(m_edit->x(), labelTop + labelHeight + 10);
    const int buttonTop = m_edit->y() + m_edit->height() + 10;
    m_btnCancel->move(m_btnCancel->x(), buttonTop);
    m_btnOK->move(m_btnOK->x(), buttonTop);
    setFixedSize(clientWidth, buttonTop + m_btnOK->height() + 10);

    move(CentreOnCaller(caller, size()));
    m_okPressed = false;
    m_edit->setFocus(Qt::OtherFocusReason);
    exec();
    text = m_edit->text();
    return m_okPressed;
}

void TAskDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_edit->setFocus(Qt::OtherFocusReason);
    raise();
    if (m_nextAnswer) {
        const Pending answer = *m_nextAnswer;
        m_nextAnswer.reset();
        QTimer::singleShot(0, this, [this, answer] {
            if (answer.text)
                m_edit->setText(*answer.text);
            (answer.ok ? m_btnOK : m_btnCancel)->click();
        });
    }
}

// Showing a dialog hands the focus to the field as if by Tab, which would
// select its text; the answer starts unselected.
void TAskDlg::setVisible(bool visible) {
    QDialog::setVisible(visible);
    if (visible)
        m_edit->deselect();
}

void TAskDlg::BtnOKClick() {
    m_okPressed = true;
    accept();
}

void TAskDlg::BtnCancelClick() {
    m_okPressed = false;
    reject();
}
