#pragma once

#include "exchange/Dav.h"
#include "exchange/Import.h"
#include "exchange/Progress.h"

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// Cards into records on a thread of their own (ImportCards), so that the
// windows stay responsive while thousands of cards and photos are read, and
// can stop it.  The target's table is the caller's to leave alone until
// finished(): a copy of a window's records, or those of a DataFileImport.
class CardImport : public QObject {
    Q_OBJECT
public:
    explicit CardImport(QObject* parent = nullptr);
    // Stops a running import and waits for it.
    ~CardImport() override;

    void start(const QList<CardSource>& sources, const ImportTarget& target);
    // The import stops at the next card or picture; its summary is then
    // cancelled, also when it had just come to its end.
    void cancel();
    bool busy() const { return m_busy; }
    // After finished(): what the import did.
    ImportSummary& summary() { return m_summary; }

Q_SIGNALS:
    // Cards read of all, then pictures made; a few times a second at most.
    void progress(const ExchangeStep& step);
    void finished();

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    ImportSummary m_summary;
    bool m_busy = false;
};

// One run of the exchange on a data file: the cards of every address book at
// `addressBook` (or `cards` read from a file) into the records of `dataFile`,
// saved the crash-safe way, then those records published to the calendar at
// `calendar`.  Either half may be left out (an empty address).  Addresses are
// as the user knows them: discovery finds the collections (DavClient).
struct ExchangeJob {
    QUrl addressBook;
    DavLogin bookLogin;
    QList<CardSource> cards;
    QUrl calendar;
    DavLogin calendarLogin;
    QString dataFile;
    int alarmDays = 7; // StoredAlarmDays() for what the user set
};

struct ExchangeOutcome {
    bool ok = false;
    bool cancelled = false; // stopped by cancel(): what was done before stays done
    QString error;          // Dutch, when not ok
    bool refused = false;   // the server refused the user name or password
    // The import: every address book found by looking named with its cards
    // ("Adresboek "Contacten": 12 kaarten"); none when the address was one.
    QStringList books;
    bool imported = false; // the cards were read into the data file (or there were none)
    ImportSummary import;
    int bookIgnored = 0; // answers about anything outside the address books
    // The publish.
    bool published = false;
    DavPublishCounts counts;
    int left = 0;        // records without a date the calendar can use
    QStringList leftOut; // a line per record left out, naming it and why
    int calendarIgnored = 0;
    QUrl calendar; // the calendar published to, as found
};

// Runs an ExchangeJob on the event loop.  A progress window follows it with
// TExchangeProgress::follow(); cancel() stops it cleanly: the data file is
// saved whole or not at all (a cancelled import writes nothing), and what a
// publish sent stays in its memory, so the next run goes on from there.
//
//     auto* run = new ExchangeRun(this);
//     connect(run, &ExchangeRun::finished, this, [run] { use run->outcome(); run->deleteLater(); });
//     run->start({bookUrl, bookLogin, {}, calendarUrl, calendarLogin, dataFile, StoredAlarmDays()});
class ExchangeRun : public QObject {
    Q_OBJECT
public:
    explicit ExchangeRun(QObject* parent = nullptr);
    ~ExchangeRun() override;

    void start(const ExchangeJob& job);
    void cancel();
    bool busy() const { return m_stage != Stage::Idle; }
    const ExchangeOutcome& outcome() const { return m_outcome; }

Q_SIGNALS:
    void progress(const ExchangeStep& step);
    void finished(bool ok);

private:
    enum class Stage { Idle, Fetching, Importing, Publishing };
    void fetched(bool ok);
    void importCards(const QList<CardSource>& sources);
    void imported();
    void publishRecords();
    void published(bool ok);
    void end(bool ok, const QString& error = {});

    DavClient* m_client;
    CardImport* m_import;
    std::unique_ptr<DataFileImport> m_file;
    ExchangeJob m_job;
    ExchangeOutcome m_outcome;
    Stage m_stage = Stage::Idle;
};

// The same, waiting for the end on a local event loop (the command line, the
// morning start).
// `follow` sees the run before it starts: a progress window follows it there.
ExchangeOutcome RunExchange(const ExchangeJob& job,
                            const std::function<void(const ExchangeStep&)>& progress = {},
                            const std::function<void(ExchangeRun&)>& follow = {});
