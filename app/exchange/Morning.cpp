#include "exchange/Morning.h"

#include "CommandLine.h"
#include "ListMode.h"
#include "Start.h"
#include "Ui.h"
#include "exchange/Dav.h"
#include "exchange/Exchange.h"
#include "exchange/ICalendar.h"
#include "exchange/Import.h"
#include "exchange/Multistatus.h"
#include "exchange/Secrets.h"
#include "kit/Clock.h"
#include "kit/Log.h"
#include "kit/Store.h"
#include "kit/Support.h"

#include <QDeadlineTimer>

#include <cstdio>

namespace {

int morningBoundMs = 20000;

const QString bookNotDone = QStringLiteral("Adresboek niet bijgewerkt: ");
const QString calendarNotDone = QStringLiteral("Agenda niet bijgewerkt: ");

// Reading and saving the data file say nothing during a run: the morning shows
// no window, and what the run did is its outcome.
class QuietUi : public Ui {
public:
    QuietUi() : m_previous(Ui::instance()) { Ui::install(this); }
    ~QuietUi() override { Ui::install(&m_previous); }

private:
    Ui& m_previous;
};

// The client's deadline for a whole job, for as long as this lives, cut to
// what is left of the run (a request's own limits are longer than that).
class LimitsWithin {
public:
    explicit LimitsWithin(const QDeadlineTimer& deadline) : m_saved(DavClient::limits()) {
        if (deadline.isForever())
            return;
        DavClient::Limits limits = m_saved;
        limits.jobMs = int(qBound(qint64(1), deadline.remainingTime(), qint64(limits.jobMs)));
        DavClient::setLimits(limits);
    }
    ~LimitsWithin() { DavClient::setLimits(m_saved); }
    LimitsWithin(const LimitsWithin&) = delete;
    LimitsWithin& operator=(const LimitsWithin&) = delete;

private:
    DavClient::Limits m_saved;
};

// An address with its user, and the password once found.
struct Account {
    QUrl url; // without user information
    QString user;
    QString password;
    QString secretKey;   // as the exchange dialogs keep it
    bool stored = false; // the password came from the secret store
    bool fresh = false;  // asked, or taken from the other account: kept once it worked
};

// The account the options keep under `addressKey` and `userKey`; false with the reason.
bool accountFor(const StoreKey& addressKey, const StoreKey& userKey, Account& account, QString& why) {
    const DavAddress address = ParseDavAddress(Store::readText(addressKey).trimmed());
    if (!address.error.isEmpty()) {
        why = address.error;
        return false;
    }
    account.url = address.url;
    account.user = Store::readText(userKey).trimmed();
    if (account.user.isEmpty())
        account.user = account.url.userName();
    account.url.setUserInfo(QString());
    account.secretKey = Secrets::keyFor(account.user, DavClient::shownUrl(account.url));
    return true;
}

// The password from BROLT_DAV_PASSWORD, the secret store, the other account
// (the same user on the same server), or the user; false with the reason.
bool findPassword(Account& account, const Account* other, const MorningRun& run,
                  const QDeadlineTimer& deadline, QString& why) {
    if (account.user.isEmpty())
        return true; // a server without a login
    if (qEnvironmentVariableIsSet("BROLT_DAV_PASSWORD")) {
        account.password = qEnvironmentVariable("BROLT_DAV_PASSWORD");
        return true;
    }
    const int wait =
        deadline.isForever() ? DavClient::limits().requestMs : int(qMax<qint64>(0, deadline.remainingTime()));
    if (const auto stored = WaitForStoredPassword(account.secretKey, wait)) {
        account.password = *stored;
        account.stored = true;
        return true;
    }
    account.fresh = true;
    if (other && !other->password.isEmpty() && other->user == account.user &&
        DavSameOrigin(other->url, account.url)) {
        account.password = other->password;
        return true;
    }
    if (run.askPassword && run.askPassword(account.user, account.password))
        return true;
    why =
        QStringLiteral("geen wachtwoord van %1 in de sleutelbos of in BROLT_DAV_PASSWORD").arg(account.user);
    return false;
}

// One half of the exchange, waited for within the run's bound.  A new password
// that worked is kept; a stored one the server refused is forgotten.
ExchangeOutcome runJob(const MorningRun& run, const ExchangeJob& job, const Account& account,
                       const QDeadlineTimer& deadline) {
    ExchangeOutcome outcome;
    {
        const LimitsWithin limits(deadline);
        outcome = RunExchange(job, {}, run.follow);
    }
    if (outcome.ok && account.fresh && !account.user.isEmpty())
        Secrets::instance().write(account.secretKey, account.password);
    else if (!outcome.ok && outcome.refused && account.stored)
        Secrets::instance().forget(account.secretKey);
    return outcome;
}

bool importAddressBook(const MorningRun& run, const QDeadlineTimer& deadline, Account& account,
                       MorningOutcome& out) {
    QString why;
    if (!accountFor(Keys::AdresboekAdres, Keys::AdresboekGebruiker, account, why) ||
        !findPassword(account, nullptr, run, deadline, why)) {
        out.failure = bookNotDone + why;
        return false;
    }
    ExchangeJob job;
    job.addressBook = account.url;
    job.bookLogin = {account.user, account.password};
    job.dataFile = run.dataFile;
    const ExchangeOutcome done = runJob(run, job, account, deadline);
    out.books = done.books;
    if (!done.ok) {
        out.failure = bookNotDone + done.error;
        return false;
    }
    out.cardNotes = done.import.reasons + done.import.notes;
    out.changed = done.import.added > 0 || done.import.updated > 0;
    out.importLine = done.import.line();
    return true;
}

bool publishCalendar(const MorningRun& run, const QDeadlineTimer& deadline, const Account& book,
                     MorningOutcome& out) {
    Account account;
    QString why;
    if (!accountFor(Keys::AgendaAdres, Keys::AgendaGebruiker, account, why) ||
        !findPassword(account, &book, run, deadline, why)) {
        out.failure = calendarNotDone + why;
        return false;
    }
    ExchangeJob job;
    job.calendar = account.url;
    job.calendarLogin = {account.user, account.password};
    job.dataFile = run.dataFile;
    job.alarmDays = StoredAlarmDays();
    const ExchangeOutcome done = runJob(run, job, account, deadline);
    if (!done.ok) {
        out.failure = calendarNotDone + done.error;
        return false;
    }
    out.publishLine = PublishLine(done.counts);
    return true;
}

// What was done, then what failed: an address book read in stays read in.
QStringList outcomeParts(const MorningOutcome& outcome) {
    QStringList parts;
    if (!outcome.importLine.isEmpty())
        parts << QStringLiteral("Adresboek: ") + outcome.importLine;
    if (!outcome.publishLine.isEmpty())
        parts << QStringLiteral("Agenda: ") + outcome.publishLine;
    if (!outcome.failure.isEmpty())
        parts << outcome.failure;
    return parts;
}
} // namespace

