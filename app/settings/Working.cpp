#include "settings/Working.h"

#include "exchange/ICalendar.h"
#include "kit/Store.h"
#include "kit/Support.h"

#include <QDir>

WorkingSettings& Working() {
    static WorkingSettings settings;
    return settings;
}

QString DefaultNameOfFile() {
    return UserDataFolder() + QStringLiteral("Brolt.dat");
}

bool ParseOptionNumber(const QString& text, int& value) {
    const QString digits = RemoveSpaces(text);
    if (digits.isEmpty())
        return false;
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (ok)
        value = n;
    return ok;
}

StoredOptions ReadStoredOptions() {
    StoredOptions s;
    const StoreSnapshot store;
    s.nameOfFile = store.readText(Keys::NameOfFile.name, DefaultNameOfFile());
    s.copyFiles = store.readBool(Keys::CopyFiles);
    // Read twice, the second time with the first result as its default: one value either way.
    s.startUp = store.readBool(Keys::StartUpCheckRead);
    s.startUp = store.readBool(Keys::StartUpCheckRead.name, s.startUp);
    s.timerAan = store.readBool(Keys::TimerAan);
    s.duur = store.readText(Keys::Duur);
    s.geluidAan = store.readBool(Keys::GeluidAan);
    s.systeemAan = store.readBool(Keys::SysteemAan);
    s.melodieAan = store.readBool(Keys::MelodieAan);
    QString melody = store.readText(Keys::PadVoorMelodie);
    if (melody.isEmpty()) {
        melody = QStringLiteral("Happy Birthday Klarvo Style.mp3");
        Store::writeText(Keys::PadVoorMelodie.name, melody);
    }
    // A bare name means the shipped melody beside the program.
    s.melodyFile = QDir::isAbsolutePath(melody) ? melody : ProgramFolder() + melody;
    s.updatesCheck = store.readBool(Keys::UpdatesCheck);
    s.achteraf = store.readText(Keys::Achteraf);
    s.vooraf = store.readText(Keys::Vooraf);
    s.eMail = store.readText(Keys::EMail);
    s.uitgebreid = store.readBool(Keys::UitgebreidCheck);
    store.readBool(Keys::Year1900); // a legacy value, read and ignored
    s.logAan = store.readBool(Keys::LogAan);
    s.meldingenAan = store.readBool(Keys::MeldingenAan);
    s.agendaVooraf = store.readText(Keys::AgendaVooraf);
    s.uitwisselenAan = store.readBool(Keys::UitwisselenAan);
    return s;
}

DataFileParts SplitDataFilePath(const QString& path) {
    DataFileParts parts;
    const qsizetype slash = path.lastIndexOf(u'/');
    parts.folder = slash < 0 ? QString() : path.left(slash + 1);
    parts.fileName = path.mid(slash + 1);
    const qsizetype dot = parts.fileName.lastIndexOf(u'.');
    parts.extension = dot < 0 ? QString() : parts.fileName.mid(dot);
    if (parts.extension.isEmpty())
        parts.extension = QStringLiteral(".dat");
    if (parts.fileName.size() > 15)
        parts.fileName.clear();
    if (parts.fileName.isEmpty())
        parts.fileName = QStringLiteral("Brolt.dat");
    if (parts.folder.isEmpty())
        parts.folder = UserDataFolder();
    return parts;
}

namespace {
int numberInRange(const QString& text, int fallback, int low, int high) {
    int n = fallback;
    return ParseOptionNumber(text, n) ? qBound(low, n, high) : fallback;
}
} // namespace

void LoadWorkingSettings() {
    const StoredOptions s = ReadStoredOptions();
    WorkingSettings& w = Working();
    const DataFileParts parts = SplitDataFilePath(s.nameOfFile);
    w.dataFolder = parts.folder;
    w.fileName = parts.fileName;
    w.extension = parts.extension;
    w.nameOfFile = parts.folder + parts.fileName;
    w.copyFiles = s.copyFiles;
    w.startUp = s.startUp;
    w.timerAan = s.timerAan;
    w.duur = numberInRange(s.duur, 60, 1, 255);
    w.geluidAan = s.geluidAan;
    // Both radio buttons stored on: the melody wins, as it is applied second.
    w.melodieGeluid = s.melodieAan;
    w.systeemGeluid = s.systeemAan && !s.melodieAan;
    w.melodyFile = s.melodyFile;
    w.updatesCheck = s.updatesCheck;
    w.achteraf = numberInRange(s.achteraf, 10, 1, 10);
    w.vooraf = numberInRange(s.vooraf, 30, 1, 30);
    w.eMail = s.eMail;
    w.uitgebreid = s.uitgebreid;
    w.logAan = s.logAan;
    w.meldingenAan = s.meldingenAan;
    w.agendaVooraf = numberInRange(s.agendaVooraf, 7, 0, MaxAlarmDays);
}
