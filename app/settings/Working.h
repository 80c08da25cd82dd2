#pragma once

#include <QString>

// The preferences the program works with, loaded from the store once and then
// read by everyone; the options window fills them and stores them back.
struct WorkingSettings {
    int vooraf = 30;   // days ahead, 1..30
    int achteraf = 10; // days back, 1..10
    bool timerAan = false;
    int duur = 60; // countdown seconds, 1..255
    bool geluidAan = true;
    bool systeemGeluid = true; // else the melody
    QString melodyFile;        // full path
    bool updatesCheck = true;
    bool uitgebreid = false;
    bool logAan = false;
    bool startUp = true;
    bool copyFiles = true;
    QString nameOfFile; // full path of the data file
    QString eMail;
    int sortOrder = 0; // 0 name, 1 date, 2 age
    bool automaticMode = false;
};

WorkingSettings& Working();

// The default data file: the per-user data folder + "Brolt.dat".
QString DefaultNameOfFile();
// Loads every preference from the store into Working(), clamping ranges.
// An empty "Pad voor Melodie" gets the shipped melody, written back at once.
void LoadWorkingSettings();
