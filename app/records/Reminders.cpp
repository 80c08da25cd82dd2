// Sentences are glued from many pieces: each is built in one allocation.
#define QT_USE_QSTRINGBUILDER

#include "records/Reminders.h"

#include "Ui.h"
#include "kit/Log.h"
#include "kit/Support.h"
#include "records/Dates.h"
#include "settings/Working.h"

#include <QHash>

#include <algorithm>
#include <functional>

namespace {
QDate recordDate(const QString& dateText, int notation) {
    return RecordDate(dateText, notation);
}

bool isBlank(const QString& text) {
    for (QChar c : text)
        if (c != u' ')
            return false;
    return true;
}

template <typename View> View baseNameOf(View name) {
    qsizetype n = name.indexOf('(');
    if (n < 0)
        n = name.size();
    while (n > 0 && name[n - 1] == ' ')
        --n;
    return name.first(n);
}

QStringView baseNameView(QStringView name) {
    return baseNameOf(name);
}

QDate occurrenceIn(int year, const QDate& date) {
    if (date.month() == 2 && date.day() == 29 && !IsLeapYear(year))
        return QDate(year, 3, 1);
    return QDate(year, date.month(), date.day());
}

QString trailingSpacesRemoved(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && text[n - 1] == u' ')
        --n;
    return text.left(n);
}

// The first death and birth record of every base name, found once per composition.
struct Relatives {
    // The views point into the table's names, which outlive the composition.
    QHash<QStringView, int> death, birth;

    explicit Relatives(const RecordTable& table) {
        // Walk backwards so that the first row of a name is the one kept.
        for (int r = table.recordCount(); r >= 1; --r) {
            const QString kind = NormaliseKind(table.cell(r, Col::Kind));
            if (kind == Kind::Overlijden)
                death.insert(baseNameView(table.cell(r, Col::Name)), r);
            else if (kind == Kind::Geboorte)
                birth.insert(baseNameView(table.cell(r, Col::Name)), r);
        }
    }
};

struct Sentence {
    QString text;
    bool melody = false;
};

QString patterned(int offset, const QString& s, const QString& p, const QString& q, const QString& t,
                  const QString& todayTail, const QString& label) {
    const QString d = QString::number(qAbs(offset));
    switch (offset) {
    case 0:
        return s + p + QStringLiteral(" vandaag") + todayTail;
    case 1:
        return s + p + QStringLiteral(" morgen (") + label + u')' + t;
    case 2:
        return s + p + QStringLiteral(" overmorgen (") + label + u')' + t;
    case -1:
        return s + q + QStringLiteral(" gisteren (") + label + u')' + t;
    case -2:
        return s + q + QStringLiteral(" eergisteren (") + label + u')' + t;
    default:
        if (offset > 0)
            return s + p + QStringLiteral(" over ") + d + QStringLiteral(" dagen (") + label + u')' + t;
        return s + q + u' ' + d + QStringLiteral(" dagen geleden (") + label + u')' + t;
    }
}

