#include "TestKit.h"
#include "kit/Clock.h"
#include "kit/Log.h"
#include "kit/Store.h"
#include "lists/ShowLists.h"
#include "records/Dates.h"
#include "settings/Working.h"

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLocale>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include <memory>

namespace {

RecordTable::Row record(const QString& name, const QString& date, const QString& kind = Kind::Geboorte) {
    RecordTable::Row row;
    row[Col::Name] = name;
    row[Col::Date] = date;
    row[Col::Kind] = kind;
    return row;
}

QStringList names(const RecordTable& table) {
    QStringList out;
    for (int r = 1; r <= table.recordCount(); ++r)
        out << table.cell(r, Col::Name);
    return out;
}

} // namespace

class TestShowLists : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void yearCalendarAsksToSaveSortsAndRestores();
    void allNamesRestoresTheDateOrder();
    void windowShowsTheListAsBuilt();
    void everyLineStaysOnOneLine_data();
    void everyLineStaysOnOneLine();
    void printGoesToThePdfPrinterAndCloses();
    void printThatCannotWriteSaysSo();
    void printCancelledStillCloses();
    void noPrinterDisablesPrintAndLogs_data();
    void noPrinterDisablesPrintAndLogs();
    void wordProcessorIsTheFirstFound_data();
    void wordProcessorIsTheFirstFound();
    void mailStartsZendroWithTheProgramName_data();
    void mailStartsZendroWithTheProgramName();
    void unwritableDataFolderIsReported();
    void sizeIsStoredAtDestruction();

private:
    // Runs `whileShown` once the list window is up, then closes it if needed.
    void showList(bool yearCalendar, const std::function<void()>& whileShown = {});

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<FakeUi> m_ui;
    std::unique_ptr<RecordTable> m_table;
    std::unique_ptr<DataFile> m_data;
    std::unique_ptr<TShowListsForm> m_form;
    QString m_folder;
    int m_saveStateCalls = 0;
    QList<QPair<QString, QStringList>> m_started;
    bool m_startResult = true;
};

void TestShowLists::initTestCase() {
    m_home = std::make_unique<TempHome>();
    QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands));
    Clock::set(Noon(2026, 6, 15));
}

void TestShowLists::init() {
    m_ui.reset();
    m_ui = std::make_unique<FakeUi>();
    SetShortDateFormat(NotationFormat(YearMonthDay));
    Working().sortOrder = 0;
    m_folder = m_home->path() + QStringLiteral("/data/Brolt/") + QTest::currentTestFunction() + u'/';
    QDir().mkpath(m_folder);
    m_table = std::make_unique<RecordTable>();
    m_table->appendRecord(record(QStringLiteral("Anna"), QStringLiteral("1950-03-03")));
    m_table->appendRecord(record(QStringLiteral("Bob"), QStringLiteral("2001-02-01")));
    m_table->appendRecord(record(QStringLiteral("Zonder datum"), QString()));
    m_table->appendRecord(record(QStringLiteral("Klus"), QStringLiteral("2026-07-01"), Kind::TeDoen));
    m_data = std::make_unique<DataFile>(*m_table);
    m_data->dataFolder = m_folder;
    m_data->painted = true;
    m_data->caption = QStringLiteral("Brolt - Brolt.dat");
    m_form = std::make_unique<TShowListsForm>(*m_table, *m_data);
    m_form->hasPrinter = [] { return true; };
    m_form->printDialog = [](QPrinter&) { return false; };
    m_form->findProgram = [](const QString&) { return QString(); };
    m_started.clear();
    m_startResult = true;
    m_form->startProgram = [this](const QString& program, const QStringList& arguments) {
        m_started.append({program, arguments});
        return m_startResult;
    };
    m_saveStateCalls = 0;
    m_form->saveStateChanged = [this] { ++m_saveStateCalls; };
}

void TestShowLists::cleanup() {
    m_form.reset();
    LogOn = false;
}

void TestShowLists::showList(bool yearCalendar, const std::function<void()>& whileShown) {
    bool ran = false;
    QTimer::singleShot(0, m_form.get(), [&] {
        ran = true;
        if (whileShown)
            whileShown();
        if (m_form->isVisible())
            m_form->reject();
    });
    if (yearCalendar)
        m_form->ShowYearCalendar();
    else
        m_form->ShowAllNames();
    QVERIFY(ran);
}

