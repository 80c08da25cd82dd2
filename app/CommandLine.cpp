#include "CommandLine.h"

#include <cstdio>

namespace {
struct KnownOption {
    QLatin1StringView name;
    bool takesValue;
};

// Every option the program understands.  A new one is added here and nowhere
// else to be accepted; what it does is up to the mode that reads it.
constexpr KnownOption knownOptions[] = {
    {QLatin1StringView("--list"), false},      {QLatin1StringView("--date"), true},
    {QLatin1StringView("--file"), true},       {QLatin1StringView("--import"), true},
    {QLatin1StringView("--export-ics"), true}, {QLatin1StringView("--user"), true},
    {QLatin1StringView("--help"), false},      {QLatin1StringView("-h"), false},
    {QLatin1StringView("--version"), false},
};

const KnownOption* find(const QString& argument) {
    for (const KnownOption& option : knownOptions)
        if (argument == option.name)
            return &option;
    return nullptr;
}
} // namespace

QString CommandLine::value(const QString& option) const {
    const qsizetype at = options.lastIndexOf(option);
    return at < 0 ? QString() : values[at];
}

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine line;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!argument.startsWith(u'-')) {
            line.positional << argument;
            continue;
        }
        const KnownOption* option = find(argument);
        if (!option) {
            line.ok = false;
            line.error = QStringLiteral("Onbekende optie: ") + argument;
            return line;
        }
        QString value;
        if (option->takesValue) {
            // The next argument is the value, whatever it looks like: a file
            // may well be called "-oud.dat".
            if (i + 1 >= arguments.size()) {
                line.ok = false;
                line.error = QStringLiteral("Bij ") + argument + QStringLiteral(" hoort een waarde.");
                return line;
            }
            value = arguments[++i];
        }
        line.options << argument;
        line.values << value;
    }
    return line;
}

namespace {
const char* const usage = "Gebruik: Brolt [a]\n"
                          "         Brolt --list [--date JJJJ-MM-DD] [--file PAD]\n"
                          "         Brolt --import BRON [--file PAD]\n"
                          "         Brolt --export-ics DOEL [--file PAD]\n"
                          "         --user NAAM bij een serveradres als BRON of DOEL\n";
} // namespace

int PrintUsage(const QString& why) {
    const QString text = why + u'\n' + QLatin1String(usage);
    std::fputs(text.toLocal8Bit().constData(), stderr);
    return 2;
}

int PrintHelp() {
    const QString text =
        QLatin1String(usage) +
        QStringLiteral("\n"
                       "Brolt herinnert u aan verjaardagen, trouwdagen, jubilea, sterfdagen, feesten\n"
                       "en andere data. Zonder opties opent het hoofdvenster.\n"
                       "\n"
                       "  a                  de ochtendstart: sluit meteen als er niets te melden is\n"
                       "  --list             toon de herinneringen in de terminal\n"
                       "  --date JJJJ-MM-DD  de herinneringen van een andere dag (bij --list)\n"
                       "  --file PAD         een ander gegevensbestand dan het ingestelde\n"
                       "  --import BRON      lees contacten uit een vCard-bestand of CardDAV-adres\n"
                       "  --export-ics DOEL  schrijf de agenda naar een bestand, - (standaarduitvoer)\n"
                       "                     of een CalDAV-adres\n"
                       "  --user NAAM        de gebruikersnaam bij een serveradres; het wachtwoord\n"
                       "                     komt uit BROLT_DAV_PASSWORD, de sleutelbos of een vraag\n"
                       "  -h, --help         toon deze hulp\n"
                       "  --version          toon de versie\n"
                       "\n"
                       "Zie ook brolt(1).\n");
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return 0;
}

int PrintVersion() {
    std::fputs("Brolt " BROLT_VERSION_LABEL "\n", stdout);
    return 0;
}
