#pragma once

#include "exchange/ICalendar.h"
#include "exchange/Multistatus.h"
#include "exchange/Progress.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

#include <deque>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// What a publish did.
struct DavPublishCounts {
    int created = 0;
    int updated = 0;
    int unchanged = 0;
    int deleted = 0;
};

// An address book read from the server.
struct DavBook {
    QString name; // its display name (cleaned for a message), else the last part of its address
    QUrl url;
    QList<QByteArray> cards;
};

// The address book (CardDAV) and calendar (CalDAV) client.  Everything runs on
// the event loop: start a job, then wait for finished() (the windows) or call
// waitForFinished() (the command line).  One job at a time.
//
// A job is given an address as the user knows it.  When that is an address
// book or calendar itself, the job works on that collection and sends no
// request outside it.  Any other address on the server (its root, the DAV
// folder, a user's principal or home) is a place to start looking, as RFC 6764,
// 6352 and 4791 describe: /.well-known/carddav or caldav for a bare server,
// then current-user-principal and its addressbook-home-set or
// calendar-home-set.  Looking only ever asks the same server (scheme, host and
// port); a redirect or a property that points elsewhere ends the job.
//
// A job reads, writes and deletes only the collections it settles on and
// their direct children (after a redirect on the same server, those of the
// collection it leads to).  Every request has a total deadline, and so has
// the whole job; answers larger than `Limits::responseBytes` are refused.
//
// Publishing sends only what changed: the calendar's own copy of each event
// (from a calendar-query) is compared on what the records determine, and a
// small JSON state file, keyed by the calendar's address, keeps where each of
// our events lives and what was last sent.  Our events are those with our
// UIDs that the records still hold (wherever they are stored in the
// calendar), those in the state file, and, when it was lost, those whose name
// is our UID with our PRODID in the content; nothing else is ever changed.
class DavClient : public QObject {
    Q_OBJECT
public:
    explicit DavClient(QObject* parent = nullptr);
    ~DavClient() override;

    // The user name and password; a user name or password in the URL of a job wins.
    void setCredentials(const QString& user, const QString& password);

    // All vCards of the address book at `url`; when `url` is no address book,
    // of every address book in the user's home there.
    void fetchCards(const QUrl& url);
    // Makes the calendar at `url` hold exactly `events` of ours.  When `url`
    // is no calendar, the calendar named `calendarName` in the user's home
    // there is used, made (MKCALENDAR) when it is missing.
    struct PublishOptions {
        QString stateFile;
        QByteArray prodId = "-//Brolt//"; // the PRODID of our events starts with this
        QString calendarName = QStringLiteral("Brolt");
    };
    void publish(const QUrl& url, const QList<CalendarEvent>& events, const PublishOptions& options);
    // Stops the job: nothing more is sent, and it ends as failed with
    // cancelled() true.  Events under way are waited for (a few seconds at
    // most), so that what a publish sent is all in its memory.
    void cancel();

    bool busy() const { return m_busy; }
    // Runs an event loop until the job ends; true on success.
    bool waitForFinished();
    // The Dutch reason of the failure; empty after success.
    QString errorText() const { return m_error; }
    // The server refused the user name or password (401).
    bool refused() const { return m_refused; }
    bool cancelled() const { return m_cancelled; }
    // The address books read, in the order of their names.
    const QList<DavBook>& books() const { return m_books; }
    // All their cards.
    QList<QByteArray> cards() const;
    // The collections were found by looking, not given.
    bool discovered() const { return m_discovered; }
    // The collection the job worked on last: the calendar published to.
    QUrl collection() const { return m_base; }
    DavPublishCounts counts() const { return m_counts; }
    // Responses of the last job about resources outside its collection, ignored.
    int ignored() const { return m_ignored; }
    // The requests sent since construction, by method ("PUT", "PROPFIND", ...).
    int sentCount(const QByteArray& method) const { return m_sent.value(method); }

