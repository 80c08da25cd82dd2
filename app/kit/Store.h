#pragma once

#include <QHash>
#include <QString>

#include <optional>

// One key of the settings store with its default.  Every key the program
// uses is declared once below; nobody repeats a default.
struct StoreKey {
    const char* name;
    const char* defaultValue; // the stored text form: "1"/"0" for booleans
};

namespace Keys {
// Preferences.
inline constexpr StoreKey NameOfFile{"NameOfFile", ""}; // default computed: UserDataFolder + "Brolt.dat"
inline constexpr StoreKey CopyFiles{"CopyFiles", "1"};
inline constexpr StoreKey StartUpCheckRead{"StartUpCheck Aan", "1"};
inline constexpr StoreKey StartUpCheckWrite{"StartupCheck Aan", "1"};
inline constexpr StoreKey StandbyCheck{"StandbyCheck Aan", ""};
inline constexpr StoreKey TimerAan{"Timer Aan", "0"};
inline constexpr StoreKey Duur{"Duur", "60"};
inline constexpr StoreKey GeluidAan{"Geluid Aan", "1"};
inline constexpr StoreKey SysteemAan{"Systeem Aan", "1"};
inline constexpr StoreKey MelodieAan{"Melodie Aan", "0"};
inline constexpr StoreKey PadVoorMelodie{"Pad voor Melodie", ""};
inline constexpr StoreKey UpdatesCheck{"UpdatesCheck Aan", "1"};
inline constexpr StoreKey Achteraf{"Achteraf", "10"};
inline constexpr StoreKey Vooraf{"Vooraf", "30"};
inline constexpr StoreKey EMail{"e-mail", ""};
inline constexpr StoreKey UitgebreidCheck{"UitgebreidCheck Aan", "0"};
inline constexpr StoreKey Year1900{"1900", "1"};
inline constexpr StoreKey LogAan{"Log Aan", "0"};
inline constexpr StoreKey MeldingenAan{"Meldingen Aan", "1"};
inline constexpr StoreKey ShortDate{"ShortDate", "0"};
inline constexpr StoreKey SorteerOp{"Sorteer op", "0"};
inline constexpr StoreKey Versie{"Versie", ""};
inline constexpr StoreKey BackupPathRead{"Backup Path", ""};
inline constexpr StoreKey BackupPathWrite{"BackUp Path", ""};
// Address book in, calendar out: address and user name only; the password is in the secret store.
inline constexpr StoreKey AdresboekAdres{"Adresboek Adres", ""};
inline constexpr StoreKey AdresboekGebruiker{"Adresboek Gebruiker", ""};
inline constexpr StoreKey AgendaAdres{"Agenda Adres", ""};
inline constexpr StoreKey AgendaGebruiker{"Agenda Gebruiker", ""};
// Days before an event that the calendar's second alarm goes off, 0..60 (0: on the day only).
inline constexpr StoreKey AgendaVooraf{"Agenda Vooraf", "7"};
// Every morning the address book in and the calendar out, without a click.
inline constexpr StoreKey UitwisselenAan{"Uitwisselen Aan", "0"};
// The day (yyyy-mm-dd) of the last exchange that succeeded: one a day is enough.
inline constexpr StoreKey UitgewisseldOp{"Uitgewisseld Op", ""};

// Window geometry.
inline constexpr StoreKey Top{"Top", "100"};
inline constexpr StoreKey Left{"Left", "100"};
inline constexpr StoreKey Height{"Height", "430"};
inline constexpr StoreKey Width{"Width", "1000"};
inline constexpr StoreKey OptionsTop{"OptionsTop", "100"};
inline constexpr StoreKey OptionsLeft{"OptionsLeft", "100"};
inline constexpr StoreKey BrowseLargeTop{"Browse Large Top", "200"};
inline constexpr StoreKey BrowseLargeLeft{"Browse Large Left", "500"};
inline constexpr StoreKey BrowseLargeWidth{"Browse Large Width", "550"};
inline constexpr StoreKey BrowseLargeHeight{"Browse Large Height", "550"};
inline constexpr StoreKey BrowseSplitter{"Browse Splitter", "200"};
inline constexpr StoreKey BrowseSmallTop{"Browse Small Top", "200"};
inline constexpr StoreKey BrowseSmallLeft{"Browse Small Left", "600"};
inline constexpr StoreKey BrowseSmallWidth{"Browse Small Width", "350"};
inline constexpr StoreKey BrowseSmallHeight{"Browse Small Height", "550"};
inline constexpr StoreKey ListsHeight{"ListsHeight", "800"};
inline constexpr StoreKey ListsWidth{"ListsWidth", "700"};
inline constexpr StoreKey PropsTop{"PropsTop", "100"};
inline constexpr StoreKey PropsLeft{"PropsLeft", "100"};
inline constexpr StoreKey PropsHeight{"PropsHeight", "572"};
inline constexpr StoreKey PropsWidth{"PropsWidth", "732"};
inline constexpr StoreKey EditHeight{"EditHeight", "479"};
inline constexpr StoreKey EditWidth{"EditWidth", "965"};
inline constexpr StoreKey ColWidths[5] = {
    {"ColWidths_0", "250"}, {"ColWidths_1", "100"}, {"ColWidths_2", "80"},
    {"ColWidths_3", "70"},  {"ColWidths_4", "150"},
};
} // namespace Keys

// The per-user key-value store: QSettings (native format, user scope,
// organisation "Brolt", group "Defaults").  Every value is stored as text;
// value names are matched without regard to case, so "StartUpCheck Aan" and
// "StartupCheck Aan" are one value.  Each call opens the store afresh.
// Reads never fail and never write; writes that fail are not reported.
namespace Store {
QString readText(const QString& name, const QString& defaultValue);
int readInteger(const QString& name, int defaultValue);
bool readBool(const QString& name, bool defaultValue);
void writeText(const QString& name, const QString& value);
void writeInteger(const QString& name, int value);
void writeBool(const QString& name, bool value);
void remove(const QString& name);
bool contains(const QString& name);

// The same, with the default from the key table.
QString readText(const StoreKey& key);
int readInteger(const StoreKey& key);
bool readBool(const StoreKey& key);
} // namespace Store

// Several reads from one look at the store, by the rules above: a set-up that
// reads a dozen values opens the store once instead of a dozen times.
class StoreSnapshot {
public:
    StoreSnapshot();
    QString readText(const QString& name, const QString& defaultValue) const;
    int readInteger(const QString& name, int defaultValue) const;
    bool readBool(const QString& name, bool defaultValue) const;
    QString readText(const StoreKey& key) const;
    int readInteger(const StoreKey& key) const;
    bool readBool(const StoreKey& key) const;

private:
    bool find(const QString& name, QString& value) const;
    // By case-folded name: the value of the first stored spelling, or no
    // value when that one holds no plain text.
    QHash<QString, std::optional<QString>> m_values;
};
