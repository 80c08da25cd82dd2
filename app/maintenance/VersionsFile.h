#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The rules of the update check that need no window and no network: where the
// maker's server is, what the versions file says, whether it advises an
// update, how the ping answer reads and what the installer is called.
//
// The versions file holds one line per program, ended by CR LF:
//   Brolt,brolt261.exe,a,1.234,...
// field 1 the installer's file name (its digits before the first "." are the
// newest version's), field 2 the version letter, field 3 the size in kilobytes.
namespace Versions {

enum Result {
    UpToDate = 0,
    NoReply = 1,
    FileTooSmall = 2,
    NameNotFound = 3,
    UpdateAdvised = 4,
    PingTimeout = 5,
};

// "https://" + the maker's web server (Maker::ServerHost) + "/", or the
// environment's BROLT_UPDATE_URL (ending in "/").
QString BaseUrl();
// The host of the base URL: the one that is pinged and named in the time-out line.
QString ServerHost();

// "versie 2.60e" -> "260": the label after its first ".", numbers only, with
// the part before it in front ("2" + "60e" -> "260").  Empty without a ".".
QString CurrentDigits(const QString& versionLabel);
// The label's last character when it is "a".."z", else 0 (no letter).
ushort CurrentLetter(const QString& versionLabel);

// The line of `programName` from `reply`: program name + "," up to the next CR
// (or the end).  Empty when the entry is missing or nothing follows the ",".
QString EntryLine(const QString& reply, const QString& programName);
// Splits at ",": two adjacent commas give an empty field, a trailing comma none.
QStringList SplitFields(const QString& line);

// What one versions file says about one program, compared with the running version.
struct Outcome {
    Result result = UpToDate;
    QString downloadName;  // field 1, when the entry was found
    QString latestVersion; // "2.61a"
    int sizeKb = 0;        // field 3
};
// The whole decision after the versions file arrived.  `reply` is what the
// fetch gave: "1" (nothing), "2" (too short) or the whole file.
Outcome Evaluate(const QString& reply, const QString& programName, const QString& versionLabel);
// Byte-wise text order of the digits, then the letters (none counts as 0).
bool UpdateIsNewer(const QString& latestDigits, ushort latestLetter, const QString& currentDigits,
                   ushort currentLetter);
// "261" and 'a' -> "2.61a".
QString LatestVersionText(const QString& latestDigits, ushort latestLetter);

// What the fetch hands over: "1" when no attempt gave text, "2" when the text
// is "Default.htm" or shorter than 50 characters, otherwise the text.
QString ReplyFromText(const QString& text);
// The body as the fetch reads it: 2048-byte chunks, each kept up to its first zero byte.
QString TextFromBody(const QByteArray& body);

// The reply time in milliseconds from ping's output (at least 1 when a reply
// came), 0 when the reply line has no readable time, -2 when no reply came.
int ParsePingOutput(const QString& output);

// The installer's name without digits and extension, capitalised:
// "brolt261.exe" -> "Brolt", "vxbrolt261.exe" -> "vxBrolt".
QString DisplayName(const QString& downloadName);
// A download name is used as a file name in two folders and as the last part
// of a URL: only a plain name of printable characters, no folder parts.
bool IsPlainFileName(const QString& name);

} // namespace Versions
