#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// What a WebDAV server says, read without trusting it: the listing of a
// collection, the names in it, the ETags it gives, and the addresses users
// type for such servers.  Pure text handling; the client is in Dav.h.

// One <response> of a WebDAV multistatus about the collection itself or one
// of its direct children, with the properties that came back as 200.
struct DavEntry {
    QString name;    // the child's name, decoded; empty for the collection itself
    QByteArray etag; // well-formed (see CleanEtag), else empty
    bool collection = false;
    bool addressBook = false;
    bool calendar = false;
    QByteArray data; // address-data or calendar-data
    QString displayName;
    // Where the server says the user's things are (the first href of each),
    // resolved against the listing's collection; on any server, as given.
    QUrl principal;       // current-user-principal
    QUrl addressBookHome; // addressbook-home-set
    QUrl calendarHome;    // calendar-home-set
};
struct DavListing {
    bool ok = false;         // false: not a well-formed multistatus (or one with a DTD)
    QList<DavEntry> entries; // the collection itself and its direct children
    int outside = 0;         // responses about anything else, ignored
    const DavEntry* self() const;
};
// Reads a multistatus about `collection` (an address ending in "/").  Every
// href is resolved against it, percent-decoding and dot segments included;
// only the collection and its direct children on the same server are kept.
DavListing ParseMultistatus(const QByteArray& xml, const QUrl& collection);
// The decoded name of the direct child of `collection` that `href` names; an
// empty name for the collection itself; nothing for any other resource.
std::optional<QString> DavChildName(const QUrl& collection, const QString& href);
// The address of the child `name` of `collection` (which ends in "/").
QUrl DavChildUrl(const QUrl& collection, const QString& name);
// Same scheme, host and port.
bool DavSameOrigin(const QUrl& a, const QUrl& b);
// An ETag as it may go back to the server in a header: `"..."` or `W/"..."`
// without control characters; anything else gives an empty one (no ETag).
QByteArray CleanEtag(const QByteArray& etag);

// An address as typed: http:// and https://, and the forms calendar programs
// use for the same servers (webcal://, webcals://, caldav://, carddav://,
// davs:// are https; dav:// is http).  `error` (Dutch, never showing a
// password) when it is no such address or cannot be read.
struct DavAddress {
    QUrl url;
    QString error;
    QString shown; // the address as typed, without anything that may be a user name or password
};
DavAddress ParseDavAddress(const QString& text);
// Whether `text` is meant as a server address ("scheme://..."), not a file.
bool IsDavAddress(const QString& text);
