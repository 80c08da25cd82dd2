// What a WebDAV server says, on any bytes: the first byte picks the address
// the listing is about, the rest is the multistatus (and, as text, an address
// a user might type).  Whatever the listing names, only the collection and
// its direct children come out, each child's address leads back to the same
// name, every ETag could go into a header, and the principal and homes it
// names are whole addresses.
#include "FuzzKit.h"
#include "exchange/ICalendar.h"
#include "exchange/Multistatus.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    FuzzKit::setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    static const QUrl collections[] = {
        QUrl("http://127.0.0.1:5232/anna/brolt/"),
        QUrl("https://cloud.example.nl/remote.php/dav/calendars/anna%40x.nl/brolt/"), QUrl("http://h/"),
        QUrl("http://h/a%2Fb/c/")};
    const QUrl& collection = collections[data[0] % 4];
    const QByteArray bytes = FuzzKit::bytes(data + 1, size - 1);
    const DavListing listing = ParseMultistatus(bytes, collection);
    if (!listing.ok && (!listing.entries.isEmpty() || listing.outside != 0))
        std::abort();
    for (const DavEntry& entry : listing.entries) {
        if (entry.name.contains(u'/') || entry.name == u"." || entry.name == u"..")
            std::abort();
        if (CleanEtag(entry.etag) != entry.etag)
            std::abort();
        for (const char c : entry.etag)
            if (uchar(c) < 0x20 || c == 0x7F)
                std::abort();
        if (!entry.name.isEmpty()) {
            const QUrl child = DavChildUrl(collection, entry.name);
            if (!DavSameOrigin(child, collection) ||
                DavChildName(collection, child.toString()) != entry.name ||
                !child.path(QUrl::FullyEncoded).startsWith(collection.path(QUrl::FullyEncoded)))
                std::abort();
        }
        CalendarFingerprint(entry.data);
        CalendarObjectUid(entry.data);
        // Where the server says the user's things are: always a whole address,
        // for the client to judge by its server.
        for (const QUrl* href : {&entry.principal, &entry.addressBookHome, &entry.calendarHome})
            if (!href->isEmpty() && href->isRelative())
                std::abort();
    }
    // A typed address: understood, or refused without showing what stood before an "@".
    const QString text = QString::fromUtf8(bytes.left(300));
    if (IsDavAddress(text)) {
        const DavAddress address = ParseDavAddress(text);
        if (address.url.isValid() == !address.error.isEmpty())
            std::abort();
        const QString userInfo = text.section(QLatin1String("://"), 1).section(u'@', 0, -2);
        if (!address.error.isEmpty() && !userInfo.isEmpty() && address.shown.contains(userInfo + u'@'))
            std::abort();
    }
    return 0;
}
