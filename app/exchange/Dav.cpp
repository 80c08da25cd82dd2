#include "exchange/Dav.h"

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
#include <QSet>
#include <QXmlStreamReader>

namespace {

int transferTimeoutMs = 20000;
// Enough to keep a connection pool busy without flooding the server.
constexpr int maxInFlight = 6;

const QByteArray xmlType = QByteArrayLiteral("application/xml; charset=utf-8");

QByteArray propfindBody() {
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                             "<D:propfind xmlns:D=\"DAV:\"><D:prop><D:resourcetype/><D:getetag/>"
                             "</D:prop></D:propfind>");
}

QUrl withSlash(QUrl url) {
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        url.setPath(path + QLatin1Char('/'));
    return url;
}

QString trimmedPath(QString path) {
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString host(const QUrl& url) {
    return url.port() > 0 ? url.host() + QLatin1Char(':') + QString::number(url.port()) : url.host();
}

} // namespace

QList<DavEntry> ParseMultistatus(const QByteArray& xml, const QUrl& base) {
    QList<DavEntry> entries;
    QXmlStreamReader reader(xml);
    DavEntry entry;
    DavEntry found; // the properties of the current propstat, kept when its status is 200
    bool okStatus = true;
    const QString dav = QStringLiteral("DAV:");
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QStringView name = reader.name();
            const bool isDav = reader.namespaceUri() == dav;
            if (isDav && name == u"response") {
                entry = DavEntry();
            } else if (isDav && name == u"propstat") {
                found = DavEntry();
                okStatus = true;
            } else if (isDav && name == u"href" && entry.path.isEmpty()) {
                // The first href is the response's own; properties may hold more.
                entry.path = base.resolved(QUrl(reader.readElementText().trimmed())).path();
            } else if (isDav && name == u"getetag") {
                found.etag = reader.readElementText().trimmed().toUtf8();
            } else if (isDav && name == u"collection") {
                found.collection = true;
            } else if (name == u"addressbook") {
                found.addressBook = true;
            } else if (name == u"calendar") {
                found.calendar = true;
            } else if (name == u"address-data" || name == u"calendar-data") {
                found.data = reader.readElementText().toUtf8();
            } else if (isDav && name == u"status") {
                okStatus = reader.readElementText().contains(QLatin1String(" 200 "));
            }
        } else if (reader.isEndElement() && reader.namespaceUri() == dav) {
            if (reader.name() == u"propstat" && okStatus) {
                entry.etag = found.etag.isEmpty() ? entry.etag : found.etag;
                entry.collection |= found.collection;
                entry.addressBook |= found.addressBook;
                entry.calendar |= found.calendar;
                if (!found.data.isEmpty())
                    entry.data = found.data;
            } else if (reader.name() == u"response" && !entry.path.isEmpty()) {
                entries.append(entry);
            }
        }
    }
    return entries;
}

DavClient::DavClient(QObject* parent) : QObject(parent), m_network(new QNetworkAccessManager(this)) {}

DavClient::~DavClient() = default;

void DavClient::setTransferTimeout(int milliseconds) {
    transferTimeoutMs = milliseconds;
}

int DavClient::transferTimeout() {
    return transferTimeoutMs;
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
    m_error.clear();
    m_cards.clear();
    m_counts = {};
    m_queue.clear();
    m_whenIdle = nullptr;
    m_jobUser = url.userName().isEmpty() ? m_user : url.userName();
    m_jobPassword = url.password().isEmpty() ? m_password : url.password();
    QUrl clean = withSlash(url);
    clean.setUserInfo(QString());
    m_base = clean;
}

void DavClient::send(const QByteArray& method, const QUrl& url, const QByteArray& body,
                     const QList<QPair<QByteArray, QByteArray>>& headers, Handler handler) {
    m_queue.push_back([this, method, url, body, headers, handler] {
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::SameOriginRedirectPolicy);
        request.setTransferTimeout(transferTimeoutMs);
        request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Brolt"));
        // Sent with the first request: asking twice per event would double a publish.
        if (!m_jobUser.isEmpty() || !m_jobPassword.isEmpty())
            request.setRawHeader("Authorization",
                                 "Basic " +
                                     (m_jobUser + QLatin1Char(':') + m_jobPassword).toUtf8().toBase64());
        for (const auto& [name, value] : headers)
            request.setRawHeader(name, value);
        ++m_sent[method];
        ++m_inFlight;
        QNetworkReply* reply = m_network->sendCustomRequest(request, method, body);
        connect(reply, &QNetworkReply::finished, this, [this, reply, handler] {
            reply->deleteLater();
            --m_inFlight;
            if (!m_failed)
                handler(reply);
            pump();
        });
    });
    pump();
}

