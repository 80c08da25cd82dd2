#include "TestKit.h"

#include "records/RecordTable.h"
#include "records/Reminders.h"
#include "settings/Working.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

bool FakeUi::askYesNo(bool& cancel, bool defaultAnswer, const QString& yes, const QString& no,
                      const QString& cancelCaption, const QString& message, const QString& title,
                      const QRect&) {
    questions.append({title, message, yes, no, cancelCaption, cancel});
    if (m_answers.isEmpty()) {
        cancel = false;
        return defaultAnswer;
    }
    const auto answer = m_answers.takeFirst();
    cancel = cancel && answer.second;
    return answer.first;
}

bool FakeUi::askText(QString& text, const QString& prompt, const QString& title, const QRect&) {
    questions.append({title, prompt, {}, {}, {}, false});
    if (textAnswers.isEmpty())
        return false;
    text = textAnswers.takeFirst();
    return true;
}

bool FakeUi::askPassword(QString& text, const QString& prompt, const QString& title, const QRect&) {
    questions.append({title, prompt, QStringLiteral("wachtwoord"), {}, {}, false});
    if (textAnswers.isEmpty())
        return false;
    text = textAnswers.takeFirst();
    return true;
}

void FakeUi::showTimedMessage(int durationMs, const QString& first, const QString& second, const QRect&) {
    notes.append({durationMs, first, second});
}

bool FakeUi::browse(const BrowseRequest& request, QString& path, QStringList* files) {
    browses.append(request);
    if (m_browse.isEmpty())
        return false;
    path = m_browse.takeFirst();
    if (files)
        *files = QStringList{path};
    return true;
}

TempHome::TempHome() {
    const QString root = m_dir.path();
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (root + "/data").toUtf8());
    QDir().mkpath(root + "/config");
    QDir().mkpath(root + "/data");
}

QString TempHome::dataFolder() const {
    return m_dir.path() + "/data/Brolt/";
}

QString TempHome::configFile() const {
    return m_dir.path() + "/config/Brolt.conf";
}

void WriteFileForTest(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray ReadFileForTest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QDateTime Noon(int year, int month, int day) {
    return QDateTime(QDate(year, month, day), QTime(12, 0));
}

RecordTable TableOf(const QStringList& lines) {
    RecordTable table;
    for (const QString& line : lines) {
        const QStringList f = line.split(u';');
        RecordTable::Row row;
        row[Col::Date] = f.value(0);
        row[Col::Name] = f.value(1);
        row[Col::Kind] = f.value(2);
        row[Col::Picture] = f.value(3);
        table.appendRecord(row);
    }
    return table;
}

Reminders ComposedFor(const QStringList& lines, const QDate& today) {
    RecordTable table = TableOf(lines);
    WorkingSettings settings;
    settings.geluidAan = false;
    ComputeDerivedColumns(table, 0, today);
    return ComposeReminders(table, 0, settings, today);
}
