#include "kit/Mail.h"

#include "Ui.h"
#include "kit/Maker.h"

#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

namespace Mail {

namespace {

// Punctuation that is harmless inside a request and keeps it readable.
const QByteArray KeepAsIs = QByteArrayLiteral(",.!()'*:;/@");

std::function<QString()>& queryOverride() {
    static std::function<QString()> query;
    return query;
}

// The length of the encoded unit starting at `i`: one plain character, or the
// "%XX" escapes of one whole UTF-8 character.
int unitLength(const QString& encoded, int i) {
    if (encoded.at(i) != QLatin1Char('%') || i + 2 >= encoded.size())
        return 1;
    bool ok = false;
    const int lead = encoded.mid(i + 1, 2).toInt(&ok, 16);
    if (!ok)
        return 1;
    int bytes = 1;
    if ((lead & 0xE0) == 0xC0)
        bytes = 2;
    else if ((lead & 0xF0) == 0xE0)
        bytes = 3;
    else if ((lead & 0xF8) == 0xF0)
        bytes = 4;
    return std::min<int>(3 * bytes, int(encoded.size()) - i);
}

// Cuts an encoded request to at most `limit` characters without splitting an
// escape or a character.
QString cutEncoded(const QString& encoded, int limit) {
    if (encoded.size() <= limit)
        return encoded;
    int end = 0;
    while (end < encoded.size()) {
        const int next = end + unitLength(encoded, end);
        if (next > limit)
            break;
        end = next;
    }
    return encoded.left(end);
}

QString encodeAddress(const QString& address) {
    // No address holds white space; typed spaces would only break the request.
    QString compact = address;
    compact.remove(QRegularExpression(QStringLiteral("\\s")));
    return QString::fromLatin1(QUrl::toPercentEncoding(compact, QByteArrayLiteral("@,+")));
}

} // namespace

QString EncodePart(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text, KeepAsIs));
}

QString Body(const QStringList& lines) {
    QString body;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            body += QStringLiteral("%0D%0A");
        body += EncodePart(lines.at(i));
    }
    return body;
}

QString Subject(const QString& programName, const QString& detail) {
    return QStringLiteral("Programma ") + programName + QStringLiteral(", ") + detail;
}

QString MailProgramRequest(const QString& addressee, const QString& programName, const QString& detail,
                           const QStringList& lines) {
    const QString request = QStringLiteral("mailto:") + encodeAddress(addressee) +
                            QStringLiteral("?Subject=") + EncodePart(Subject(programName, detail)) +
                            QStringLiteral("&Body=") + Body(lines);
    return cutEncoded(request, MaxRequest - 1);
}

QString WebFormRequest(const QString& programName, const QString& detail, const QStringList& lines) {
    const QString request =
        QStringLiteral("https://") + Maker::ServerHost() + QStringLiteral("/mailform_n_php.php?ProgNam=") +
        EncodePart(programName + QStringLiteral(", ") + detail) + QStringLiteral("&Contents=") + Body(lines);
    return cutEncoded(request, MaxRequest - 1);
}

QString LogRequest(const QString& programName, const QStringList& lines) {
    QString body;
    for (const QString& line : lines)
        body += EncodePart(line) + QStringLiteral("%0D%0A%20%20%20%20%20");
    const QString request =
        QStringLiteral("mailto:") + encodeAddress(Maker::SupportAddress()) + QStringLiteral("?subject=") +
        EncodePart(QStringLiteral("Logbestand ") + programName) + QStringLiteral("&body=") + body;
    return cutEncoded(request, MaxRequest - 1);
}

Route RouteFor(const QString& handler) {
    const QString command = handler.trimmed();
    if (command.isEmpty() || command.contains(QLatin1String("MailToProtocolHandler")))
        return Route::WebForm;
    return Route::MailProgram;
}

QString QueryMailHandler() {
    if (queryOverride())
        return queryOverride()();
    QProcess process;
    process.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                               QStringLiteral("x-scheme-handler/mailto")});
    if (!process.waitForStarted(3000))
        return {};
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

void SetMailHandlerQuery(std::function<QString()> query) {
    queryOverride() = std::move(query);
}

} // namespace Mail

int HandOffMail(const QStringList& memoLines, const QString& programName, const QString& detail,
                const QString& addressee) {
    return HandOffMail(memoLines, programName, detail, addressee, Mail::RouteFor(Mail::QueryMailHandler()));
}

int HandOffMail(const QStringList& memoLines, const QString& programName, const QString& detail,
                const QString& addressee, Mail::Route route) {
    if (route == Mail::Route::MailProgram)
        return Ui::instance().openUrl(Mail::MailProgramRequest(addressee, programName, detail, memoLines))
                   ? Mail::HandedOver
                   : Mail::MailProgramFailed;
    return Ui::instance().openUrl(Mail::WebFormRequest(programName, detail, memoLines)) ? Mail::HandedOver
                                                                                        : Mail::WebFormFailed;
}

bool HandOffLogMail(const QString& programName, const QStringList& lines) {
    return Ui::instance().openUrl(Mail::LogRequest(programName, lines));
}
