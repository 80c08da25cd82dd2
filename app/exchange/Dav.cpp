#include "exchange/Dav.h"

#include "kit/Log.h"
#include "kit/Support.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>

namespace {

DavClient::Limits currentLimits;
// Enough to keep a connection pool busy without flooding the server.
constexpr int maxInFlight = 6;
// A server that sends us round in circles on its own ground.
constexpr int maxRedirects = 5;
// How long a cancelled job waits for the events it sent.
constexpr int cancelGraceMs = 3000;

const QByteArray xmlType = QByteArrayLiteral("application/xml; charset=utf-8");
const QString tooSlow = QStringLiteral("De server antwoordt te traag");

// What a collection is and what it is called; of the address given and of a
// principal, also where the user's address books and calendars are.
QByteArray propfindBody(bool looking = false) {
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                             "<D:propfind xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\" "
                             "xmlns:R=\"urn:ietf:params:xml:ns:carddav\"><D:prop><D:resourcetype/>"
                             "<D:displayname/>") +
           (looking ? QByteArrayLiteral("<D:current-user-principal/><R:addressbook-home-set/>"
                                        "<C:calendar-home-set/>")
                    : QByteArrayLiteral("<D:getetag/>")) +
           QByteArrayLiteral("</D:prop></D:propfind>");
}

// An address as it is asked: without user information, query or fragment.
QUrl bare(QUrl url) {
    url.setUserInfo(QString());
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

QUrl withSlash(QUrl url) {
    const QString path = url.path(QUrl::FullyEncoded);
    if (!path.endsWith(QLatin1Char('/')))
        url.setPath(path + QLatin1Char('/'), QUrl::TolerantMode);
    return url;
}

QString host(const QUrl& url) {
    return url.port() > 0 ? url.host() + QLatin1Char(':') + QString::number(url.port()) : url.host();
}

// A server's text in one of our messages: one line, never a terminal's escape.
QString shownText(const QString& text) {
    return WithoutControls(text.left(200), u' ').simplified();
}

} // namespace

DavClient::DavClient(QObject* parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this)), m_jobTimer(new QTimer(this)) {
    m_jobTimer->setSingleShot(true);
    connect(m_jobTimer, &QTimer::timeout, this, [this] { abortAll(tooSlow); });
}

DavClient::~DavClient() = default;

void DavClient::setLimits(const Limits& limits) {
    currentLimits = limits;
}

DavClient::Limits DavClient::limits() {
    return currentLimits;
}

