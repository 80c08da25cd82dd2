#include "Bericht.h"

#include "kit/ClrBtn.h"
#include "kit/Log.h"
#include "kit/MessForm.h"
#include "kit/Rtf.h"
#include "kit/Shades.h"
#include "kit/Support.h"
#include "maintenance/Version.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QThread>
#include <QTimer>

#include <cmath>

namespace {
constexpr int richLeft = 17;
constexpr int richTop = 26;
constexpr int richWidth = 631;
constexpr int fontPixels = 14;
constexpr int maxLoadAttempts = 101;
int retryPauseMs = 100;

Qt::Alignment alignmentOf(RtfAlign align) {
    switch (align) {
    case RtfAlign::Center:
        return Qt::AlignHCenter;
    case RtfAlign::Right:
        return Qt::AlignRight;
    case RtfAlign::Justify:
        return Qt::AlignJustify;
    case RtfAlign::Left:
    default:
        return Qt::AlignLeft;
    }
}

QTextCharFormat formatOf(const RtfRun& run) {
    QTextCharFormat format;
    format.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(run.italic);
    format.setFontUnderline(run.underline);
    format.setFontPointSize(run.halfPoints / 2.0);
    return format;
}
} // namespace

void RtfToDocument(const RtfDocument& source, QTextDocument* target) {
    target->clear();
    QTextCursor cursor(target);
    bool first = true;
    for (const RtfParagraph& paragraph : source.paragraphs) {
        QTextBlockFormat blockFormat;
        blockFormat.setAlignment(alignmentOf(paragraph.align));
        RtfRun endRun;
        endRun.halfPoints = paragraph.halfPoints;
        const QTextCharFormat endFormat =
            paragraph.runs.isEmpty() ? formatOf(endRun) : formatOf(paragraph.runs.first());
        if (first) {
            cursor.setBlockFormat(blockFormat);
            cursor.setBlockCharFormat(endFormat);
            cursor.setCharFormat(endFormat);
            first = false;
        } else {
            cursor.insertBlock(blockFormat, endFormat);
        }
        for (const RtfRun& run : paragraph.runs)
            cursor.insertText(run.text, formatOf(run));
    }
}

void TBerichtForm::setRetryPause(int milliseconds) {
    retryPauseMs = milliseconds;
}

TBerichtForm::TBerichtForm(QWidget* parent) : QDialog(parent, Qt::Window) {
    setObjectName(QStringLiteral("BerichtForm"));
    setWindowTitle(QStringLiteral("Bericht"));
    setModal(true);
    setFont(KitFont(QStringLiteral("Verdana"), fontPixels));

    m_richEdit = new QTextEdit(this);
    m_richEdit->setObjectName(QStringLiteral("RichEdit"));
    m_richEdit->setAccessibleName(QStringLiteral("Bericht"));
    m_richEdit->setReadOnly(true);
    m_richEdit->setFrameShape(QFrame::NoFrame);
    m_richEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_richEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_richEdit->setGeometry(richLeft, richTop, richWidth, 300);

    m_btnOK = new TClrBtn(QStringLiteral("OK"), this);
    m_btnOK->setObjectName(QStringLiteral("BtnOK"));
    m_btnOK->setFixedSize(100, 35);
    m_btnOK->setDefault(true);
    connect(m_btnOK, &QPushButton::clicked, this, &TBerichtForm::BtnOKClick);

    m_fileName = ProgramFolder() + QStringLiteral("Bericht.rtf");
    m_storedLabel = RegisterRunningVersion();
}

bool TBerichtForm::newsDue() const {
    return NewsDue(m_storedLabel);
}

bool TBerichtForm::ShowNewsIfDue(const QRect& mainWindow) {
    if (!newsDue())
        return false;
    ShowNews(mainWindow);
    return true;
}

void TBerichtForm::ShowNews(const QRect& mainWindow) {
    LogScope log("BerichtForm", "ShowNews");
    if (!m_firstShowDone)
        FormShow(mainWindow);
    exec();
}

void TBerichtForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_closeNextShow) {
        m_closeNextShow = false;
        QTimer::singleShot(0, m_btnOK, &QPushButton::click);
    }
}

// A file that is busy (being replaced by the installer) is tried again.
bool TBerichtForm::LoadNews() {
    m_loadAttempts = 0;
    while (m_loadAttempts < maxLoadAttempts) {
        ++m_loadAttempts;
        QFile file(m_fileName);
        bool loaded = false;
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray data = file.readAll();
            loaded = file.error() == QFileDevice::NoError;
            if (loaded) {
                RtfDocument document;
                if (ReadRtf(data, document))
                    RtfToDocument(document, m_richEdit->document());
                else
                    m_richEdit->setPlainText(QString::fromUtf8(data));
            }
        }
        if (retryPauseMs > 0)
            QThread::msleep(retryPauseMs);
        if (loaded)
            return true;
    }
    m_richEdit->clear();
    WriteLog(QStringLiteral("Bericht niet gelezen: ") + m_fileName);
    return false;
}

void TBerichtForm::FormShow(const QRect& mainWindow) {
    LogScope log("BerichtForm", "FormShow");
    m_firstShowDone = true;
    SetKitBackground(this, KitColor::Window);
    SetKitBase(m_richEdit, ColorFromBgr(KitColor::Window));
    m_btnOK->useKitColors();

    LoadNews();

    const int clientWidth = richWidth + 2 * richLeft;
    const int scrollBar = m_richEdit->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_richEdit);
    const int lines = CountDisplayedLines(m_richEdit->document(), richWidth - scrollBar);
    // A news of one line still gets the height of one line instead of none.
    const int richHeight = int(std::lround(qMax(lines - 1, 1) * PointsOfPixels(fontPixels) * 2.55));
    m_richEdit->setGeometry(richLeft, richTop, richWidth, richHeight);
    const int clientHeight = 2 * richTop + richHeight + 2 * m_btnOK->height();
    m_btnOK->move((clientWidth - m_btnOK->width()) / 2, richTop + richHeight + m_btnOK->height());
    resize(clientWidth, clientHeight);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize(1024, 768);
    const QSize own = size();
    int top = mainWindow.top() + mainWindow.height() / 2 - own.height() / 2;
    if (top < 0)
        top = 10;
    if (top + own.height() > screenSize.height() - 40)
        top = screenSize.height() - own.height() - 40;
    int left = mainWindow.left() + mainWindow.width() / 2 - own.width() / 2;
    if (left < 0)
        left = 10;
    if (left + own.width() > screenSize.width())
        left = screenSize.width() - own.width() - 10;
    move(left, top);
}

void TBerichtForm::BtnOKClick() {
    accept();
}
