#pragma once

#include "exchange/ICalendar.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <deque>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// What a publish did.
struct DavPublishCounts {
    int created = 0;
    int updated = 0;
    int unchanged = 0;
    int deleted = 0;
};

// One <response> of a WebDAV multistatus, with the properties that came back as 200.
struct DavEntry {
    QString path; // decoded path of the href
    QByteArray etag;
    bool collection = false;
    bool addressBook = false;
    bool calendar = false;
    QByteArray data; // address-data or calendar-data
};
QList<DavEntry> ParseMultistatus(const QByteArray& xml, const QUrl& base);

// The address book (CardDAV) and calendar (CalDAV) client.  Everything runs on
// the event loop: start a job, then wait for finished() (the windows) or call
// waitForFinished() (the command line).  One job at a time.
//
// Publishing sends only what changed: the ETag the server gave each event and
// a hash of what was sent are kept in a small JSON state file, keyed by the
// calendar's address.  Events are recognised as ours by that state file, or,
// when it was lost, by our UID ending in the file name and our PRODID in the
// content; nothing else on the server is ever changed.
class DavClient : public QObject {
    Q_OBJECT
public:
    explicit DavClient(QObject* parent = nullptr);
    ~DavClient() override;

    // The user name and password; a user name or password in the URL of a job wins.
    void setCredentials(const QString& user, const QString& password);

    // All vCards of the address book collection at `url`, or of the first
    // address book in the collection at `url`.
    void fetchCards(const QUrl& url);
    // Makes the calendar at `url` hold exactly `events` of ours.
    struct PublishOptions {
        QString stateFile;
        QByteArray prodId = "-//Brolt//"; // the PRODID of our events starts with this
        QString calendarName = QStringLiteral("Brolt");
    };
    void publish(const QUrl& url, const QList<CalendarEvent>& events, const PublishOptions& options);

    bool busy() const { return m_busy; }
    // Runs an event loop until the job ends; true on success.
    bool waitForFinished();
    // The Dutch reason of the failure; empty after success.
    QString errorText() const { return m_error; }
    // The server refused the user name or password (401).
    bool refused() const { return m_refused; }
    const QList<QByteArray>& cards() const { return m_cards; }
    DavPublishCounts counts() const { return m_counts; }
    // The requests sent since construction, by method ("PUT", "PROPFIND", ...).
    int sentCount(const QByteArray& method) const { return m_sent.value(method); }

    // The project-wide transfer timeout (20 s); tests shorten it.
    static void setTransferTimeout(int milliseconds);
    static int transferTimeout();
    // The address as shown to the user: never with the password.
    static QString shownUrl(const QUrl& url);

Q_SIGNALS:
    void finished(bool ok);

private:
    using Handler = std::function<void(QNetworkReply*)>;
    enum class Target { AddressBook, Calendar, Event };
    void start(const QUrl& url);
    void send(const QByteArray& method, const QUrl& url, const QByteArray& body,
              const QList<QPair<QByteArray, QByteArray>>& headers, Handler handler);
    void pump();
    bool check(QNetworkReply* reply, Target target);
    void fail(const QString& message);
    void finish();
    void queryCards();
    void afterListing(const QList<DavEntry>& entries);
    QUrl eventUrl(const QString& uid) const;
    void putEvent(const CalendarEvent& event, const QByteArray& serverEtag, bool exists);
    void deleteEvent(const QString& path, const QByteArray& etag);
    void fillMissingEtags();
    void loadState();
    void saveState();

    QNetworkAccessManager* m_network;
    QString m_user;
    QString m_password;
    QString m_jobUser;
    QString m_jobPassword;
    QUrl m_base;
    bool m_busy = false;
    bool m_failed = false;
    bool m_ok = false;
    bool m_refused = false;
    int m_inFlight = 0;
    std::deque<std::function<void()>> m_queue;
    std::function<void()> m_whenIdle;
    QString m_error;
    QList<QByteArray> m_cards;
    DavPublishCounts m_counts;
    QHash<QByteArray, int> m_sent;

    // Publishing.
    QList<CalendarEvent> m_events;
    PublishOptions m_options;
    struct Sent {
        QString path;
        QByteArray etag;
        QByteArray hash;
    };
    QHash<QString, Sent> m_state; // by UID
    bool m_stateChanged = false;
};

// For the command line: the whole job on a local event loop, user and password
// from the address.  False with the Dutch reason in `error`.
bool FetchAddressBook(const QUrl& url, QByteArray& cards, QString& error);
// The state file is "Agenda.json" in the per-user data folder.
bool PublishCalendar(const QUrl& url, const QList<CalendarEvent>& events, DavPublishCounts& counts,
                     QString& error);
// "2 nieuw, 1 gewijzigd, 7 ongewijzigd, 0 verwijderd"
QString PublishLine(const DavPublishCounts& counts);
// Where publishing remembers what it sent.
QString PublishStateFile();