void DavClient::pump() {
    for (;;) {
        while (!m_failed && m_inFlight < maxInFlight && !m_queue.empty()) {
            auto next = std::move(m_queue.front());
            m_queue.pop_front();
            next();
        }
        if (m_inFlight > 0 || (!m_failed && !m_queue.empty()))
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
                 .arg((transferTimeoutMs + 999) / 1000));
        return false;
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::UnknownProxyError:
        fail(QStringLiteral("Geen veilige verbinding met %1: het certificaat wordt niet vertrouwd")
                 .arg(where));
        return false;
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::TooManyRedirectsError:
        fail(QStringLiteral("%1 stuurt door naar een ander adres; dat volgt Brolt niet").arg(shown));
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
    else if (status >= 300 && status < 400)
        fail(QStringLiteral("%1 stuurt door naar een ander adres; dat volgt Brolt niet").arg(shown));
    else if (status > 0)
        fail(QStringLiteral("De server antwoordt %1 %2 op %3")
                 .arg(status)
                 .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString(), shown));
    else
        fail(QStringLiteral("Geen verbinding met %1").arg(where));
    return false;
}

void DavClient::fail(const QString& message) {
    if (m_failed)
        return;
    m_failed = true;
    m_error = message;
}

void DavClient::finish() {
    if (!m_busy)
        return;
    if (!m_options.stateFile.isEmpty() && m_stateChanged)
        saveState();
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

void DavClient::fetchCards(const QUrl& url) {
    start(url);
    m_options = {};
    m_stateChanged = false;
    send("PROPFIND", m_base, propfindBody(), {{"Depth", "0"}, {"Content-Type", xmlType}},
         [this](QNetworkReply* reply) {
             if (!check(reply, Target::AddressBook))
                 return;
             const QList<DavEntry> entries = ParseMultistatus(reply->readAll(), m_base);
             const bool isBook = std::any_of(entries.begin(), entries.end(), [this](const DavEntry& e) {
                 return trimmedPath(e.path) == trimmedPath(m_base.path()) && e.addressBook;
             });
             if (isBook) {
                 queryCards();
                 return;
             }
             // Users often give the folder that holds their address books
             // (".../addressbooks/users/NAME/"): the first one in it is taken.
             send("PROPFIND", m_base, propfindBody(), {{"Depth", "1"}, {"Content-Type", xmlType}},
                  [this](QNetworkReply* listing) {
                      if (!check(listing, Target::AddressBook))
                          return;
                      QStringList books;
                      for (const DavEntry& entry : ParseMultistatus(listing->readAll(), m_base))
                          if (entry.addressBook && trimmedPath(entry.path) != trimmedPath(m_base.path()))
                              books << entry.path;
                      if (books.isEmpty()) {
                          fail(QStringLiteral("%1 is geen adresboek").arg(shownUrl(m_base)));
                          return;
                      }
                      books.sort();
                      m_base.setPath(books.first());
                      m_base = withSlash(m_base);
                      queryCards();
                  });
         });
}

void DavClient::queryCards() {
    const QByteArray query =
        QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "<C:addressbook-query xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:carddav\">"
                          "<D:prop><D:getetag/><C:address-data/></D:prop></C:addressbook-query>");
    send("REPORT", m_base, query, {{"Depth", "1"}, {"Content-Type", xmlType}}, [this](QNetworkReply* report) {
        if (!check(report, Target::AddressBook))
            return;
        for (const DavEntry& entry : ParseMultistatus(report->readAll(), m_base))
            if (!entry.data.isEmpty())
                m_cards.append(entry.data);
    });
}

