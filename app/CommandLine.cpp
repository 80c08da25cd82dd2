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

int PrintUsage(const QString& why) {
    const QString text = why + QStringLiteral("\n"
                                              "Gebruik: Brolt [a]\n"
                                              "         Brolt --list [--date JJJJ-MM-DD] [--file PAD]\n"
                                              "         Brolt --import BRON [--file PAD]\n"
                                              "         Brolt --export-ics DOEL [--file PAD]\n"
                                              "         --user NAAM bij een serveradres als BRON of DOEL\n");
    std::fputs(text.toLocal8Bit().constData(), stderr);
    return 2;
}