Sentence compose(const RecordTable& table, int row, int notation, const QDate& today, int offset,
                 const std::function<bool(const QString&, int*)>& findDeath,
                 const std::function<bool(const QString&, int*)>& findBirth) {
    const QString& name = table.cell(row, Col::Name);
    // A record typed into the grid without a kind is a birthday, as it will
    // be when the file is read again.
    const QString kind = NormaliseKind(table.cell(row, Col::Kind));
    const QString n = trailingSpacesRemoved(name);
    const QString d = QString::number(qAbs(offset));
    const QDate occurrence = today.addDays(offset);
    const QString w = WeekdayAbbreviation(occurrence);
    const QString l = w + u' ' + TwoDigits(occurrence.day()) + u'-' + TwoDigits(occurrence.month());
    const QDate date = recordDate(table.cell(row, Col::Date), notation);
    const int dayNumber = date.isValid() ? DayNumberOf(date) : 0;
    const QDate own = DateOfDayNumber(dayNumber);
    const int y = YearsBetween(own, occurrence);
    const QString ys = QString::number(y);
    const bool unknownYear = own.year() == 3000;

    Sentence out;
    if (kind == Kind::Feest) {
        switch (offset) {
        case 0:
            out.text = QStringLiteral("Vandaag vieren wij ") + n;
            break;
        case 1:
            out.text = QStringLiteral("Morgen vieren wij ") + n;
            break;
        case 2:
            out.text = QStringLiteral("Overmorgen vieren wij ") + n;
            break;
        case -1:
            out.text = QStringLiteral("Gisteren (") + l + QStringLiteral(") vierden wij ") + n;
            break;
        case -2:
            out.text = QStringLiteral("Eergisteren (") + l + QStringLiteral(") vierden wij ") + n;
            break;
        default:
            if (offset > 0)
                out.text = QStringLiteral("Over ") + d + QStringLiteral(" dagen (") + l +
                           QStringLiteral(") vieren wij ") + n;
            else
                out.text = d + QStringLiteral(" dagen geleden (") + w + QStringLiteral(") vierden wij ") + n;
        }
        return out;
    }
    if (kind == Kind::TeDoen) {
        switch (offset) {
        case 0:
            out.text = QStringLiteral("Vandaag:") + n;
            out.melody = true;
            break;
        case 1:
            out.text = QStringLiteral("Morgen (") + l + QStringLiteral("): ") + n;
            break;
        case 2:
            out.text = QStringLiteral("Overmorgen (") + l + QStringLiteral("): ") + n;
            break;
        case -1:
            out.text = QStringLiteral("Gisteren (") + l + QStringLiteral("): ") + n;
            break;
        case -2:
            out.text = QStringLiteral("Eergisteren (") + l + QStringLiteral("): ") + n;
            break;
        default:
            if (offset > 0)
                out.text =
                    QStringLiteral("Over ") + d + QStringLiteral(" dagen (") + l + QStringLiteral("): ") + n;
            else
                out.text = d + QStringLiteral(" dagen geleden (") + l + QStringLiteral(") ") + n;
        }
        return out;
    }

    QString s = n, p, q, t, todayTail;
    bool melody = false;
    if (!unknownYear && y > 999)
        return out;
    if (kind == Kind::Geboorte) {
        int deathDay = 0;
        if (findDeath(name, &deathDay)) {
            p = q = QStringLiteral(" zou");
            if (unknownYear) {
                t = QStringLiteral(" jarig zijn");
            } else {
                s = n + QStringLiteral(" (") + QString::number(YearsBetween(dayNumber, deathDay)) + u')';
                t = u' ' + ys + QStringLiteral(" jaar worden");
            }
        } else if (unknownYear) {
            p = QStringLiteral(" is");
            q = QStringLiteral(" was");
            t = QStringLiteral(" jarig");
            melody = true;
        } else {
            p = QStringLiteral(" wordt");
            q = QStringLiteral(" werd");
            t = u' ' + ys + QStringLiteral(" jaar");
            melody = true;
        }
    } else if (kind == Kind::Huwelijk) {
        int deathDay = 0;
        if (findDeath(name, &deathDay)) {
            p = q = QStringLiteral(" zouden");
            if (unknownYear) {
                t = QStringLiteral(" hun trouwdag vieren");
                todayTail = QStringLiteral(" hun trouwdag vieren vieren");
                melody = true;
            } else {
                t = u' ' + ys + QStringLiteral(" jaar getrouwd zijn");
            }
        } else if (unknownYear) {
            p = QStringLiteral(" vieren");
            q = QStringLiteral(" vierden");
            t = QStringLiteral(" hun trouwdag");
        } else {
            p = QStringLiteral(" zijn");
            q = QStringLiteral(" waren");
            t = u' ' + ys + QStringLiteral(" jaar getrouwd");
            melody = true;
        }
    } else if (kind == Kind::Overlijden) {
        int birthDay = 0;
        const bool birth = findBirth(name, &birthDay);
        if (unknownYear) {
            s = n + QStringLiteral("'s overlijden");
            p = QStringLiteral(" wordt");
            q = QStringLiteral(" werd");
            t = QStringLiteral(" herdacht");
            melody = !birth;
        } else {
            if (birth)
                s = n + QStringLiteral(" (") + QString::number(YearsBetween(birthDay, dayNumber)) + u')';
            p = QStringLiteral(" is");
            q = QStringLiteral(" was");
            t = u' ' + ys + QStringLiteral(" jaar overleden");
            melody = true;
        }
    } else if (kind == Kind::Jubileum) {
        p = QStringLiteral(" viert");
        q = QStringLiteral(" vierde");
        t = unknownYear ? QStringLiteral(" zijn/haar julbileum")
                        : QStringLiteral(" zijn/haar ") + ys + QStringLiteral("-jarig jubileum");
        melody = true;
    } else {
        return out; // an unknown kind has no sentence
    }
    if (todayTail.isEmpty())
        todayTail = t;
    out.text = patterned(offset, s, p, q, t, todayTail, l);
    out.melody = melody && offset == 0;
    return out;
}

