#include "exchange/Exchange.h"

#include "kit/Clock.h"
#include "records/DataFile.h"

#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>

CardImport::CardImport(QObject* parent) : QObject(parent) {}

CardImport::~CardImport() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void CardImport::start(const QList<CardSource>& sources, const ImportTarget& target) {
    m_busy = true;
    m_stop = false;
    m_summary = {};
    ImportTarget told = target;
    // A bar moves smoothly at a few steps a second; more would only load the
    // event loop.  A new kind of step and the last one are always told.
    struct Told {
        QElapsedTimer timer;
        QString what;
    };
    auto last = std::make_shared<Told>();
    told.progress = [this, last](const ExchangeStep& step) {
        if (step.what != last->what || last->timer.elapsed() >= 50 || step.done == step.total) {
            last->timer.start();
            last->what = step.what;
            QMetaObject::invokeMethod(
                this, [this, step] { Q_EMIT progress(step); }, Qt::QueuedConnection);
        }
        return !m_stop;
    };
    m_thread = std::thread([this, sources, told] {
        const ImportSummary summary = ImportCards(sources, told);
        QMetaObject::invokeMethod(
            this,
            [this, summary] {
                m_thread.join();
                m_summary = summary;
                // Stopped after its last check but before anyone saw the end: still stopped.
                m_summary.cancelled |= m_stop.load();
                m_busy = false;
                Q_EMIT finished();
            },
            Qt::QueuedConnection);
    });
}

void CardImport::cancel() {
    m_stop = true;
}

ExchangeRun::ExchangeRun(QObject* parent)
    : QObject(parent), m_client(new DavClient(this)), m_import(new CardImport(this)) {
    connect(m_client, &DavClient::progress, this, &ExchangeRun::progress);
    connect(m_import, &CardImport::progress, this, &ExchangeRun::progress);
    connect(m_client, &DavClient::finished, this,
            [this](bool ok) { m_stage == Stage::Fetching ? fetched(ok) : published(ok); });
    connect(m_import, &CardImport::finished, this, &ExchangeRun::imported);
}

ExchangeRun::~ExchangeRun() = default;

void ExchangeRun::start(const ExchangeJob& job) {
    m_job = job;
    m_outcome = {};
    if (m_job.addressBook.isValid()) {
        m_stage = Stage::Fetching;
        m_client->setCredentials(m_job.bookLogin.user, m_job.bookLogin.password);
        m_client->fetchCards(m_job.addressBook);
    } else if (!m_job.cards.isEmpty()) {
        importCards(m_job.cards);
    } else {
        publishRecords();
    }
}

void ExchangeRun::cancel() {
    m_outcome.cancelled = busy();
    if (m_stage == Stage::Importing)
        m_import->cancel();
    else
        m_client->cancel();
}

void ExchangeRun::fetched(bool ok) {
    m_outcome.bookIgnored = m_client->ignored();
    if (!ok) {
        end(false, m_client->errorText());
        return;
    }
    QList<CardSource> sources;
    for (const DavBook& book : m_client->books()) {
        if (m_client->discovered())
            m_outcome.books << BookLine(book);
        QByteArray cards;
        for (const QByteArray& card : book.cards)
            cards += card + "\r\n";
        if (!cards.isEmpty())
            sources.append({ServerBook(book.url), cards});
    }
    // Address books without a card were read all the same: nothing to add.
    if (sources.isEmpty()) {
        m_outcome.imported = true;
        publishRecords();
        return;
    }
    importCards(sources);
}

void ExchangeRun::importCards(const QList<CardSource>& sources) {
    if (std::none_of(sources.begin(), sources.end(),
                     [](const CardSource& source) { return ContainsVCard(source.cards); })) {
        end(false, (m_job.addressBook.isValid()
                        ? QStringLiteral("Het adresboek ") + DavClient::shownUrl(m_job.addressBook)
                        : QStringLiteral("Het bestand ") + sources.constFirst().book) +
                       QStringLiteral(" bevat geen contactkaarten."));
        return;
    }
    m_file = std::make_unique<DataFileImport>(m_job.dataFile);
    QString error;
    if (!m_file->open(error)) {
        end(false, error);
        return;
    }
    m_stage = Stage::Importing;
    m_import->start(sources, m_file->target());
}

void ExchangeRun::imported() {
    QString error;
    m_outcome.import = m_import->summary();
    const bool saved = m_file->save(m_outcome.import, error);
    m_file.reset();
    if (!saved) {
        end(false, error);
        return;
    }
    m_outcome.imported = true;
    publishRecords();
}

void ExchangeRun::publishRecords() {
    if (!m_job.calendar.isValid()) {
        end(true);
        return;
    }
    if (m_outcome.cancelled) {
        end(false, QStringLiteral("Geannuleerd"));
        return;
    }
    RecordTable table;
    DataFile data(table);
    data.withCardLinks = false;
    if (!data.readNamed(m_job.dataFile)) {
        end(false, QStringLiteral("Geen Brolt-bestand gelezen: ") + m_job.dataFile);
        return;
    }
    const CalendarExport events = CalendarEvents(table, data.dateNotation, Clock::now(), m_job.alarmDays);
    m_outcome.left = events.left;
    m_outcome.leftOut = events.leftOut;
    m_stage = Stage::Publishing;
    m_client->setCredentials(m_job.calendarLogin.user, m_job.calendarLogin.password);
    DavClient::PublishOptions options;
    options.stateFile = PublishStateFile();
    m_client->publish(m_job.calendar, events.events, options);
}

void ExchangeRun::published(bool ok) {
    m_outcome.calendarIgnored = m_client->ignored();
    m_outcome.counts = m_client->counts();
    m_outcome.calendar = m_client->collection();
    m_outcome.published = ok;
    end(ok, m_client->errorText());
}

void ExchangeRun::end(bool ok, const QString& error) {
    m_client->setCredentials({}, {});
    m_stage = Stage::Idle;
    m_outcome.ok = ok;
    m_outcome.error = ok ? QString() : error;
    m_outcome.refused = m_client->refused();
    m_outcome.cancelled = m_outcome.cancelled || m_client->cancelled() || m_outcome.import.cancelled;
    Q_EMIT finished(ok);
}

ExchangeOutcome RunExchange(const ExchangeJob& job, const std::function<void(const ExchangeStep&)>& progress,
                            const std::function<void(ExchangeRun&)>& follow) {
    ExchangeRun run;
    if (progress)
        QObject::connect(&run, &ExchangeRun::progress, progress);
    if (follow)
        follow(run);
    QEventLoop loop;
    QObject::connect(&run, &ExchangeRun::finished, &loop, &QEventLoop::quit);
    run.start(job);
    if (run.busy())
        loop.exec();
    return run.outcome();
}