void TestShowLists::yearCalendarAsksToSaveSortsAndRestores() {
    m_data->unsavedChanges = true;
    m_data->saveEnabled = true;
    m_ui->nextAnswer(false);
    QStringList shownTitles;
    showList(true,
             [&] { shownTitles << m_form->richEdit()->document()->toPlainText().split(u'\n').mid(2, 1); });

    QCOMPARE(m_ui->questions.size(), 1);
    QCOMPARE(m_ui->questions[0].title, QStringLiteral("Brolt - Toon/Mail/Print Lijsten - Changes"));
    QVERIFY(!QFile::exists(m_folder + QStringLiteral("Brolt.dat"))); // "Nee" saves nothing ...
    QVERIFY(m_data->unsavedChanges);                                 // ... and drops nothing
    QVERIFY(m_data->saveEnabled);
    QVERIFY(m_saveStateCalls >= 1);
    QCOMPARE(shownTitles, QStringList{QStringLiteral("Jaarkalender")});
    // The record without a date is gone; the name order is back.
    QCOMPARE(names(*m_table),
             (QStringList{QStringLiteral("Anna"), QStringLiteral("Bob"), QStringLiteral("Klus")}));
    const QString text = m_form->document().plainText();
    QVERIFY(text.indexOf(QStringLiteral("\tfebruari")) < text.indexOf(QStringLiteral("\tmaart")));
    QVERIFY(text.contains(QStringLiteral("\t01\tBob  .")));
    QVERIFY(text.contains(QStringLiteral("\t03\tAnna  .")));
    QVERIFY(!text.contains(QStringLiteral("Klus")));
}

void TestShowLists::allNamesRestoresTheDateOrder() {
    Working().sortOrder = 1;
    m_data->dateNotation = YearMonthDay;
    showList(false);
    QVERIFY(m_ui->questions.isEmpty());
    // Sorting by date afterwards drops the dateless record and orders by day of the year.
    QCOMPARE(names(*m_table),
             (QStringList{QStringLiteral("Bob"), QStringLiteral("Anna"), QStringLiteral("Klus")}));
    const QString text = m_form->document().plainText();
    QVERIFY(text.indexOf(QStringLiteral("\tAnna  .")) < text.indexOf(QStringLiteral("\tBob  .")));
    QVERIFY(text.contains(QStringLiteral("\tg\t2001-02-01\twordt   25")));
    QVERIFY(text.contains(QStringLiteral("Zonder datum  ")));
    QVERIFY(text.contains(QStringLiteral("\tg\t\tonbekend")));
}

void TestShowLists::windowShowsTheListAsBuilt() {
    QString shown;
    bool editVisible = false;
    bool printEnabled = false;
    showList(true, [&] {
        shown = m_form->richEdit()->toPlainText();
        editVisible = m_form->richEdit()->isVisible();
        printEnabled = m_form->findChild<QPushButton*>(QStringLiteral("PrintBtn"))->isEnabled();
    });
    QCOMPARE(shown, m_form->document().plainText());
    QVERIFY(editVisible);
    QVERIFY(printEnabled);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Brolt - Toon/Mail/Print Lijsten"));
    QCOMPARE(m_form->richEdit()->geometry(), QRect(50, 50, 580, m_form->height() - 100));
    QCOMPARE(m_form->width(), 667);
    // The leader dots are measured in the window's own font: the kind codes line up.
    const QFontMetrics metrics(m_form->richEdit()->font());
    for (const QString& name : {QStringLiteral("Anna"), QStringLiteral("Bob")}) {
        const QString dots =
            LeaderDots(name, 360, [&](const QString& t) { return metrics.horizontalAdvance(t); });
        QVERIFY(shown.contains(u'\t' + name + QStringLiteral("  ") + dots + QStringLiteral("\tg\t")));
    }
}

void TestShowLists::everyLineStaysOnOneLine_data() {
    QTest::addColumn<bool>("yearCalendar");
    QTest::newRow("Jaarkalender") << true;
    QTest::newRow("Lijst met alle namen") << false;
}

