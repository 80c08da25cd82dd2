#include "records/NotifyText.h"

#include "records/Reminders.h"

#include <QFileInfo>

namespace {
// The marker the composition puts behind the line whose picture is shown.
const QString pictureMarker = QStringLiteral(" =>");

QString plainSentence(const QString& text) {
    QString s = text.endsWith(pictureMarker) ? text.chopped(pictureMarker.size()) : text;
    return s.trimmed();
}

bool usablePicture(const QString& name, const QString& path) {
    if (name.trimmed().isEmpty() || name.compare(QLatin1String("Blanc.jpg"), Qt::CaseInsensitive) == 0)
        return false;
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}
} // namespace

DesktopNote DueNote(const Reminders& reminders, const QString& dataFolder) {
    DesktopNote note;
    bool today = false, tomorrow = false;
    for (const ReminderLine& line : reminders.lines) {
        if (line.dayOffset != 0 && line.dayOffset != 1)
            continue;
        const QString sentence = plainSentence(line.text);
        if (sentence.isEmpty())
            continue;
        (line.dayOffset == 0 ? today : tomorrow) = true;
        note.lines << sentence;
        const QString name = line.picture.trimmed();
        if (note.picture.isEmpty() && usablePicture(name, dataFolder + name))
            note.picture = dataFolder + name;
    }
    if (today && tomorrow)
        note.summary = QStringLiteral("Vandaag en morgen in Brolt");
    else if (today)
        note.summary = QStringLiteral("Vandaag in Brolt");
    else if (tomorrow)
        note.summary = QStringLiteral("Morgen in Brolt");
    return note;
}

QString NoteBody(const DesktopNote& note, bool markup) {
    QStringList lines = note.lines;
    if (markup)
        for (QString& line : lines)
            line = line.toHtmlEscaped();
    return lines.join(u'\n');
}