QString DavClient::shownUrl(const QUrl& url) {
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

void DavClient::setCredentials(const QString& user, const QString& password) {
    m_user = user;
    m_password = password;
}

void DavClient::start(const QUrl& url) {
    m_busy = true;
    m_failed = false;
    m_ok = false;
    m_refused = false;
    m_cancelled = false;
    m_discovered = false;
    m_ignored = 0;
    m_error.clear();
    m_books.clear();
    m_counts = {};
    m_toSend = 0;
    m_sentDone = 0;
    m_queue.clear();
    m_whenIdle = nullptr;
    m_jobUser = url.userName().isEmpty() ? m_user : url.userName();
    m_jobPassword = url.password().isEmpty() ? m_password : url.password();
    m_base = bare(withSlash(url));
    m_given = shownUrl(m_base);
    m_jobTimer->start(currentLimits.jobMs);
}

void DavClient::cancel() {
    if (!m_busy || m_cancelled)
        return;
    m_cancelled = true;
    // Nothing more is sent.  Events under way are waited for a moment, so that
    // what reached the calendar is known and remembered; a server slow to
    // answer them is not.
    fail(QStringLiteral("Geannuleerd"));
    QTimer::singleShot(cancelGraceMs, this, [this] {
        if (m_cancelled)
            abortAll(m_error);
    });
    for (QNetworkReply* reply : m_inFlight.keys()) {
        const QByteArray method =
            reply->request().attribute(QNetworkRequest::CustomVerbAttribute).toByteArray();
        if (method != "PUT" && method != "DELETE")
            reply->abort();
    }
    pump();
}

QList<QByteArray> DavClient::cards() const {
    QList<QByteArray> all;
    for (const DavBook& book : m_books)
        all += book.cards;
    return all;
}

QUrl DavClient::childUrl(const QString& name) const {
    return DavChildUrl(m_base, name);
}

QString DavClient::childPath(const QString& name) const {
    return m_base.path() + name;
}

void DavClient::send(Request request) {
    m_queue.push_back(std::move(request));
    pump();
}

void DavClient::dispatch(const Request& r) {
    QNetworkRequest request(!r.at.isEmpty() ? r.at : r.child.isEmpty() ? m_base : childUrl(r.child));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Redirects are ours to judge: a PROPFIND must stay a PROPFIND, and only
    // the collection itself may lead elsewhere on the same server.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(currentLimits.transferTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Brolt"));
    // Sent with the first request: asking twice per event would double a publish.
    if (!m_jobUser.isEmpty() || !m_jobPassword.isEmpty())
        request.setRawHeader("Authorization",
                             "Basic " + (m_jobUser + QLatin1Char(':') + m_jobPassword).toUtf8().toBase64());
    for (const auto& [name, value] : r.headers)
        request.setRawHeader(name, value);
    ++m_sent[r.method];
    QNetworkReply* reply = m_network->sendCustomRequest(request, r.method, r.body);
    auto* deadline = new QTimer(this);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, [this] { abortAll(tooSlow); });
    deadline->start(currentLimits.requestMs);
    m_inFlight.insert(reply, deadline);
    const bool reading = r.method == "REPORT" && !m_publishing;
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reading](qint64 received, qint64 total) {
        if (received > currentLimits.responseBytes || total > currentLimits.responseBytes)
            abortAll(QStringLiteral("Het antwoord van %1 is groter dan %2 MB; dat leest Brolt niet")
                         .arg(host(m_base))
                         .arg(currentLimits.responseBytes / (1024 * 1024)));
        else if (reading)
            Q_EMIT progress({m_reading, received, std::max<qint64>(total, 0), true});
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, r] { finishedReply(reply, r); });
}

void DavClient::finishedReply(QNetworkReply* reply, const Request& request) {
    reply->deleteLater();
    // The request has ended, and so has its deadline (whose timeout may be what ended it).
    if (QTimer* deadline = m_inFlight.take(reply)) {
        deadline->stop();
        deadline->deleteLater();
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool redirect = status == 301 || status == 302 || status == 307 || status == 308;
    if (m_failed && m_cancelled && (request.method == "PUT" || request.method == "DELETE")) {
        request.handler(reply); // what it changed in the calendar is remembered
    } else if (m_failed) {
        // Nothing more to do: the job ends once the other requests are back.
    } else if (redirect && request.child.isEmpty() && request.redirects < maxRedirects &&
               reply->hasRawHeader("Location") &&
               DavSameOrigin(reply->url().resolved(QUrl::fromEncoded(reply->rawHeader("Location"))),
                             m_base)) {
        // The collection (or a place on the way to it) moved on the same
        // server: the same request goes there, and a collection it leads to
        // is the collection from now on.
        const QUrl moved = bare(reply->url().resolved(QUrl::fromEncoded(reply->rawHeader("Location"))));
        Request again = request;
        if (request.at.isEmpty())
            m_base = withSlash(moved);
        else
            again.at = moved;
        ++again.redirects;
        m_queue.push_front(std::move(again));
    } else if (redirect || (status >= 300 && status < 400)) {
        fail(QStringLiteral("%1 stuurt door naar een ander adres; dat volgt Brolt niet")
                 .arg(shownUrl(reply->url())));
    } else {
        request.handler(reply);
    }
    pump();
}

void DavClient::pump() {
    for (;;) {
        while (!m_failed && m_inFlight.size() < maxInFlight && !m_queue.empty()) {
            const Request next = std::move(m_queue.front());
            m_queue.pop_front();
            dispatch(next);
        }
        if (!m_inFlight.isEmpty() || (!m_failed && !m_queue.empty()))
            return;
        if (!m_failed && m_whenIdle) {
            auto step = std::move(m_whenIdle);
            m_whenIdle = nullptr;
            step();
            continue;
        }
        m_queue.clear();
        finish();
        return;
    }
}

// True for a 2xx answer; otherwise the job fails with the Dutch reason.
bool DavClient::check(QNetworkReply* reply, Target target) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status >= 200 && status < 300)
        return true;
    const QString where = host(m_base);
    const QString shown = shownUrl(reply->url());
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        fail(QStringLiteral("Geen verbinding met %1").arg(where));
        return false;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        fail(QStringLiteral("%1 geeft geen antwoord binnen %2 s")
                 .arg(where)
                 .arg((currentLimits.transferTimeoutMs + 999) / 1000));
        return false;
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::UnknownProxyError:
        fail(QStringLiteral("Geen veilige verbinding met %1: het certificaat wordt niet vertrouwd")
                 .arg(where));
        return false;
    default:
        break;
    }
    m_refused = status == 401;
    if (status == 401)
        fail(QStringLiteral("Gebruikersnaam of wachtwoord onjuist voor %1").arg(where));
    else if (status == 403)
        fail(QStringLiteral("Geen toegang tot %1").arg(shown));
    else if (status == 404 && target == Target::AddressBook)
        fail(QStringLiteral("Adresboek niet gevonden: %1").arg(shown));
    else if ((status == 404 || status == 409) && target == Target::Calendar)
        fail(QStringLiteral("Agenda niet gevonden en niet te maken: %1").arg(shown));
    else if (status == 412)
        fail(QStringLiteral("De agenda is intussen elders gewijzigd; publiceer opnieuw"));
    else if (status > 0)
        fail(QStringLiteral("De server antwoordt %1 %2 op %3")
                 .arg(status)
                 .arg(shownText(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()),
                      shown));
    else
        fail(QStringLiteral("Geen verbinding met %1").arg(where));
    return false;
}

