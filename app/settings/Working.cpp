#include "settings/Working.h"

#include "kit/Support.h"
#include "settings/Store.h"

#include <QDir>

WorkingSettings& Working() {
    static WorkingSettings settings;
    return settings;
}

QString DefaultNameOfFile() {
    return UserDataFolder() + QStringLiteral("Brolt.dat");
}

void LoadWorkingSettings() {
    WorkingSettings& w = Working();
    w.nameOfFile = Store::readText(Keys::NameOfFile.name, DefaultNameOfFile());
    w.copyFiles = Store::readBool(Keys::CopyFiles);
    w.startUp = Store::readBool(Keys::StartUpCheckRead);
    w.timerAan = Store::readBool(Keys::TimerAan);
    bool ok = false;
    const int duur = Store::readText(Keys::Duur).toInt(&ok);
    w.duur = ok ? qBound(1, duur, 255) : 60;
    w.geluidAan = Store::readBool(Keys::GeluidAan);
    // Both radio buttons stored on: the melody wins, as it is applied second.
    w.systeemGeluid = Store::readBool(Keys::SysteemAan) && !Store::readBool(Keys::MelodieAan);
    QString melody = Store::readText(Keys::PadVoorMelodie);
    if (melody.isEmpty()) {
        melody = QStringLiteral("Happy Birthday Klarvo Style.mp3");
        Store::writeText(Keys::PadVoorMelodie.name, melody);
    }
    // A bare name means the shipped melody beside the program.
    w.melodyFile = QDir::isAbsolutePath(melody) ? melody : ProgramFolder() + melody;
    w.updatesCheck = Store::readBool(Keys::UpdatesCheck);
    const int achteraf = Store::readText(Keys::Achteraf).toInt(&ok);
    w.achteraf = ok ? qBound(1, achteraf, 10) : 10;
    const int vooraf = Store::readText(Keys::Vooraf).toInt(&ok);
    w.vooraf = ok ? qBound(1, vooraf, 30) : 30;
    w.eMail = Store::readText(Keys::EMail);
    w.uitgebreid = Store::readBool(Keys::UitgebreidCheck);
    w.logAan = Store::readBool(Keys::LogAan);
}
