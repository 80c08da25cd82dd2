#include "maintenance/ToonLog.h"

#include "kit/ClrBtn.h"
#include "kit/Log.h"
#include "kit/Mail.h"
#include "kit/Support.h"

#include <QPlainTextEdit>
#include <QScreen>
#include <QTextBlock>

namespace {
constexpr int textWidth = 660;
}

TToonLogForm::TToonLogForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ToonLogForm"));
    setWindowTitle(QStringLiteral("Toon Log"));
    resize(700, 560);

    m_richEdit = new QPlainTextEdit(this);
    m_richEdit->setObjectName(QStringLiteral("RichEdit"));
    m_richEdit->setReadOnly(true);
    m_richEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_richEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_richEdit->setGeometry(20, 15, textWidth, 480);
    m_btnMail = new TClrBtn(QStringLiteral("Mail Log"), this);
    m_btnMail->setObjectName(QStringLiteral("BtnMail"));
    m_btnMail->setGeometry(240, 510, 100, 30);
    m_btnOK = new TClrBtn(QStringLiteral("OK"), this);
    m_btnOK->setObjectName(QStringLiteral("BtnOK"));
    m_btnOK->setGeometry(360, 510, 100, 30);
    m_btnOK->setDefault(true);

    connect(m_btnMail, &QPushButton::clicked, this, &TToonLogForm::BtnMailClick);
    connect(m_btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

void TToonLogForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TToonLogForm::FormShow() {
    LogScope log("ToonLogForm", "FormShow");
    SetKitBackground(this, KitColor::Window);
    m_btnMail->useKitColors();
    m_btnOK->useKitColors();

    QByteArray content;
    if (LogFile.isEmpty() || !ReadWholeFile(LogFile, content)) {
        m_richEdit->clear();
        log.endWith(QStringLiteral("Leesfout"));
        return;
    }
    QString text = QString::fromUtf8(content);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_richEdit->setPlainText(text);

    m_richEdit->move((width() - m_richEdit->width()) / 2, 15);
    if (const QScreen* s = screen()) {
        const QRect area = s->geometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
}

QStringList TToonLogForm::lines() const {
    QStringList result;
    const QTextDocument* document = m_richEdit->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        result << block.text();
    // The file's final line end leaves an empty last line that is no line of the log.
    if (!result.isEmpty() && result.constLast().isEmpty())
        result.removeLast();
    return result;
}

void TToonLogForm::BtnMailClick() {
    LogScope log("ToonLogForm", "BtnMailClick");
    // The request is cut to what the desktop accepts anyway; a long log need
    // not be encoded whole for that.
    QStringList body;
    int length = 0;
    for (const QString& line : lines()) {
        if (length > Mail::MaxRequest)
            break;
        body << line;
        length += line.size() + 7;
    }
    HandOffLogMail(QStringLiteral("Brolt"), body);
}