// A multistatus that cannot be read ends the job: what it would have said is unknown.
bool DavClient::readListing(QNetworkReply* reply, DavListing& listing, const QUrl& base) {
    listing = ParseMultistatus(reply->readAll(), base.isEmpty() ? m_base : base);
    m_ignored += listing.outside;
    if (!listing.ok)
        fail(QStringLiteral("Het antwoord van %1 is geen leesbare WebDAV-lijst; er is niets veranderd")
                 .arg(host(m_base)));
    return listing.ok;
}

void DavClient::fail(const QString& message) {
    if (m_failed)
        return;
    m_failed = true;
    m_error = message;
}

void DavClient::abortAll(const QString& message) {
    if (!m_busy)
        return;
    fail(message);
    for (QNetworkReply* reply : m_inFlight.keys())
        reply->abort();
    pump();
}

void DavClient::finish() {
    if (!m_busy)
        return;
    m_jobTimer->stop();
    if (!m_options.stateFile.isEmpty() && m_stateChanged)
        saveState();
    if (m_ignored > 0)
        WriteLog(shownUrl(m_base) + QStringLiteral(": ") + IgnoredLine(m_ignored, m_publishing));
    m_busy = false;
    m_ok = !m_failed;
    Q_EMIT finished(m_ok);
}

