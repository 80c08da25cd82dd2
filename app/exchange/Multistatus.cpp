#include "exchange/Multistatus.h"

#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>

namespace {

// "a/./b/../c" -> "a/c", on a path already decoded: "%2E%2E" leads nowhere either.
QString withoutDotSegments(const QString& path) {
    QStringList out;
    const QStringList segments = path.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const QString& s = segments[i];
        const bool last = i + 1 == segments.size();
        if (s == QLatin1String(".") || s == QLatin1String("..")) {
            if (s == QLatin1String("..") && out.size() > 1)
                out.removeLast();
            if (last)
                out << QString();
        } else {
            out << s;
        }
    }
    return out.join(QLatin1Char('/'));
}

bool isHttpOk(QStringView status) {
    // "HTTP/1.1 200 OK"
    const QStringList parts = status.toString().simplified().split(QLatin1Char(' '));
    return parts.size() >= 2 && parts[1].size() == 3 && parts[1].startsWith(QLatin1Char('2'));
}

} // namespace

const DavEntry* DavListing::self() const {
    for (const DavEntry& entry : entries)
        if (entry.name.isEmpty())
            return &entry;
    return nullptr;
}

std::optional<QString> DavChildName(const QUrl& collection, const QString& href) {
    const QUrl reference(href.trimmed());
    if (!reference.isValid())
        return std::nullopt;
    const QUrl url = collection.resolved(reference);
    if (!DavSameOrigin(url, collection))
        return std::nullopt;
    const QString path = withoutDotSegments(url.path(QUrl::FullyDecoded));
    QString base = collection.path(QUrl::FullyDecoded);
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    if (path == base || path + QLatin1Char('/') == base)
        return QString();
    if (!path.startsWith(base))
        return std::nullopt;
    QString name = path.mid(base.size());
    if (name.endsWith(QLatin1Char('/')))
        name.chop(1);
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return std::nullopt;
    return name;
}

QByteArray CleanEtag(const QByteArray& etag) {
    const QByteArray t = etag.trimmed();
    const qsizetype open = t.startsWith("W/") ? 2 : 0;
    if (t.size() < open + 2 || t[open] != '"' || !t.endsWith('"'))
        return {};
    for (qsizetype i = open + 1; i < t.size() - 1; ++i) {
        const uchar c = uchar(t[i]);
        if (c < 0x21 || c == '"' || c == 0x7F)
            return {};
    }
    return t;
}

DavListing ParseMultistatus(const QByteArray& xml, const QUrl& collection) {
    DavListing listing;
    QXmlStreamReader reader(xml);
    DavEntry entry;
    std::optional<QString> name; // of the current response; nothing: outside the collection
    bool haveHref = false;
    bool responseOk = true;
    DavEntry found; // the properties of the current propstat, kept when its status is 200
    bool inPropstat = false;
    bool propstatOk = true;
    int depth = 0;
    bool rootSeen = false;
    QUrl* inSet = nullptr; // the property whose href comes next
    int setDepth = 0;
    const QString dav = QStringLiteral("DAV:");
    while (!reader.atEnd()) {
        reader.readNext();
        // No multistatus needs a document type; its entities are a known trick.
        if (reader.isDTD() || reader.isEntityReference())
            return {};
        if (reader.isStartElement()) {
            ++depth;
            const QStringView element = reader.name();
            const bool isDav = reader.namespaceUri() == dav;
            if (depth == 1) {
                if (!isDav || element != u"multistatus")
                    return {};
                rootSeen = true;
            } else if (isDav && element == u"response") {
                entry = DavEntry();
                name.reset();
                haveHref = false;
                responseOk = true;
            } else if (isDav && element == u"propstat") {
                found = DavEntry();
                inPropstat = true;
                propstatOk = true;
            } else if (isDav && element == u"href" && depth == 3 && !haveHref) {
                // The response's own href; properties may hold more.
                haveHref = true;
                name = DavChildName(collection, reader.readElementText());
                --depth;
            } else if (isDav && element == u"href" && inSet) {
                const QUrl href(reader.readElementText().trimmed());
                if (inSet->isEmpty() && href.isValid())
                    *inSet = collection.resolved(href);
                --depth;
            } else if ((isDav && element == u"current-user-principal") ||
                       element == u"addressbook-home-set" || element == u"calendar-home-set") {
                inSet = element == u"addressbook-home-set" ? &found.addressBookHome
                        : element == u"calendar-home-set"  ? &found.calendarHome
                                                           : &found.principal;
                setDepth = depth;
            } else if (isDav && element == u"displayname") {
                found.displayName = reader.readElementText();
                --depth;
            } else if (isDav && element == u"getetag") {
                found.etag = CleanEtag(reader.readElementText().toUtf8());
                --depth;
            } else if (isDav && element == u"collection") {
                found.collection = true;
            } else if (element == u"addressbook") {
                found.addressBook = true;
            } else if (element == u"calendar") {
                found.calendar = true;
            } else if (element == u"address-data" || element == u"calendar-data") {
                found.data = reader.readElementText().toUtf8();
                --depth;
            } else if (isDav && element == u"status") {
                // In a propstat it says whether those properties came; in the
                // response itself, whether the resource is there at all.
                const bool ok = isHttpOk(reader.readElementText());
                --depth;
                (inPropstat ? propstatOk : responseOk) = ok;
            }
            if (reader.hasError())
                return {};
        } else if (reader.isEndElement()) {
            if (inSet && depth == setDepth)
                inSet = nullptr;
            --depth;
            if (reader.namespaceUri() != dav)
                continue;
            if (reader.name() == u"propstat")
                inPropstat = false;
            if (reader.name() == u"propstat" && propstatOk) {
                if (!found.etag.isEmpty())
                    entry.etag = found.etag;
                entry.collection |= found.collection;
                entry.addressBook |= found.addressBook;
                entry.calendar |= found.calendar;
                if (!found.data.isEmpty())
                    entry.data = found.data;
                if (!found.displayName.isEmpty())
                    entry.displayName = found.displayName;
                for (auto [from, to] : {std::pair{&found.principal, &entry.principal},
                                        {&found.addressBookHome, &entry.addressBookHome},
                                        {&found.calendarHome, &entry.calendarHome}})
                    if (to->isEmpty())
                        *to = *from;
            } else if (reader.name() == u"response" && haveHref) {
                if (!name) {
                    ++listing.outside;
                } else if (responseOk) {
                    entry.name = *name;
                    listing.entries.append(entry);
                }
            }
        }
    }
    if (reader.hasError() || !rootSeen)
        return {};
    listing.ok = true;
    return listing;
}

