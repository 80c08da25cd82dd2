#include "exchange/ExchangeMode.h"

#include "CommandLine.h"
#include "exchange/Dav.h"
#include "exchange/Exchange.h"
#include "exchange/ICalendar.h"
#include "exchange/Import.h"
#include "exchange/Secrets.h"
#include "kit/Clock.h"
#include "kit/Support.h"
#include "records/DataFile.h"

#include <QFile>
#include <QSaveFile>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {
// The lines name records and cards as they are: their control characters
// never reach the terminal.
void printLine(FILE* stream, const QString& text) {
    std::fprintf(stream, "%s\n", WithoutControls(text).toUtf8().constData());
}

// The terminal as it was before a prompt, for when Ctrl-C ends the prompt.
termios shownTerminal;
volatile std::sig_atomic_t echoHidden = 0;

void restoreTerminal(int signal) {
    if (echoHidden)
        tcsetattr(STDIN_FILENO, TCSANOW, &shownTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Reads a line from the terminal without showing it.
QString askPassword(const QString& prompt) {
    if (tcgetattr(STDIN_FILENO, &shownTerminal) != 0)
        return {};
    termios quiet = shownTerminal;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    const auto onInt = std::signal(SIGINT, restoreTerminal);
    const auto onTerm = std::signal(SIGTERM, restoreTerminal);
    const auto onHup = std::signal(SIGHUP, restoreTerminal);
    echoHidden = 1;
    // Quiet first, then the question: what is typed after it is never shown, nor thrown away.
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    std::string line;
    for (int c; (c = std::getchar()) != EOF && c != '\n';)
        if (line.size() < 4096 && c != '\r')
            line += char(c);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &shownTerminal);
    echoHidden = 0;
    std::signal(SIGINT, onInt);
    std::signal(SIGTERM, onTerm);
    std::signal(SIGHUP, onHup);
    std::fputs("\n", stderr);
    return QString::fromLocal8Bit(line.c_str());
}

// The password the windows keep for this user and address, if a secret store answers.
std::optional<QString> storedPassword(const QString& key) {
    return WaitForStoredPassword(key, DavClient::limits().requestMs);
}

// The user from --user or the address; the password from the address (with
// a warning), BROLT_DAV_PASSWORD, the secret store, or a prompt on a terminal.
DavLogin loginFor(const QUrl& url, const QString& userOption) {
    DavLogin login{userOption.isEmpty() ? url.userName() : userOption, {}};
    if (!url.password().isEmpty()) {
        printLine(stderr,
                  QStringLiteral("Let op: een wachtwoord in het adres kan elke gebruiker van deze computer "
                                 "zien (ps) en het blijft in de geschiedenis van de shell; gebruik liever "
                                 "BROLT_DAV_PASSWORD."));
        login.password = url.password();
        return login;
    }
    if (login.user.isEmpty())
        return login;
    if (qEnvironmentVariableIsSet("BROLT_DAV_PASSWORD")) {
        login.password = qEnvironmentVariable("BROLT_DAV_PASSWORD");
        return login;
    }
    QUrl bare = url;
    bare.setUserInfo(QString());
    if (const auto stored = storedPassword(Secrets::keyFor(login.user, DavClient::shownUrl(bare))))
        login.password = *stored;
    else if (isatty(STDIN_FILENO))
        login.password =
            askPassword(QStringLiteral("Wachtwoord van %1 voor %2: ").arg(login.user, bare.host()));
    return login;
}

// The server address of a command line; false (the reason printed) when it cannot be used.
bool serverAddress(const QString& text, QUrl& url) {
    const DavAddress address = ParseDavAddress(text);
    if (!address.error.isEmpty()) {
        printLine(stderr, address.error);
        return false;
    }
    url = address.url;
    return true;
}

QUrl withoutUserInfo(QUrl url) {
    url.setUserInfo(QString());
    return url;
}

// A job with the terminal's progress line while it runs.
ExchangeOutcome runWithProgress(const ExchangeJob& job) {
    TerminalProgress line(STDERR_FILENO);
    const ExchangeOutcome outcome = RunExchange(job, [&line](const ExchangeStep& step) { line.show(step); });
    line.finish();
    return outcome;
}

int runImport(const QString& source, const QString& dataFile, const QString& user) {
    ExchangeJob job;
    job.dataFile = dataFile;
    if (IsDavAddress(source)) {
        QUrl url;
        if (!serverAddress(source, url))
            return 1;
        job.addressBook = withoutUserInfo(url);
        job.bookLogin = loginFor(url, user);
    } else {
        QByteArray bytes;
        QString error;
        if (!ReadCardSource(source, bytes, error)) {
            printLine(stderr, error);
            return 1;
        }
        job.cards = {{CardFileBook(source), bytes}};
    }
    const ExchangeOutcome outcome = runWithProgress(job);
    if (outcome.bookIgnored > 0)
        printLine(stderr, IgnoredLine(outcome.bookIgnored, false));
    for (const QString& line : outcome.books + outcome.import.reasons + outcome.import.notes)
        printLine(stderr, line);
    if (!outcome.ok) {
        printLine(stderr, outcome.error);
        return 1;
    }
    printLine(stdout, outcome.import.line());
    return 0;
}

int runExport(const QString& target, const QString& dataFile, const QString& user) {
    RecordTable table;
    DataFile data(table);
    data.withCardLinks = false;
    if (!data.readNamed(dataFile)) {
        printLine(stderr, QStringLiteral("Geen Brolt-bestand gelezen: ") + dataFile);
        return 1;
    }
    if (IsDavAddress(target)) {
        QUrl url;
        if (!serverAddress(target, url))
            return 1;
        ExchangeJob job;
        job.calendar = withoutUserInfo(url);
        job.calendarLogin = loginFor(url, user);
        job.dataFile = dataFile;
        job.alarmDays = StoredAlarmDays();
        const ExchangeOutcome outcome = runWithProgress(job);
        if (outcome.calendarIgnored > 0)
            printLine(stderr, IgnoredLine(outcome.calendarIgnored, true));
        if (!outcome.ok) {
            printLine(stderr, outcome.error);
            return 1;
        }
        for (const QString& line : outcome.leftOut)
            printLine(stderr, line);
        if (outcome.left > 0)
            printLine(stderr,
                      QString::number(outcome.left) + QStringLiteral(" zonder geldige datum overgeslagen"));
        printLine(stdout, QStringLiteral("Agenda bijgewerkt: ") + PublishLine(outcome.counts));
        return 0;
    }
    const QString refused =
        target == QLatin1String("-") ? QString() : DataFile::refusedExportTarget(target, dataFile);
    if (!refused.isEmpty()) {
        printLine(stderr, refused);
        return 1;
    }
    int written = 0, left = 0;
    QStringList leftOut;
    const QByteArray bytes =
        CalendarFile(table, data.dateNotation, Clock::now(), StoredAlarmDays(), &written, &left, &leftOut);
    for (const QString& line : leftOut)
        printLine(stderr, line);
    const QString summary = QString::number(written) +
                            (written == 1 ? QStringLiteral(" afspraak") : QStringLiteral(" afspraken")) +
                            QStringLiteral(" geschreven, ") + QString::number(left) +
                            QStringLiteral(" overgeslagen");
    if (target == QLatin1String("-")) {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
        printLine(stderr, summary);
        return 0;
    }
    // Written whole or not at all: a calendar program never sees half a file.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        printLine(stderr,
                  QStringLiteral("Het bestand ") + target + QStringLiteral(" kan niet worden geschreven."));
        return 1;
    }
    printLine(stdout, summary);
    return 0;
}
} // namespace

int RunExchangeMode(const QStringList& arguments) {
    const CommandLine line = ParseCommandLine(arguments);
    if (!line.ok)
        return PrintUsage(line.error);
    if (!line.positional.isEmpty())
        return PrintUsage(QStringLiteral("Onbekend argument: ") + line.positional.constFirst());
    for (const char* other : {"--list", "--date"})
        if (line.has(QLatin1String(other)))
            return PrintUsage(QLatin1String(other) +
                              QStringLiteral(" gaat niet samen met --import of --export-ics."));
    const QString import = line.value(QStringLiteral("--import"));
    const QString exportTarget = line.value(QStringLiteral("--export-ics"));
    if (line.has(QStringLiteral("--import")) == line.has(QStringLiteral("--export-ics")))
        return PrintUsage(QStringLiteral("Geef --import of --export-ics, niet allebei."));
    QString dataFile = line.value(QStringLiteral("--file"));
    if (dataFile.isEmpty())
        dataFile = ConfiguredDataFile();
    const QString user = line.value(QStringLiteral("--user"));
    return line.has(QStringLiteral("--import")) ? runImport(import, dataFile, user)
                                                : runExport(exportTarget, dataFile, user);
}