bool DavClient::waitForFinished() {
    if (m_busy) {
        QEventLoop loop;
        connect(this, &DavClient::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return m_ok;
}

void DavClient::ask(const QByteArray& method, const QByteArray& depth, const QByteArray& body, Target target,
                    std::function<void(const DavListing&)> then, std::function<void()> whenMissing) {
    const Headers headers{{"Depth", depth}, {"Content-Type", xmlType}};
    send({method, {}, body, headers, [this, target, then, whenMissing](QNetworkReply* reply) {
              if (whenMissing && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 404) {
                  whenMissing();
                  return;
              }
              DavListing listing;
              if (check(reply, target) && readListing(reply, listing))
                  then(listing);
          }});
}

void DavClient::askAt(const QUrl& at, const QByteArray& depth, const QByteArray& body,
                      std::function<void(const DavListing&, const QUrl&)> then) {
    // Whatever a server names on the way, only its own places are asked.
    if (!DavSameOrigin(at, m_base)) {
        fail(QStringLiteral("%1 wijst naar een andere server; dat volgt Brolt niet").arg(m_given));
        return;
    }
    Request request{"PROPFIND", {}, body, {{"Depth", depth}, {"Content-Type", xmlType}}, {}, 0, bare(at)};
    request.handler = [this, then](QNetworkReply* reply) {
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 404) {
            fail(nothingFound());
            return;
        }
        if (!check(reply, m_publishing ? Target::Calendar : Target::AddressBook))
            return;
        const QUrl where = withSlash(reply->url());
        DavListing listing;
        if (readListing(reply, listing, where))
            then(listing, where);
    };
    send(std::move(request));
}

void DavClient::fetchCards(const QUrl& url) {
    m_publishing = false;
    m_options = {};
    m_stateChanged = false;
    start(url);
    locate();
}

void DavClient::publish(const QUrl& url, const QList<CalendarEvent>& events, const PublishOptions& options) {
    m_publishing = true;
    m_events = events;
    m_options = options;
    m_stateChanged = false;
    start(url);
    m_stateKey = shownUrl(m_base);
    loadState();
    locate();
}

// A bare server is asked at its well-known address first; any other address
// is looked at itself.
void DavClient::locate() {
    if (m_base.path() == QLatin1String("/"))
        wellKnown();
    else
        probeGiven();
}

void DavClient::wellKnown() {
    QUrl at = m_base;
    at.setPath(m_publishing ? QStringLiteral("/.well-known/caldav") : QStringLiteral("/.well-known/carddav"));
    Request request{"PROPFIND", {}, propfindBody(true), {{"Depth", "0"}, {"Content-Type", xmlType}}, {},
                    0,          at};
    request.handler = [this](QNetworkReply* reply) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // A server without one (or one that answers it with a web page) is asked at its root.
        if (reply->error() == QNetworkReply::NoError && status == 207) {
            const QUrl where = withSlash(reply->url());
            const DavListing listing = ParseMultistatus(reply->readAll(), where);
            if (listing.ok && listing.self()) {
                m_ignored += listing.outside;
                examine(listing, where);
                return;
            }
        } else if (status == 401 || (reply->error() != QNetworkReply::NoError &&
                                     reply->error() < QNetworkReply::ProxyConnectionRefusedError)) {
            check(reply, Target::AddressBook); // no way on: a wrong password, or no connection
            return;
        }
        probeGiven();
    };
    send(std::move(request));
}

// The address given: an address book or calendar is used as it is, as
// always; a calendar that is not there yet is made there.
void DavClient::probeGiven() {
    const Target target = m_publishing ? Target::Calendar : Target::AddressBook;
    // A server's root that is not there has nothing to find; a calendar not there is made.
    std::function<void()> whenMissing;
    if (m_base.path() == QLatin1String("/"))
        whenMissing = [this] { fail(nothingFound()); };
    else if (m_publishing)
        whenMissing = [this] { makeCalendar(); };
    ask(
        "PROPFIND", "0", propfindBody(true), target,
        [this](const DavListing& listing) { examine(listing, m_base); }, whenMissing);
}

QString DavClient::nothingFound() const {
    return (m_publishing ? QStringLiteral("Op %1 is geen agenda te vinden")
                         : QStringLiteral("Op %1 is geen adresboek te vinden"))
        .arg(m_given);
}

// What the answer about `where` says: the collection itself, where the
// user's collections are, or where to ask next.
void DavClient::examine(const DavListing& listing, const QUrl& where) {
    const DavEntry* self = listing.self();
    if (self && (m_publishing ? self->calendar : self->addressBook)) {
        useCollection(where, *self);
        return;
    }
    // Another kind of collection is not looked through: it is a mistake.
    if (!self || self->calendar || self->addressBook) {
        fail((m_publishing ? QStringLiteral("%1 is geen agenda") : QStringLiteral("%1 is geen adresboek"))
                 .arg(shownUrl(where)));
        return;
    }
    const QUrl home = m_publishing ? self->calendarHome : self->addressBookHome;
    if (home.isValid()) {
        listHome(home);
        return;
    }
    // A folder that holds them, as users often give (".../addressbooks/users/NAME/"),
    // or else the one the user's principal names.
    const QUrl principal = self->principal;
    askAt(where, "1", propfindBody(), [this, principal](const DavListing& inside, const QUrl& folder) {
        for (const DavEntry& entry : inside.entries)
            if (!entry.name.isEmpty() && (m_publishing ? entry.calendar : entry.addressBook)) {
                homeFound(folder, inside);
                return;
            }
        if (principal.isValid() && withSlash(bare(principal)) != folder)
            toPrincipal(principal);
        else
            fail(nothingFound());
    });
}

