#include "exchange/Progress.h"

#include <QElapsedTimer>
#include <QLocale>

#include <algorithm>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

QString ExchangeStep::text() const {
    if (!bytes)
        return total > 0 ? QStringLiteral("%1: %2 van %3").arg(what).arg(done).arg(total)
                         : QStringLiteral("%1: %2").arg(what).arg(done);
    // Kilobytes for a small answer, megabytes with one decimal for a large one.
    const bool large = std::max(done, total) >= 1024 * 1024;
    const QLocale dutch(QLocale::Dutch);
    const auto size = [&](qint64 n) {
        return large ? dutch.toString(double(n) / (1024 * 1024), 'f', 1) : QString::number((n + 1023) / 1024);
    };
    const QString unit = large ? QStringLiteral(" MB") : QStringLiteral(" kB");
    return total > 0 ? QStringLiteral("%1: %2 van %3").arg(what, size(done), size(total)) + unit
                     : QStringLiteral("%1: %2").arg(what, size(done)) + unit;
}

TerminalProgress::TerminalProgress(int fd, int afterMs, std::function<qint64()> clock)
    : m_fd(fd), m_terminal(::isatty(fd) == 1), m_afterMs(afterMs), m_clock(std::move(clock)) {
    if (!m_clock) {
        auto started = std::make_shared<QElapsedTimer>();
        started->start();
        m_clock = [started] { return started->elapsed(); };
    }
}

TerminalProgress::~TerminalProgress() {
    finish();
}

void TerminalProgress::write(const QByteArray& bytes) {
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t n = ::write(m_fd, bytes.constData() + at, size_t(bytes.size() - at));
        if (n <= 0)
            return;
        at += n;
    }
}

void TerminalProgress::show(const ExchangeStep& step) {
    if (!m_terminal)
        return;
    const qint64 now = m_clock();
    const bool last = step.total > 0 && step.done >= step.total;
    if (now < m_afterMs || (m_lastMs >= 0 && now - m_lastMs < 100 && !last))
        return;
    winsize size{};
    const int columns = ::ioctl(m_fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
    const QString line = step.text().left(columns - 1);
    if (line == m_last)
        return;
    m_lastMs = now;
    m_last = line;
    // Back to the start of the line, the text, and away with what was longer.
    write("\r" + line.toUtf8() + "\033[K");
}

void TerminalProgress::finish() {
    if (m_lastMs >= 0)
        write("\r\033[K");
    m_lastMs = -1;
    m_last.clear();
}