void DavClient::publish(const QUrl& url, const QList<CalendarEvent>& events, const PublishOptions& options) {
    start(url);
    m_events = events;
    m_options = options;
    m_stateChanged = false;
    loadState();
    const auto list = [this](QNetworkReply* reply) {
        if (check(reply, Target::Calendar))
            afterListing(ParseMultistatus(reply->readAll(), m_base));
    };
    send("PROPFIND", m_base, propfindBody(), {{"Depth", "1"}, {"Content-Type", xmlType}},
         [this, list](QNetworkReply* reply) {
             if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 404) {
                 list(reply);
                 return;
             }
             // A missing calendar is made; everything we knew about it is gone.
             const QByteArray make =
                 QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                   "<C:mkcalendar xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">"
                                   "<D:set><D:prop><D:displayname>") +
                 m_options.calendarName.toHtmlEscaped().toUtf8() +
                 QByteArrayLiteral("</D:displayname><C:supported-calendar-component-set>"
                                   "<C:comp name=\"VEVENT\"/></C:supported-calendar-component-set>"
                                   "</D:prop></D:set></C:mkcalendar>");
             send("MKCALENDAR", m_base, make, {{"Content-Type", xmlType}}, [this](QNetworkReply* made) {
                 if (!check(made, Target::Calendar))
                     return;
                 m_state.clear();
                 m_stateChanged = true;
                 afterListing({});
             });
         });
}

void DavClient::afterListing(const QList<DavEntry>& entries) {
    const QString self = trimmedPath(m_base.path());
    QHash<QString, QByteArray> onServer; // path -> etag of every object in the calendar
    for (const DavEntry& entry : entries) {
        if (trimmedPath(entry.path) == self) {
            if (!entry.calendar) {
                fail(QStringLiteral("%1 is geen agenda").arg(shownUrl(m_base)));
                return;
            }
        } else if (!entry.collection) {
            onServer.insert(entry.path, entry.etag);
        }
    }

    QSet<QString> current;
    for (const CalendarEvent& event : std::as_const(m_events)) {
        const QUrl href = eventUrl(event.uid);
        current.insert(href.path());
        const auto server = onServer.constFind(href.path());
        const bool exists = server != onServer.constEnd();
        const Sent known = m_state.value(event.uid);
        if (exists && !server->isEmpty() && known.etag == *server && known.hash == event.fingerprint)
            ++m_counts.unchanged;
        else
            putEvent(event, exists ? *server : QByteArray(), exists);
    }

    QSet<QString> knownPaths;
    for (auto it = m_state.begin(); it != m_state.end();) {
        knownPaths.insert(it->path);
        // Events of records that are gone are forgotten once the server lost them too.
        if (!current.contains(it->path) && !onServer.contains(it->path)) {
            it = m_state.erase(it);
            m_stateChanged = true;
        } else {
            ++it;
        }
    }
    for (auto it = onServer.constBegin(); it != onServer.constEnd(); ++it) {
        const QString& path = it.key();
        if (current.contains(path))
            continue;
        if (knownPaths.contains(path)) {
            deleteEvent(path, it.value());
            continue;
        }
        // Not in our memory: ours only when the name is one of our UIDs and the content has our PRODID.
        const QString name = QUrl::fromPercentEncoding(path.section(QLatin1Char('/'), -1).toUtf8());
        if (!name.endsWith(QLatin1String(".ics")) || !IsBroltEventUid(name.chopped(4)) ||
            m_options.prodId.isEmpty())
            continue;
        QUrl url = m_base;
        url.setPath(path);
        const QByteArray etag = it.value();
        send("GET", url, {}, {}, [this, path, etag](QNetworkReply* reply) {
            if (check(reply, Target::Event) && reply->readAll().contains("PRODID:" + m_options.prodId))
                deleteEvent(path, etag);
        });
    }
    m_whenIdle = [this] { fillMissingEtags(); };
}

// Each event is the file "<uid>.ics" in the calendar.
QUrl DavClient::eventUrl(const QString& uid) const {
    return m_base.resolved(
        QUrl(QString::fromUtf8(QUrl::toPercentEncoding(uid, "@")) + QStringLiteral(".ics")));
}