void DavClient::toPrincipal(const QUrl& principal) {
    askAt(principal, "0", propfindBody(true), [this](const DavListing& listing, const QUrl&) {
        const DavEntry* self = listing.self();
        const QUrl home = !self ? QUrl() : m_publishing ? self->calendarHome : self->addressBookHome;
        if (home.isValid())
            listHome(home);
        else
            fail(nothingFound());
    });
}

void DavClient::listHome(const QUrl& home) {
    askAt(home, "1", propfindBody(),
          [this](const DavListing& listing, const QUrl& where) { homeFound(where, listing); });
}

namespace {
// The name a collection is shown by: its display name, else the last part of its address.
QString collectionName(const DavEntry& entry, const QUrl& url) {
    const QString name = shownText(entry.displayName);
    if (!name.isEmpty())
        return name;
    return shownText(entry.name.isEmpty() ? url.path(QUrl::FullyDecoded).section(u'/', -2, -2) : entry.name);
}
} // namespace

// The user's home: every address book in it is read; the calendar with our
// name is published to, made when there is none.
void DavClient::homeFound(const QUrl& home, const DavListing& listing) {
    m_discovered = true;
    QList<DavEntry> found;
    QSet<QString> names;
    for (const DavEntry& entry : listing.entries) {
        names.insert(entry.name.toLower());
        if (!entry.name.isEmpty() && (m_publishing ? entry.calendar : entry.addressBook))
            found << entry;
    }
    std::sort(found.begin(), found.end(),
              [](const DavEntry& a, const DavEntry& b) { return a.name < b.name; });
    if (!m_publishing) {
        if (found.isEmpty()) {
            fail(nothingFound());
            return;
        }
        for (const DavEntry& entry : std::as_const(found)) {
            const QUrl url = withSlash(DavChildUrl(home, entry.name));
            m_books.append({collectionName(entry, url), url, {}});
        }
        readBook(0);
        return;
    }
    for (const DavEntry& entry : std::as_const(found))
        if (entry.displayName.trimmed().compare(m_options.calendarName, Qt::CaseInsensitive) == 0) {
            settleCalendar(withSlash(DavChildUrl(home, entry.name)));
            queryEvents();
            return;
        }
    // None yet: ours is made under a name nothing in the home has.
    const QString base = m_options.calendarName.toLower();
    QString name = base;
    for (int n = 2; names.contains(name); ++n)
        name = base + u'-' + QString::number(n);
    settleCalendar(withSlash(DavChildUrl(home, name)));
    makeCalendar();
}

void DavClient::useCollection(const QUrl& where, const DavEntry& self) {
    if (m_publishing) {
        if (where != m_base)
            settleCalendar(where);
        queryEvents();
        return;
    }
    m_base = where;
    m_books.append({collectionName(self, where), where, {}});
    readBook(0);
}

// From here on the job works on this calendar, and remembers what it sent
// under its address.
void DavClient::settleCalendar(const QUrl& calendar) {
    m_base = calendar;
    m_stateKey = shownUrl(m_base);
    loadState();
}

void DavClient::makeCalendar() {
    // A missing calendar is made; everything we knew about it is gone.
    const QByteArray body =
        QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "<C:mkcalendar xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">"
                          "<D:set><D:prop><D:displayname>") +
        m_options.calendarName.toHtmlEscaped().toUtf8() +
        QByteArrayLiteral("</D:displayname><C:supported-calendar-component-set>"
                          "<C:comp name=\"VEVENT\"/></C:supported-calendar-component-set>"
                          "</D:prop></D:set></C:mkcalendar>");
    send({"MKCALENDAR", {}, body, {{"Content-Type", xmlType}}, [this](QNetworkReply* made) {
              if (!check(made, Target::Calendar))
                  return;
              m_state.clear();
              m_stateChanged = true;
              afterListing({});
          }});
}