    // The bounds of every job; tests shorten them.
    struct Limits {
        int transferTimeoutMs = 20000; // silence within one request
        int requestMs = 60000;         // one request from start to end
        int jobMs = 90000;             // a whole import or publish
        qint64 responseBytes = 64 * 1024 * 1024;
    };
    static void setLimits(const Limits& limits);
    static Limits limits();
    // The address as shown to the user: never with the password.
    static QString shownUrl(const QUrl& url);

Q_SIGNALS:
    void finished(bool ok);
    // Bytes of an address book read; events sent of those to send.
    void progress(const ExchangeStep& step);

private:
    using Handler = std::function<void(QNetworkReply*)>;
    using Headers = QList<QPair<QByteArray, QByteArray>>;
    enum class Target { AddressBook, Calendar, Event };
    struct Request {
        QByteArray method;
        QString child; // the child's name; empty: the collection itself
        QByteArray body;
        Headers headers;
        Handler handler;
        int redirects = 0;
        QUrl at; // a place looked at on the way to the collection; empty: as above
    };
    void start(const QUrl& url);
    void send(Request request);
    void dispatch(const Request& request);
    void finishedReply(QNetworkReply* reply, const Request& request);
    void pump();
    bool check(QNetworkReply* reply, Target target);
    // Hrefs are resolved against `base`, or the collection when none is given.
    bool readListing(QNetworkReply* reply, DavListing& listing, const QUrl& base = {});
    // A PROPFIND or REPORT on the collection; `then` gets the listing once it
    // is read, `whenMissing` (if given) runs instead when the collection is not there.
    void ask(const QByteArray& method, const QByteArray& depth, const QByteArray& body, Target target,
             std::function<void(const DavListing&)> then, std::function<void()> whenMissing = {});
    // A PROPFIND of a place on the way (`at`, on the same server); `then`
    // gets the listing and the place's address after any redirect.
    void askAt(const QUrl& at, const QByteArray& depth, const QByteArray& body,
               std::function<void(const DavListing&, const QUrl&)> then);
    // Looking for the collection.
    void locate();
    void wellKnown();
    void probeGiven();
    void examine(const DavListing& listing, const QUrl& where);
    void toPrincipal(const QUrl& principal);
    void listHome(const QUrl& home);
    void homeFound(const QUrl& home, const DavListing& listing);
    void useCollection(const QUrl& where, const DavEntry& self);
    void settleCalendar(const QUrl& calendar);
    void makeCalendar();
    QString nothingFound() const;
    void readBook(qsizetype index);
    void fail(const QString& message);
    void abortAll(const QString& message);
    void finish();
    void queryEvents();
    void sentOne();
    void afterListing(const QList<DavEntry>& children);
    QUrl childUrl(const QString& name) const;
    QString childPath(const QString& name) const;
    void putEvent(const CalendarEvent& event, const QString& name, const QByteArray& etag, bool exists);
    void deleteEvent(const QString& name, const QByteArray& etag);
    void loadState();
    void saveState();

    QNetworkAccessManager* m_network;
    QTimer* m_jobTimer;
    QString m_user;
    QString m_password;
    QString m_jobUser;
    QString m_jobPassword;
    QUrl m_base;     // the collection, ending in "/", without user information
    QString m_given; // the address as given, for messages
    bool m_busy = false;
    bool m_failed = false;
    bool m_ok = false;
    bool m_refused = false;
    bool m_cancelled = false;
    bool m_publishing = false;
    bool m_discovered = false;
    int m_ignored = 0;
    QHash<QNetworkReply*, QTimer*> m_inFlight; // each with its deadline
    std::deque<Request> m_queue;
    std::function<void()> m_whenIdle;
    QString m_error;
    QList<DavBook> m_books;
    QString m_reading; // what a REPORT now being read is, for the progress
    DavPublishCounts m_counts;
    int m_toSend = 0; // requests that change the calendar, and those answered
    int m_sentDone = 0;
    QHash<QByteArray, int> m_sent;

    // Publishing.
    QList<CalendarEvent> m_events;
    PublishOptions m_options;
    QString m_stateKey; // the calendar's address as given
    struct Sent {
        QString path;     // where the event lives on the server
        QByteArray print; // the fingerprint of what was last sent
    };
    QHash<QString, Sent> m_state; // by UID
    bool m_stateChanged = false;
};

struct DavLogin {
    QString user;
    QString password;
};
// "Adresboek "Contacten": 12 kaarten"
QString BookLine(const DavBook& book);
// "2 nieuw, 1 gewijzigd, 7 ongewijzigd, 0 verwijderd"
QString PublishLine(const DavPublishCounts& counts);
// "3 antwoorden over iets buiten de agenda genegeerd"
QString IgnoredLine(int ignored, bool calendar);
// Where publishing remembers what it sent.
QString PublishStateFile();
