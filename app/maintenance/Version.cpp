#include "Version.h"

#include "kit/Store.h"

#include <QStringList>

QString RunningVersionLabel() {
    return QStringLiteral(BROLT_VERSION_LABEL);
}

namespace {

struct VersionParts {
    QString digits;
    QChar letter;
};

VersionParts partsOf(const QString& label) {
    const qsizetype space = label.indexOf(QLatin1Char(' '));
    const QString version = space < 0 ? label : label.mid(space + 1);
    VersionParts parts;
    parts.letter = version.size() == 5 ? version.at(4) : QChar(u' ');
    for (const QChar c : version) {
        if ((c >= u'0' && c <= u'9') || c == u',' || c == u'.')
            parts.digits.append(c);
    }
    return parts;
}

} // namespace

int CompareVersionLabels(const QString& a, const QString& b) {
    const VersionParts pa = partsOf(a);
    const VersionParts pb = partsOf(b);
    const int digits = QString::compare(pa.digits, pb.digits, Qt::CaseSensitive);
    if (digits < 0 || (digits == 0 && pb.letter.unicode() > pa.letter.unicode()))
        return -1;
    if (digits == 0 && pa.letter == pb.letter)
        return 0;
    return 1;
}

VersieUpdate NextVersieValue(const QString& storedValue, const QString& runningLabel) {
    VersieUpdate update;
    update.newValue = runningLabel;
    QString stored = storedValue;
    if (stored.remove(QLatin1Char(' ')).isEmpty())
        return update;
    QStringList words = storedValue.split(QLatin1Char(' '));
    if (!words.last().isEmpty())
        words.append(QString());
    while (words.size() < 3)
        words.append(QString());
    update.storedLabel = words.at(0) + QLatin1Char(' ') + words.at(1);
    if (!words.at(2).trimmed().isEmpty())
        update.newValue = runningLabel + QLatin1Char(' ') + words.at(2);
    return update;
}

QString RegisterRunningVersion() {
    const VersieUpdate update = NextVersieValue(Store::readText(Keys::Versie), RunningVersionLabel());
    Store::writeText(QString::fromLatin1(Keys::Versie.name), update.newValue);
    return update.storedLabel;
}

bool NewsDue(const QString& storedLabel) {
    return CompareVersionLabels(storedLabel, RunningVersionLabel()) == -1;
}
