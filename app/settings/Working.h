#pragma once

#include <QString>

// The preferences the program works with, loaded from the store once and then
// read by everyone; the options window fills them (ReadOptions/PasToe) and
// stores them back (WriteOptions).
struct WorkingSettings {
    int vooraf = 30;   // days ahead, 1..30
    int achteraf = 10; // days back, 1..10
    bool timerAan = false;
    int duur = 60; // countdown seconds, 1..255
    bool geluidAan = true;
    bool systeemGeluid = true;  // the system sound; otherwise the melody
    bool melodieGeluid = false; // the melody radio button
    QString melodyFile;         // full path
    bool updatesCheck = true;
    bool uitgebreid = false;
    bool logAan = false;
    bool meldingenAan = true; // a desktop notification when something is due today or tomorrow
    int agendaVooraf = 7;     // days before an event of the calendar's second alarm, 0..60
    bool startUp = true;
    bool copyFiles = true;
    QString nameOfFile; // full path of the data file: dataFolder + fileName
    QString dataFolder; // ends in "/"
    QString fileName = QStringLiteral("Brolt.dat");
    QString extension = QStringLiteral(".dat");
    QString eMail;
    int dateNotation = 0; // 0 year-month-day, 1 month-day-year, 2 day-month-year
    int sortOrder = 0;    // 0 name, 1 date, 2 age
    bool automaticMode = false;
};

WorkingSettings& Working();

// The default data file: the per-user data folder + "Brolt.dat".
QString DefaultNameOfFile();

// The preferences as the store holds them, read in the order the options
// window reads them.  Numbers stay text, as the window's fields show them.
struct StoredOptions {
    QString nameOfFile;
    bool copyFiles = true;
    bool startUp = true;
    bool timerAan = false;
    QString duur;
    bool geluidAan = true;
    bool systeemAan = true;
    bool melodieAan = false;
    QString melodyFile; // expanded to a full path
    bool updatesCheck = true;
    QString achteraf;
    QString vooraf;
    QString eMail;
    bool uitgebreid = false;
    bool logAan = false;
    bool meldingenAan = true;
    QString agendaVooraf;
    bool uitwisselenAan = false;
};
// Reads every preference.  An empty "Pad voor Melodie" becomes the shipped
// melody, written back at once; a bare melody name lies in the program folder.
StoredOptions ReadStoredOptions();

// A number field's text as a whole number, spaces anywhere ignored ("1 2" is 12).
bool ParseOptionNumber(const QString& text, int& value);

// The data file path split as the program uses it: an empty extension becomes
// ".dat"; a file name longer than 15 characters is dropped and an empty one
// becomes "Brolt.dat"; an empty folder becomes the per-user data folder.
struct DataFileParts {
    QString folder; // ends in "/"
    QString fileName;
    QString extension;
};
DataFileParts SplitDataFilePath(const QString& path);

// Loads every preference from the store into Working(), numbers outside
// their ranges brought inside them.  For runs without windows (Brolt --list);
// the options window loads them through its controls instead.
void LoadWorkingSettings();
