#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// How far a long exchange job is: cards read, pictures made, events sent.
struct ExchangeStep {
    QString what;       // "Kaarten gelezen", "Afspraken verstuurd", ...
    qint64 done = 0;    //
    qint64 total = 0;   // 0: not known (yet)
    bool bytes = false; // `done` and `total` count bytes, not things

    // "Kaarten gelezen: 120 van 5000"; with bytes "Adresboek "Thuis": 1,2 van
    // 3,5 MB" (below a megabyte "12 van 40 kB").
    QString text() const;
};

// The one updating progress line of `Brolt --import` and `--export-ics` on a
// terminal: nothing at all when `fd` is no terminal, and nothing until the
// work has taken `afterMs`; then the line is rewritten in place, at most ten
// times a second and never wider than the terminal.
class TerminalProgress {
public:
    // `clock` gives the milliseconds since the work began (tests drive it).
    explicit TerminalProgress(int fd, int afterMs = 2000, std::function<qint64()> clock = {});
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void show(const ExchangeStep& step);
    // Takes the line away, so that what is printed next starts on a clean line.
    void finish();

private:
    void write(const QByteArray& bytes);

    int m_fd;
    bool m_terminal;
    int m_afterMs;
    std::function<qint64()> m_clock;
    qint64 m_lastMs = -1; // when the line was last written; -1: not yet
    QString m_last;
};
