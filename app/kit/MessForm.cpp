#include "MessForm.h"

#include "kit/ClrBtn.h"
#include "kit/Log.h"
#include "kit/Shades.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include <memory>

QPoint CentreOnCaller(const QRect& caller, const QSize& own) {
    return QPoint(caller.left() + (caller.width() - own.width()) / 2,
                  caller.top() + (caller.height() - own.height()) / 2);
}

int CountDisplayedLines(const QTextDocument* document, int width) {
    // Measured on a copy: a text box lays its own document out again at its
    // current width, which for a hidden window is not yet the width it will get.
    std::unique_ptr<QTextDocument> copy(document->clone());
    copy->setDefaultFont(document->defaultFont());
    copy->setDefaultTextOption(document->defaultTextOption());
    copy->setDocumentMargin(document->documentMargin());
    copy->setTextWidth(width);
    copy->documentLayout()->documentSize(); // lays the whole copy out
    int lines = 0;
    for (QTextBlock block = copy->begin(); block.isValid(); block = block.next()) {
        if (block.layout())
            lines += qMax(1, block.layout()->lineCount());
    }
    return lines;
}

namespace {
constexpr int memoFontPixels = 16;
}

TMessageForm::TMessageForm(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("MessageForm"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(KitFont(QStringLiteral("Verdana"), memoFontPixels));
    SetKitBackground(this, KitColor::Note);

    m_memo = new QTextEdit(this);
    m_memo->setObjectName(QStringLiteral("MessageMemo"));
    m_memo->setReadOnly(true);
    m_memo->setFrameShape(QFrame::NoFrame);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_memo->setLineWrapMode(QTextEdit::WidgetWidth);
    m_memo->setAcceptRichText(false);
    m_memo->setTabChangesFocus(true);
    SetKitBase(m_memo, ColorFromBgr(KitColor::Note));

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer"));
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &TMessageForm::TimerTimer);
}

void TMessageForm::ShowTimedMessage(const QRect& caller, int durationMs, const QString& firstLine,
                                    const QString& secondLine) {
    const QFontMetrics metrics(m_memo->font());
    const QString& longer = firstLine.size() > secondLine.size() ? firstLine : secondLine;
    const int textWidth = metrics.horizontalAdvance(longer);
    const int clientWidth = textWidth <= 500 ? textWidth + 50 : 500;

    QStringList lines{QString()};
    if (!firstLine.isEmpty())
        lines.append(firstLine);
    if (!secondLine.isEmpty())
        lines.append(secondLine);
    m_memo->setPlainText(lines.join(QLatin1Char('\n')));

    const int scrollBar = m_memo->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_memo);
    const int shown = CountDisplayedLines(m_memo->document(), clientWidth - scrollBar);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenHeight = screen ? screen->geometry().height() : 768;
    const int clientHeight = qMin((shown + 4) * PointsOfPixels(memoFontPixels), screenHeight - 200);
    setFixedSize(clientWidth, clientHeight);
    m_memo->setGeometry(0, 0, clientWidth, clientHeight);

    m_memo->moveCursor(QTextCursor::End);

    m_timer->setInterval(durationMs);
    move(CentreOnCaller(caller, size()));
    if (isVisible())
        m_timer->start(durationMs); // a new note starts its own time
    show();
    raise();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TMessageForm::CloseMessage() {
    m_timer->stop();
    if (isVisible())
        close();
}

void TMessageForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_timer->start();
}

void TMessageForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_memo->setGeometry(rect());
}

void TMessageForm::TimerTimer() {
    LogScope log("MessageForm", "TimerTimer");
    m_timer->stop();
    hide();
    close();
}