bool findKind(const RecordTable& table, const QString& name, int notation, const QString& kind, bool birth,
              int* dayNumber) {
    const QStringView base = baseNameView(name);
    for (int r = 1; r <= table.recordCount(); ++r) {
        if (table.cell(r, Col::Kind) != kind || baseNameView(table.cell(r, Col::Name)) != base)
            continue;
        const QDate d = recordDate(table.cell(r, Col::Date), notation);
        if (birth && d.year() == 3000)
            return false;
        if (dayNumber)
            *dayNumber = d.isValid() ? DayNumberOf(d) : 0;
        return true;
    }
    return false;
}
} // namespace

QString BaseName(const QString& name) {
    return baseNameView(name).toString();
}

QByteArrayView BaseNameView(QByteArrayView name) {
    return baseNameOf(name);
}

bool FindDeath(const RecordTable& table, const QString& name, int notation, int* dayNumber) {
    return findKind(table, name, notation, Kind::Overlijden, false, dayNumber);
}

bool FindBirth(const RecordTable& table, const QString& name, int notation, int* dayNumber) {
    return findKind(table, name, notation, Kind::Geboorte, true, dayNumber);
}

Occurrences::Occurrences(const QDate& today) : m_year(today.year()), m_julian(today.toJulianDay()) {}

int Occurrences::offset(int month, int day) const {
    auto offsetIn = [&](int y) {
        int m = month, d = day;
        if (m == 2 && d == 29 && !IsLeapYear(y)) {
            m = 3;
            d = 1;
        }
        return int(JulianDayOfParts(y, m, d) - m_julian);
    };
    int offset = offsetIn(m_year);
    if (offset > 333)
        offset = offsetIn(m_year - 1);
    if (offset < -333)
        offset = offsetIn(m_year + 1);
    return offset;
}

void ComputeDerivedColumns(RecordTable& table, int notation, const QDate& today) {
    // Plain numbers instead of QDate calls: this runs for every record on every refresh.
    int ty, tm, td;
    today.getDate(&ty, &tm, &td);
    const Occurrences occurrences(today);
    const int rows = table.recordCount() + 1; // the blank row too
    for (int r = 1; r <= rows; ++r) {
        RecordTable::Row& row = table.row(r);
        if (isBlank(row[Col::Date]))
            continue;
        int y, m, d;
        if (!RecordDateParts(row[Col::Date], notation, y, m, d)) {
            // Reported once by the composition; the other records go on.
            row[Col::DayOffset].clear();
            row[Col::DayNumber].clear();
            SetRightAligned(row[Col::Age], 0, 3);
            continue;
        }
        SetRightAligned(row[Col::DayNumber], DayNumberOfParts(y, m, d), 0);
        SetRightAligned(row[Col::DayOffset], occurrences.offset(m, d), 5);

        int age = 0;
        if (ty < y && row[Col::Kind] != Kind::TeDoen) {
            if (y != 3000)
                Ui::instance().showTimedMessage(5000,
                                                QStringLiteral("De datum (") + row[Col::Name] +
                                                    QStringLiteral(" - ") + row[Col::Date] +
                                                    QStringLiteral(") mag"),
                                                QStringLiteral("niet in de toekomst liggen."));
        } else {
            age = YearsBetweenParts(y, m, d, ty, tm, td);
        }
        if (age < 0 || y == 3000)
            age = 0;
        SetRightAligned(row[Col::Age], age, 3);
    }
}

QString ReminderSentence(const RecordTable& table, int row, int notation, const QDate& today, int dayOffset,
                         bool* melody) {
    const Sentence s = compose(
        table, row, notation, today, dayOffset,
        [&](const QString& name, int* day) { return FindDeath(table, name, notation, day); },
        [&](const QString& name, int* day) { return FindBirth(table, name, notation, day); });
    if (melody)
        *melody = s.melody;
    return s.text;
}

