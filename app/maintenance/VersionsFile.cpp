#include "maintenance/VersionsFile.h"

#include "kit/Maker.h"
#include "kit/Support.h"

#include <QUrl>

#include <cmath>

namespace Versions {

namespace {
constexpr int shortestFile = 50;
constexpr int readChunk = 2048;

// A name without "." is its own stem.
QString stem(const QString& fileName) {
    const qsizetype dot = fileName.indexOf(u'.');
    return dot < 0 ? fileName : fileName.left(dot);
}
} // namespace

QString BaseUrl() {
    QString url = qEnvironmentVariable("BROLT_UPDATE_URL").trimmed();
    if (url.isEmpty())
        return QStringLiteral("https://") + Maker::ServerHost() + u'/';
    if (!url.endsWith(u'/'))
        url += u'/';
    return url;
}

QString ServerHost() {
    const QString host = QUrl(BaseUrl()).host();
    return host.isEmpty() ? Maker::ServerHost() : host;
}

QString CurrentDigits(const QString& versionLabel) {
    const qsizetype dot = versionLabel.indexOf(u'.');
    if (dot < 0)
        return {};
    return KeepNumberChars(versionLabel.left(dot) + versionLabel.mid(dot + 1));
}

ushort CurrentLetter(const QString& versionLabel) {
    if (versionLabel.isEmpty())
        return 0;
    const QChar last = versionLabel.back();
    return last >= u'a' && last <= u'z' ? last.unicode() : 0;
}

QString EntryLine(const QString& reply, const QString& programName) {
    const QString key = programName + u',';
    const qsizetype at = reply.indexOf(key);
    if (at < 0 || at + key.size() >= reply.size())
        return {};
    const qsizetype start = at + key.size();
    const qsizetype cr = reply.indexOf(u'\r', start);
    return key + reply.mid(start, cr < 0 ? -1 : cr - start);
}

QStringList SplitFields(const QString& line) {
    QStringList fields;
    QString rest = line;
    while (!rest.isEmpty()) {
        const qsizetype comma = rest.indexOf(u',');
        if (comma == 0)
            fields << QString();
        else
            fields << (comma < 0 ? rest : rest.left(comma));
        if (comma < 0)
            break;
        rest = rest.mid(comma + 1);
    }
    return fields;
}

bool UpdateIsNewer(const QString& latestDigits, ushort latestLetter, const QString& currentDigits,
                   ushort currentLetter) {
    // Byte-wise text order on purpose: the server and the program have always
    // agreed on three digits, and "99" sorts after "100" as it always did.
    if (latestDigits != currentDigits)
        return QString::compare(latestDigits, currentDigits, Qt::CaseSensitive) > 0;
    return latestLetter > currentLetter;
}

QString LatestVersionText(const QString& latestDigits, ushort latestLetter) {
    QString text = latestDigits.left(1) + u'.' + latestDigits.mid(1, 2);
    if (latestLetter != 0)
        text += QChar(latestLetter);
    return text;
}

Outcome Evaluate(const QString& reply, const QString& programName, const QString& versionLabel) {
    Outcome outcome;
    if (reply.size() <= 1) {
        outcome.result = reply == QLatin1String("2") ? FileTooSmall : NoReply;
        return outcome;
    }
    const QString line = EntryLine(reply, programName);
    if (line.isEmpty()) {
        outcome.result = NameNotFound;
        return outcome;
    }
    const QStringList fields = SplitFields(line);
    // A line that is cut short or a size that is no number is a broken file,
    // not an advice: nothing from it is used.
    if (fields.size() < 4 || !IsPlainFileName(fields[1])) {
        outcome.result = FileTooSmall;
        return outcome;
    }
    QString size = fields[3];
    const qsizetype dot = size.indexOf(u'.');
    if (dot >= 0)
        size.remove(dot, 1);
    bool number = false;
    const int sizeKb = size.toInt(&number);
    if (!number || sizeKb < 0) {
        outcome.result = FileTooSmall;
        return outcome;
    }

    outcome.downloadName = fields[1];
    outcome.sizeKb = sizeKb;
    const QString latestDigits = KeepNumberChars(stem(fields[1]));
    const ushort latestLetter = fields[2].isEmpty() ? 0 : fields[2].front().unicode();
    const QString currentDigits = CurrentDigits(versionLabel);
    const ushort currentLetter = CurrentLetter(versionLabel);
    outcome.result =
        UpdateIsNewer(latestDigits, latestLetter, currentDigits, currentLetter) ? UpdateAdvised : UpToDate;
    outcome.latestVersion = LatestVersionText(latestDigits, latestLetter);
    return outcome;
}

QString ReplyFromText(const QString& text) {
    if (text.isEmpty())
        return QStringLiteral("1");
    if (text == QLatin1String("Default.htm") || text.size() < shortestFile)
        return QStringLiteral("2");
    return text;
}

QString TextFromBody(const QByteArray& body) {
    QByteArray kept;
    kept.reserve(body.size());
    for (qsizetype at = 0; at < body.size(); at += readChunk) {
        const QByteArray chunk = body.mid(at, readChunk);
        const qsizetype zero = chunk.indexOf('\0');
        kept += zero < 0 ? chunk : chunk.left(zero);
    }
    // One character per byte, so that comparing texts compares bytes.
    return QString::fromLatin1(kept);
}

int ParsePingOutput(const QString& output) {
    const QStringList lines = output.split(u'\n');
    for (const QString& line : lines) {
        const qsizetype time = line.indexOf(QLatin1String("time="));
        if (time < 0 || line.contains(QLatin1String("Time-out")))
            continue;
        QString value = line.mid(time + 5);
        const qsizetype ms = value.indexOf(QLatin1String("ms"));
        if (ms < 0)
            return 0;
        value = value.left(ms).trimmed();
        bool number = false;
        const double milliseconds = value.toDouble(&number);
        if (!number || !std::isfinite(milliseconds) || milliseconds < 0 || milliseconds > 1e6)
            return 0;
        // A reply under a millisecond is still a reply.
        return qMax(1, int(std::ceil(milliseconds)));
    }
    return -2;
}

QString DisplayName(const QString& downloadName) {
    QString name = RemoveDigits(stem(downloadName));
    if (name.startsWith(QLatin1String("vx"))) {
        if (name.size() > 2)
            name[2] = name[2].toUpper();
    } else if (!name.isEmpty()) {
        name[0] = name[0].toUpper();
    }
    return name;
}

bool IsPlainFileName(const QString& name) {
    if (name.isEmpty() || name.size() > 255 || name.startsWith(u'.'))
        return false;
    for (const QChar c : name) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F || c == u'/' || c == u'\\' || c == u'%' || c == u'?' ||
            c == u'#')
            return false;
    }
    return true;
}

} // namespace Versions