// The address books one after the other, each as the collection of its own REPORT.
void DavClient::readBook(qsizetype index) {
    if (index >= m_books.size())
        return;
    m_base = m_books[index].url;
    m_reading = QStringLiteral("Adresboek \"%1\"").arg(m_books[index].name);
    Q_EMIT progress({m_reading, 0, 0, true});
    const QByteArray query =
        QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "<C:addressbook-query xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:carddav\">"
                          "<D:prop><D:getetag/><C:address-data/></D:prop></C:addressbook-query>");
    ask("REPORT", "1", query, Target::AddressBook, [this, index](const DavListing& listing) {
        for (const DavEntry& entry : listing.entries)
            if (!entry.name.isEmpty() && !entry.data.isEmpty())
                m_books[index].cards.append(entry.data);
        // A redirect may have moved it.
        m_books[index].url = m_base;
        readBook(index + 1);
    });
}

// Every event in the calendar with its data: our UIDs are found wherever a
// calendar program stored them, and what is there is compared with what we have.
void DavClient::queryEvents() {
    const QByteArray query =
        QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "<C:calendar-query xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">"
                          "<D:prop><D:getetag/><C:calendar-data/></D:prop><C:filter>"
                          "<C:comp-filter name=\"VCALENDAR\"><C:comp-filter name=\"VEVENT\"/></C:comp-filter>"
                          "</C:filter></C:calendar-query>");
    ask("REPORT", "1", query, Target::Calendar, [this](const DavListing& listing) {
        QList<DavEntry> children;
        for (const DavEntry& entry : listing.entries)
            if (!entry.name.isEmpty() && !entry.collection)
                children << entry;
        afterListing(children);
    });
}

void DavClient::afterListing(const QList<DavEntry>& children) {
    // What the calendar holds, by the UID in its data (or, without data, in its name).
    struct Stored {
        const DavEntry* entry;
        QString uid;
    };
    QList<Stored> stored;
    QHash<QString, qsizetype> byUid;
    const QString suffix = QStringLiteral(".ics");
    for (const DavEntry& child : children) {
        QString uid = CalendarObjectUid(child.data);
        if (child.data.isEmpty() && child.name.endsWith(suffix))
            uid = child.name.chopped(suffix.size());
        stored.append({&child, uid});
        // Of two objects with one UID, the one under our own name is ours.
        if (!uid.isEmpty() && (!byUid.contains(uid) || child.name == uid + suffix))
            byUid.insert(uid, stored.size() - 1);
    }

    QSet<QString> current;
    for (const CalendarEvent& event : std::as_const(m_events)) {
        current.insert(event.uid);
        const auto at = byUid.constFind(event.uid);
        if (at == byUid.constEnd()) {
            putEvent(event, event.uid + suffix, {}, false);
            continue;
        }
        const DavEntry& there = *stored[*at].entry;
        const Sent known = m_state.value(event.uid);
        const QString path = childPath(there.name);
        // The same as ours on everything the records determine (whoever sent
        // it, whatever its stamp); or changed by a calendar program since we
        // sent it while the record stayed the same: then it stays as it is
        // until the record changes.  Either way it is ours from now on.
        const bool same = !there.data.isEmpty() && CalendarFingerprint(there.data) == event.fingerprint;
        if (same || (known.path == path && known.print == event.fingerprint)) {
            ++m_counts.unchanged;
            if (known.path != path || known.print != event.fingerprint) {
                m_state.insert(event.uid, {path, event.fingerprint});
                m_stateChanged = true;
            }
            continue;
        }
        putEvent(event, there.name, there.etag, true);
    }

    QSet<QString> onServer;
    for (const Stored& s : std::as_const(stored))
        onServer.insert(childPath(s.entry->name));
    QSet<QString> knownPaths;
    for (auto it = m_state.begin(); it != m_state.end();) {
        // Events of records that are gone are forgotten once the server lost them too.
        if (!current.contains(it.key()) && !onServer.contains(it->path)) {
            it = m_state.erase(it);
            m_stateChanged = true;
        } else {
            knownPaths.insert(it->path);
            ++it;
        }
    }
    for (const Stored& s : std::as_const(stored)) {
        if (current.contains(s.uid))
            continue;
        const DavEntry& there = *s.entry;
        // Not in our memory: ours only when the name is one of our UIDs and the content has our PRODID.
        const bool ours =
            knownPaths.contains(childPath(there.name)) ||
            (there.name.endsWith(suffix) && IsBroltEventUid(there.name.chopped(suffix.size())) &&
             !m_options.prodId.isEmpty() && there.data.contains("PRODID:" + m_options.prodId));
        if (ours)
            deleteEvent(there.name, there.etag);
    }
    if (m_toSend > 0)
        Q_EMIT progress({QStringLiteral("Afspraken verstuurd"), 0, m_toSend});
}