Reminders ComposeReminders(const RecordTable& table, int notation, const WorkingSettings& settings,
                           const QDate& today) {
    LogScope log("MainForm", "FillList");
    Reminders out;
    const Relatives relatives(table);
    auto lookUp = [&](const QHash<QStringView, int>& index, const QString& name, bool birth, int* day) {
        const auto it = index.constFind(baseNameView(name));
        if (it == index.constEnd())
            return false;
        const QDate d = recordDate(table.cell(it.value(), Col::Date), notation);
        if (birth && d.year() == 3000)
            return false;
        *day = d.isValid() ? DayNumberOf(d) : 0;
        return true;
    };
    auto findDeath = [&](const QString& name, int* day) { return lookUp(relatives.death, name, false, day); };
    auto findBirth = [&](const QString& name, int* day) { return lookUp(relatives.birth, name, true, day); };

    struct Entry {
        int offset, row;
        QString text;
    };
    std::vector<Entry> entries;
    bool invalidReported = false, unknownKindReported = false;
    for (int r = 1; r <= table.recordCount(); ++r) {
        const RecordTable::Row& row = table.row(r);
        if (!unknownKindReported && !IsKnownKind(row[Col::Kind])) {
            // A kind from a hand-edited file gives no sentence: said once per
            // composition, and the record is kept as it is.
            unknownKindReported = true;
            Ui::instance().showTimedMessage(
                5000, QStringLiteral("De naam \"") + row[Col::Name] + QStringLiteral("\" heeft"),
                QStringLiteral("geen geldige gebeurtenis (") + row[Col::Kind] + QStringLiteral(")."));
        }
        if (isBlank(row[Col::Date]))
            continue;
        if (row[Col::DayOffset].isEmpty()) {
            // A date that is no real date: said once per composition, and skipped.
            if (!invalidReported) {
                invalidReported = true;
                Ui::instance().showTimedMessage(
                    5000, QStringLiteral("De naam \"") + row[Col::Name] + QStringLiteral(" heeft"),
                    QStringLiteral("geen geldige datum (") + NormaliseDate(row[Col::Date], notation) +
                        QStringLiteral(")."));
            }
            continue;
        }
        int offset = 0;
        ParseWholeNumber(row[Col::DayOffset], offset);
        if (offset < -settings.achteraf || offset > settings.vooraf)
            continue;
        const QDate date = recordDate(row[Col::Date], notation);
        const QDate occurrence = today.addDays(offset);
        const int y = YearsBetween(date, occurrence);
        if (offset == 0 && y >= 0 && y <= 999 && row[Col::Kind] != Kind::Overlijden)
            out.alert = true;
        const Sentence s = compose(table, r, notation, today, offset, findDeath, findBirth);
        if (s.text.isEmpty())
            continue;
        if (s.melody)
            out.melodyRow = r;
        entries.push_back({offset, r, s.text});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.offset != b.offset ? a.offset < b.offset : a.row < b.row;
    });

    if (out.alert && settings.geluidAan) {
        if (settings.systeemGeluid) {
            Ui::instance().playSystemSound();
        } else if (out.melodyRow > 0 && table.cell(out.melodyRow, Col::Kind) != Kind::Overlijden) {
            if (!Ui::instance().playMelody(settings.melodyFile))
                Ui::instance().showTimedMessage(
                    5000, QStringLiteral("Het muziekbestand bestaat niet"),
                    QStringLiteral("Kies in Instellingen een ander muziekbestand"));
        }
    }

    if (entries.empty()) {
        if (settings.automaticMode)
            out.closeProgram = true;
        else
            out.emptyLine = QStringLiteral("  Geen verjaardagen binnen -") +
                            QString::number(settings.achteraf) + QStringLiteral("..") +
                            QString::number(settings.vooraf) + QStringLiteral(" dagen.");
    }

    bool previousPast = false;
    out.lines.reserve(entries.size());
    for (Entry& e : entries) {
        ReminderLine line;
        line.row = e.row;
        line.dayOffset = e.offset;
        line.picture = table.cell(e.row, Col::Picture);
        const bool past = e.offset < 0;
        line.colour = past            ? ReminderColour::Past
                      : e.offset == 0 ? ReminderColour::Today
                                      : ReminderColour::Future;
        const bool candidate = e.offset == 0 || (!past && previousPast);
        if (candidate && !line.picture.isEmpty()) {
            e.text += QStringLiteral(" =>");
            out.currentPicture = line.picture;
        }
        out.pictureOfLine.append(line.picture);
        line.text = e.text.left(255);
        previousPast = past;
        out.lines.push_back(std::move(line));
    }
    return out;
}