QString MorningOutcome::logLine() const {
    return QStringLiteral("Uitwisselen: ") + outcomeParts(*this).join(QStringLiteral("; "));
}

void MorningOutcome::log() const {
    WriteLog(logLine());
    for (const QString& note : books + cardNotes)
        WriteLog(QStringLiteral("Uitwisselen: ") + note);
}

QString MorningOutcome::message() const {
    return outcomeParts(*this).join(u'\n');
}

int MorningBoundMs() {
    return morningBoundMs;
}

void SetMorningBoundMs(int ms) {
    morningBoundMs = ms;
}

MorningOutcome RunMorningExchange(const MorningRun& run) {
    MorningOutcome out;
    const QDeadlineTimer deadline =
        run.boundMs > 0 ? QDeadlineTimer(run.boundMs) : QDeadlineTimer(QDeadlineTimer::Forever);
    const bool book = !Store::readText(Keys::AdresboekAdres).trimmed().isEmpty();
    const bool calendar = !Store::readText(Keys::AgendaAdres).trimmed().isEmpty();
    if (!book && !calendar) {
        out.failure =
            bookNotDone + QStringLiteral("er is geen adres ingesteld (Instellingen, Adresboek en agenda)");
        return out;
    }
    const QuietUi quiet;
    Account bookAccount;
    if (book && !importAddressBook(run, deadline, bookAccount, out))
        return out;
    if (calendar && !publishCalendar(run, deadline, bookAccount, out))
        return out;
    out.ok = true;
    Store::writeText(QLatin1String(Keys::UitgewisseldOp.name), Clock::today().toString(Qt::ISODate));
    return out;
}

int RunMorningWithoutDisplay(const QStringList& arguments) {
    const CommandLine line = ParseCommandLine(arguments);
    if (!line.ok)
        return PrintUsage(line.error);
    return RunListMode(line, [](const QString& dataFile) {
        if (!MorningExchangeDue())
            return;
        // The trace of this start, as a start with the window begins it.
        LogOn = true;
        ResetLog(UserDataFolder());
        LogStep = 3;
        const MorningOutcome outcome = RunMorningExchange({dataFile});
        outcome.log();
        if (!outcome.ok)
            std::fprintf(stderr, "%s\n", outcome.failure.toUtf8().constData());
    });
}

std::optional<MorningOutcome> RunMorningBeforeWindows(const QString& programFile, bool& endUnseen) {
    endUnseen = false;
    if (!MorningExchangeDue())
        return std::nullopt;
    const MorningOutcome outcome = RunMorningExchange({ConfiguredDataFile()});
    // That look starts the log of this start and uses a quiet Ui of its own.
    Ui& ui = Ui::instance();
    endUnseen = NothingDueInAutomaticMode(programFile);
    Ui::install(&ui);
    if (endUnseen)
        outcome.log();
    return outcome;
}