void TestShowLists::everyLineStaysOnOneLine() {
    QFETCH(bool, yearCalendar);
    if (QFontInfo(m_form->richEdit()->font()).family() != QStringLiteral("Carlito"))
        QSKIP("neither Calibri nor Carlito is installed");
    m_table->appendRecord(
        record(QStringLiteral("Wilhelmina van Oranje-Nassau"), QStringLiteral("1880-08-31")));
    m_table->appendRecord(record(QStringLiteral("Onbekend"), QStringLiteral("3000-05-05")));
    QStringList wrapped;
    int lines = 0;
    showList(yearCalendar, [&] {
        for (QTextBlock b = m_form->richEdit()->document()->begin(); b.isValid(); b = b.next(), ++lines)
            if (b.layout()->lineCount() != 1)
                wrapped << b.text();
    });
    QCOMPARE(wrapped, QStringList());
    QVERIFY(lines > 4);
}

void TestShowLists::printGoesToThePdfPrinterAndCloses() {
    const QString pdf = m_folder + QStringLiteral("lijst.pdf");
    m_form->printDialog = [&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    };
    int result = -1;
    showList(true, [&] {
        QTest::mouseClick(m_form->findChild<QPushButton*>(QStringLiteral("PrintBtn")), Qt::LeftButton);
        result = m_form->result();
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(!m_form->isVisible());
    QVERIFY(ReadFileForTest(pdf).startsWith("%PDF"));
    QVERIFY(ReadFileForTest(m_folder + QStringLiteral("Temp/Tmp.rtf")).startsWith("{\\rtf1"));
    QVERIFY(m_ui->notes.isEmpty());
}

void TestShowLists::printThatCannotWriteSaysSo() {
    const QString blocker = m_folder + QStringLiteral("blocker");
    WriteFileForTest(blocker, "x");
    m_form->printDialog = [&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(blocker + QStringLiteral("/lijst.pdf"));
        return true;
    };
    showList(true, [&] { m_form->PrintBtnClick(); });
    QVERIFY(!m_form->isVisible());
    QCOMPARE(m_ui->notes.size(), 1);
    QCOMPARE(m_ui->notes[0].durationMs, 5000);
    QCOMPARE(m_ui->notes[0].first, QStringLiteral("Afdrukken is niet gelukt."));
    QVERIFY(m_ui->notes[0].second.startsWith(QStringLiteral("Fout: ")));
}

void TestShowLists::printCancelledStillCloses() {
    int result = -1;
    showList(true, [&] {
        m_form->PrintBtnClick();
        result = m_form->result();
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(!QFile::exists(m_folder + QStringLiteral("Temp/Tmp.rtf")));
    QVERIFY(m_ui->notes.isEmpty());
}

void TestShowLists::noPrinterDisablesPrintAndLogs_data() {
    QTest::addColumn<bool>("printer");
    QTest::addColumn<bool>("pdf");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("a printer") << true << false << true;
    // Most homes: no printer, and the print dialog writes a PDF file.
    QTest::newRow("no printer, a PDF file") << false << true << true;
    QTest::newRow("neither") << false << false << false;
}

void TestShowLists::noPrinterDisablesPrintAndLogs() {
    QFETCH(bool, printer);
    QFETCH(bool, pdf);
    QFETCH(bool, enabled);
    LogOn = true;
    ResetLog(m_folder);
    m_form->hasPrinter = [&] { return printer; };
    m_form->canWritePdf = [&] { return pdf; };
    bool printEnabled = !enabled;
    showList(false, [&] {
        printEnabled = m_form->findChild<QPushButton*>(QStringLiteral("PrintBtn"))->isEnabled();
    });
    QCOMPARE(printEnabled, enabled);
    QCOMPARE(ReadFileForTest(LogFile).contains("ShowListsForm.FormPaint - SetRichEditMargins\r\n"), !enabled);
}

void TestShowLists::wordProcessorIsTheFirstFound_data() {
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<bool>("starts");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("note"); // the first line of the note; empty: none
    QTest::newRow("Writer") << QStringList{"lowriter", "libreoffice", "abiword"} << true
                            << "/usr/bin/lowriter" << QStringList{} << QString();
    QTest::newRow("LibreOffice") << QStringList{"libreoffice", "abiword"} << true << "/usr/bin/libreoffice"
                                 << QStringList{"--writer"} << QString();
    QTest::newRow("only soffice") << QStringList{"soffice", "abiword"} << true << "/usr/bin/soffice"
                                  << QStringList{"--writer"} << QString();
    QTest::newRow("AbiWord") << QStringList{"abiword"} << true << "/usr/bin/abiword" << QStringList{}
                             << QString();
    QTest::newRow("found, does not start")
        << QStringList{"abiword"} << false << "/usr/bin/abiword" << QStringList{}
        << "De tekstverwerker kan niet worden gestart: abiword";
    QTest::newRow("none") << QStringList{} << true << QString() << QStringList{}
                          << "Er is geen tekstverwerker gevonden (LibreOffice Writer of AbiWord).";
}

void TestShowLists::wordProcessorIsTheFirstFound() {
    QFETCH(QStringList, installed);
    QFETCH(bool, starts);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, note);
    m_startResult = starts;
    m_form->findProgram = [&](const QString& name) {
        return installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
    };
    bool visibleAfter = false;
    showList(false, [&] {
        m_form->WordBtnClick();
        visibleAfter = m_form->isVisible();
    });
    QVERIFY(visibleAfter);
    const QString file = m_folder + QStringLiteral("Temp/Tmp.rtf");
    QVERIFY(QFile::exists(file));
    if (note.isEmpty()) {
        QVERIFY(m_ui->notes.isEmpty());
    } else {
        QCOMPARE(m_ui->notes.size(), 1);
        QCOMPARE(m_ui->notes[0].first, note);
        QCOMPARE(m_ui->notes[0].second, QStringLiteral("De lijst staat in ") + file);
    }
    if (program.isEmpty()) {
        QVERIFY(m_started.isEmpty());
        return;
    }
    QCOMPARE(m_started.size(), 1);
    QCOMPARE(m_started[0].first, program);
    QCOMPARE(m_started[0].second, arguments + QStringList{file});
}

void TestShowLists::mailStartsZendroWithTheProgramName_data() {
    QTest::addColumn<bool>("starts");
    QTest::newRow("started") << true;
    QTest::newRow("cannot start") << false;
}

void TestShowLists::mailStartsZendroWithTheProgramName() {
    QFETCH(bool, starts);
    m_startResult = starts;
    showList(true, [&] { m_form->MailBtnClick(); });
    QCOMPARE(m_started.size(), 1);
    QCOMPARE(m_started[0].first, QDir::currentPath() + QStringLiteral("/Zendro"));
    QCOMPARE(m_started[0].second, QStringList{QStringLiteral("Brolt")});
    QVERIFY(QFile::exists(m_folder + QStringLiteral("Temp/Tmp.rtf")));
    if (starts) {
        QVERIFY(m_ui->notes.isEmpty());
    } else {
        QCOMPARE(m_ui->notes.size(), 1);
        QCOMPARE(m_ui->notes[0].durationMs, 5000);
        QCOMPARE(m_ui->notes[0].first,
                 QStringLiteral("Er is iets fout gegaan bij het versturen van de e-mail"));
    }
}

void TestShowLists::unwritableDataFolderIsReported() {
    const QString blocker = m_folder + QStringLiteral("blocker");
    WriteFileForTest(blocker, "x");
    m_data->dataFolder = blocker + u'/';
    m_form->findProgram = [](const QString& name) { return QStringLiteral("/usr/bin/") + name; };
    showList(true, [&] {
        m_form->WordBtnClick();
        m_form->MailBtnClick();
    });
    QVERIFY(m_started.isEmpty());
    QCOMPARE(m_ui->notes.size(), 2);
    QCOMPARE(m_ui->notes[0].first, QStringLiteral("De lijst kan niet worden bewaard in"));
    QCOMPARE(m_ui->notes[0].second, blocker + QStringLiteral("/Temp/"));
}

void TestShowLists::sizeIsStoredAtDestruction() {
    m_form->resize(667, 612);
    m_form.reset();
    QCOMPARE(Store::readInteger(Keys::ListsHeight), 612);
    QCOMPARE(Store::readInteger(Keys::ListsWidth), 667);
    TShowListsForm again(*m_table, *m_data);
    QCOMPARE(again.height(), 612);
}

QTEST_MAIN(TestShowLists)
#include "tst_showlists.moc"
