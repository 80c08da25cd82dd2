#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Handing a prepared message to the user's mail program.  The program never
// sends mail itself: it builds a "mailto:" request and lets the desktop open
// it, or, when no mail program is registered, opens the maker's web mail form.

namespace Mail {
// The desktop hands requests over in a buffer of this many characters, the
// closing zero included: a request never grows longer than MaxRequest - 1.
inline constexpr int MaxRequest = 1000;

enum Result { HandedOver = 0, MailProgramFailed = 1, WebFormFailed = 2 };
enum class Route { MailProgram, WebForm };

// Percent-encodes what would break a request (space, "&", "#", "?", "%",
// non-ASCII, ...); letters, digits and "-._~" stay as they are.
QString EncodePart(const QString& text);
// The memo's lines, each encoded, joined by "%0D%0A" (CR LF).
QString Body(const QStringList& lines);
// "Programma " + program + ", " + detail.
QString Subject(const QString& programName, const QString& detail);

// The requests, cut to fit the desktop's buffer: the body is shortened first,
// never in the middle of an encoded character.
QString MailProgramRequest(const QString& addressee, const QString& programName, const QString& detail,
                           const QStringList& lines);
QString WebFormRequest(const QString& programName, const QString& detail, const QStringList& lines);
// The log viewer's request to the maker: each line followed by CR LF and five spaces.
QString LogRequest(const QString& programName, const QStringList& lines);

// The route for the desktop's answer to "which program handles mailto?":
// none (empty) or the system's placeholder handler means the web form.
Route RouteFor(const QString& handler);

// Asks the desktop which program handles "mailto:" (xdg-mime); empty when none.
QString QueryMailHandler();
// Test seam: replaces the query; an empty function restores it.
void SetMailHandlerQuery(std::function<QString()> query);
} // namespace Mail

// Hands the memo's lines to the mail program (addressed to `addressee`) or to
// the web form; 0 when handed over, 1 when the desktop could not open the
// "mailto:" request, 2 when it could not open the web form.
int HandOffMail(const QStringList& memoLines, const QString& programName, const QString& detail,
                const QString& addressee);
// The same along a route the caller already chose.
int HandOffMail(const QStringList& memoLines, const QString& programName, const QString& detail,
                const QString& addressee, Mail::Route route);
// Opens the log viewer's request; the result is not checked by its caller.
bool HandOffLogMail(const QString& programName, const QStringList& lines);