void DavClient::putEvent(const CalendarEvent& event, const QByteArray& serverEtag, bool exists) {
    const QUrl url = eventUrl(event.uid);
    QList<QPair<QByteArray, QByteArray>> headers{{"Content-Type", "text/calendar; charset=utf-8"}};
    if (exists && !serverEtag.isEmpty())
        headers.append(qMakePair(QByteArray("If-Match"), serverEtag));
    else if (!exists)
        headers.append(qMakePair(QByteArray("If-None-Match"), QByteArray("*")));
    const QString uid = event.uid;
    const QByteArray hash = event.fingerprint;
    send("PUT", url, event.calendar, headers, [this, uid, hash, url, exists](QNetworkReply* reply) {
        if (!check(reply, Target::Event))
            return;
        ++(exists ? m_counts.updated : m_counts.created);
        m_state.insert(uid, {url.path(), reply->rawHeader("ETag"), hash});
        m_stateChanged = true;
    });
}

void DavClient::deleteEvent(const QString& path, const QByteArray& etag) {
    QUrl url = m_base;
    url.setPath(path);
    QList<QPair<QByteArray, QByteArray>> headers;
    if (!etag.isEmpty())
        headers.append(qMakePair(QByteArray("If-Match"), etag));
    send("DELETE", url, {}, headers, [this, path](QNetworkReply* reply) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 404 && !check(reply, Target::Event))
            return;
        ++m_counts.deleted;
        for (auto it = m_state.begin(); it != m_state.end();)
            it = it->path == path ? m_state.erase(it) : std::next(it);
        m_stateChanged = true;
    });
}

// A server that does not answer a PUT with its ETag is asked once more, so
// that the next publish can still tell what is unchanged.
void DavClient::fillMissingEtags() {
    const bool missing =
        std::any_of(m_state.cbegin(), m_state.cend(), [](const Sent& sent) { return sent.etag.isEmpty(); });
    if (!missing)
        return;
    send("PROPFIND", m_base, propfindBody(), {{"Depth", "1"}, {"Content-Type", xmlType}},
         [this](QNetworkReply* reply) {
             if (!check(reply, Target::Calendar))
                 return;
             QHash<QString, QByteArray> etags;
             for (const DavEntry& entry : ParseMultistatus(reply->readAll(), m_base))
                 etags.insert(entry.path, entry.etag);
             for (Sent& sent : m_state)
                 if (sent.etag.isEmpty())
                     sent.etag = etags.value(sent.path);
         });
}

void DavClient::loadState() {
    m_state.clear();
    QFile file(m_options.stateFile);
    if (m_options.stateFile.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject events =
        QJsonDocument::fromJson(file.readAll()).object().value(shownUrl(m_base)).toObject();
    for (auto it = events.begin(); it != events.end(); ++it) {
        const QJsonArray sent = it.value().toArray();
        m_state.insert(it.key(), {sent.at(0).toString(), sent.at(1).toString().toUtf8(),
                                  sent.at(2).toString().toUtf8()});
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
        events.insert(it.key(),
                      QJsonArray{it->path, QString::fromUtf8(it->etag), QString::fromUtf8(it->hash)});
    all.insert(shownUrl(m_base), events);
    QSaveFile file(m_options.stateFile);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(all).toJson(QJsonDocument::Compact));
        file.commit();
    }
    m_stateChanged = false;
}

bool FetchAddressBook(const QUrl& url, QByteArray& cards, QString& error) {
    DavClient client;
    client.fetchCards(url);
    const bool ok = client.waitForFinished();
    error = client.errorText();
    cards.clear();
    for (const QByteArray& card : client.cards())
        cards += card + "\r\n";
    return ok;
}

QString PublishStateFile() {
    return UserDataFolder() + QStringLiteral("Agenda.json");
}

bool PublishCalendar(const QUrl& url, const QList<CalendarEvent>& events, DavPublishCounts& counts,
                     QString& error) {
    DavClient client;
    DavClient::PublishOptions options;
    options.stateFile = PublishStateFile();
    client.publish(url, events, options);
    const bool ok = client.waitForFinished();
    error = client.errorText();
    counts = client.counts();
    return ok;
}

QString PublishLine(const DavPublishCounts& counts) {
    return QStringLiteral("%1 nieuw, %2 gewijzigd, %3 ongewijzigd, %4 verwijderd")
        .arg(counts.created)
        .arg(counts.updated)
        .arg(counts.unchanged)
        .arg(counts.deleted);
}
