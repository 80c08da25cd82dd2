#include "kit/Log.h"

#include "Ui.h"
#include "kit/Clock.h"
#include "kit/Support.h"

#include <QFile>

bool LogOn = false;
quint8 LogDepth = 0;
quint8 LogStep = 0;
QString LogFile;

void WriteLog(const QString& message) {
    if (!LogOn || LogFile.isEmpty())
        return;
    QFile file(LogFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        Ui::instance().tone(440, 300);
        return;
    }
    // One entry is one line: a text from outside (a card, a server) can
    // neither forge a second entry nor send escapes to a terminal.
    QString text = WithoutControls(message, u' ');
    for (QChar& c : text)
        if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    // The date is always year-month-day, whatever notation the data file uses.
    const QByteArray line = (Clock::now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QLatin1Char(' ') +
                             QString(LogDepth, QLatin1Char(' ')) + text + QStringLiteral("\r\n"))
                                .toUtf8();
    if (file.write(line) != line.size() || !file.flush())
        Ui::instance().tone(440, 300);
}

void ResetLog(const QString& folder) {
    LogFile = folder + QStringLiteral("Log.txt");
    QFile::remove(LogFile);
    LogDepth = 0;
}

LogScope::LogScope(const char* window, const char* handler)
    : m_name(QLatin1String(window) + QLatin1Char('.') + QLatin1String(handler)) {
    if (LogOn) {
        WriteLog(m_name + QStringLiteral(" - begin"));
        LogDepth += LogStep;
    }
}

void LogScope::endWith(const QString& word) {
    if (m_ended)
        return;
    m_ended = true;
    if (LogOn) {
        if (LogDepth != 0)
            LogDepth -= qMin(LogDepth, LogStep);
        WriteLog(m_name + QStringLiteral(" - ") + word);
    }
}

LogScope::~LogScope() {
    endWith(QStringLiteral("einde") + m_suffix);
}