bool IsDavAddress(const QString& text) {
    const qsizetype colon = text.indexOf(QLatin1String("://"));
    if (colon <= 0)
        return false;
    for (qsizetype i = 0; i < colon; ++i) {
        const QChar c = text[i];
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'+' && c != u'-' && c != u'.')
            return false;
    }
    return text[0].isLetter();
}

DavAddress ParseDavAddress(const QString& typed) {
    DavAddress address;
    const QString text = typed.trimmed();
    const qsizetype colon = text.indexOf(QLatin1String("://"));
    // An address typed without its scheme ("anna:geheim@cloud.example.nl")
    // has none: the whole text is the rest.
    const QString scheme = colon > 0 ? text.left(colon).toLower() : QString();
    QString rest = colon > 0 ? text.mid(colon + 3) : text;
    // What the user may see of an address that could not be read: nothing of
    // what stands before an "@", where a user name and password would be.
    const QString shown =
        (colon > 0 ? scheme + QStringLiteral("://") : QString()) + rest.section(QLatin1Char('@'), -1);
    address.shown = shown;
    QString real;
    if (scheme == QLatin1String("http") || scheme == QLatin1String("dav"))
        real = QStringLiteral("http");
    else if (scheme == QLatin1String("https") || scheme == QLatin1String("davs") ||
             scheme == QLatin1String("webcal") || scheme == QLatin1String("webcals") ||
             scheme == QLatin1String("caldav") || scheme == QLatin1String("carddav"))
        real = QStringLiteral("https");
    if (colon <= 0 || real.isEmpty()) {
        address.error = QStringLiteral("Het adres %1 wordt niet begrepen; Brolt leest http://, https://, "
                                       "webcal://, webcals://, caldav://, carddav://, dav:// en davs://.")
                            .arg(shown);
        return address;
    }
    // A password typed into the address may hold what ends the user part
    // early ("@", "/", "?", "#"): the server would be a piece of the password.
    const qsizetype authorityEnd = rest.indexOf(QRegularExpression(QStringLiteral("[/?#]")));
    const QString authority = rest.left(authorityEnd);
    const QUrl url(real + QStringLiteral("://") + rest);
    if (authority.count(QLatin1Char('@')) > 1 || !url.isValid() || url.host().isEmpty()) {
        address.error =
            QStringLiteral(
                "Het adres %1 kan niet worden gelezen. Staat er een wachtwoord in met @, /, ? of #? "
                "Laat het wachtwoord dan weg uit het adres: Brolt neemt het uit BROLT_DAV_PASSWORD, "
                "uit de sleutelbos of vraagt erom.")
                .arg(shown);
        return address;
    }
    address.url = url;
    return address;
}

QUrl DavChildUrl(const QUrl& collection, const QString& name) {
    QUrl url = collection;
    url.setPath(collection.path(QUrl::FullyEncoded) + QString::fromLatin1(QUrl::toPercentEncoding(name, "@")),
                QUrl::TolerantMode);
    return url;
}

bool DavSameOrigin(const QUrl& a, const QUrl& b) {
    const auto port = [](const QUrl& url) {
        return url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
    };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && port(a) == port(b);
}