void DavClient::putEvent(const CalendarEvent& event, const QString& name, const QByteArray& etag,
                         bool exists) {
    Headers headers{{"Content-Type", "text/calendar; charset=utf-8"}};
    // A weak ETag never matches in If-Match: then the event is sent without one.
    if (exists && !etag.isEmpty() && !etag.startsWith("W/"))
        headers.append(qMakePair(QByteArray("If-Match"), etag));
    else if (!exists)
        headers.append(qMakePair(QByteArray("If-None-Match"), QByteArray("*")));
    const QString uid = event.uid;
    const QByteArray print = event.fingerprint;
    ++m_toSend;
    send({"PUT", name, event.calendar, headers, [this, uid, print, name, exists](QNetworkReply* reply) {
              if (!check(reply, Target::Event))
                  return;
              ++(exists ? m_counts.updated : m_counts.created);
              m_state.insert(uid, {childPath(name), print});
              m_stateChanged = true;
              sentOne();
          }});
}

void DavClient::deleteEvent(const QString& name, const QByteArray& etag) {
    Headers headers;
    if (!etag.isEmpty() && !etag.startsWith("W/"))
        headers.append(qMakePair(QByteArray("If-Match"), etag));
    ++m_toSend;
    send({"DELETE", name, {}, headers, [this, name](QNetworkReply* reply) {
              const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
              if (status != 404 && !check(reply, Target::Event))
                  return;
              ++m_counts.deleted;
              const QString path = childPath(name);
              for (auto it = m_state.begin(); it != m_state.end();)
                  it = it->path == path ? m_state.erase(it) : std::next(it);
              m_stateChanged = true;
              sentOne();
          }});
}

void DavClient::sentOne() {
    ++m_sentDone;
    Q_EMIT progress({QStringLiteral("Afspraken verstuurd"), m_sentDone, m_toSend});
}

void DavClient::loadState() {
    m_state.clear();
    QFile file(m_options.stateFile);
    if (m_options.stateFile.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject events = QJsonDocument::fromJson(file.readAll()).object().value(m_stateKey).toObject();
    for (auto it = events.begin(); it != events.end(); ++it) {
        // [path, fingerprint]; files of earlier versions also hold the ETag between them.
        const QJsonArray sent = it.value().toArray();
        m_state.insert(it.key(), {sent.first().toString(), sent.last().toString().toUtf8()});
    }
}

void DavClient::saveState() {
    QJsonObject all;
    QFile old(m_options.stateFile);
    if (old.open(QIODevice::ReadOnly))
        all = QJsonDocument::fromJson(old.readAll()).object();
    old.close();
    QJsonObject events;
    for (auto it = m_state.cbegin(); it != m_state.cend(); ++it)
        events.insert(it.key(), QJsonArray{it->path, QString::fromUtf8(it->print)});
    all.insert(m_stateKey, events);
    QSaveFile file(m_options.stateFile);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(all).toJson(QJsonDocument::Compact));
        file.commit();
    }
    m_stateChanged = false;
}

QString PublishStateFile() {
    return UserDataFolder() + QStringLiteral("Agenda.json");
}

QString BookLine(const DavBook& book) {
    return QStringLiteral("Adresboek \"%1\": %2 %3")
        .arg(book.name)
        .arg(book.cards.size())
        .arg(book.cards.size() == 1 ? QStringLiteral("kaart") : QStringLiteral("kaarten"));
}

QString PublishLine(const DavPublishCounts& counts) {
    return QStringLiteral("%1 nieuw, %2 gewijzigd, %3 ongewijzigd, %4 verwijderd")
        .arg(counts.created)
        .arg(counts.updated)
        .arg(counts.unchanged)
        .arg(counts.deleted);
}

QString IgnoredLine(int ignored, bool calendar) {
    return QStringLiteral("%1 %2 over iets buiten %3 genegeerd")
        .arg(ignored)
        .arg(ignored == 1 ? QStringLiteral("antwoord") : QStringLiteral("antwoorden"),
             calendar ? QStringLiteral("de agenda") : QStringLiteral("het adresboek"));
}
