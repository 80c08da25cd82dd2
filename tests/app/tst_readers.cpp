// What a screen reader gets of the windows: every control named, every field
// by its own label, the main window a window.
#include "Main.h"
#include "TestKit.h"
#include "editing/Datum.h"
#include "editing/Edit.h"
#include "editing/Props.h"
#include "info/Bericht.h"
#include "info/Uitleg.h"
#include "kit/Clock.h"
#include "kit/Help.h"
#include "kit/Store.h"
#include "settings/Options.h"

#include <QAccessible>
#include <QApplication>
#include <QScopeGuard>
#include <QTest>

#include <memory>

namespace {
// Roles a reader announces by their name; without one it says only "button".
bool needsName(QAccessible::Role role) {
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::ComboBox:
    case QAccessible::Table:
    case QAccessible::List:
    case QAccessible::Graphic:
    case QAccessible::ProgressBar:
    case QAccessible::Grouping:
        return true;
    default:
        return false;
    }
}

struct Control {
    QAccessible::Role role;
    QString name;
    QString object;
};

void collect(QAccessibleInterface* node, QList<Control>& out) {
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (!child || child->state().invisible)
            continue;
        QObject* object = child->object();
        // The grid's rows and cells are the table's business.
        if (child->role() == QAccessible::Cell || child->role() == QAccessible::ColumnHeader ||
            child->role() == QAccessible::RowHeader || child->role() == QAccessible::Row)
            continue;
        out << Control{child->role(), child->text(QAccessible::Name),
                       object ? object->objectName() : QString()};
        collect(child, out);
    }
}
} // namespace

class TestReaders : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<FakeUi> m_ui;
    std::unique_ptr<TMainForm> m_form;
    std::unique_ptr<TBerichtForm> m_news;

    QWidget* window(const QString& which) {
        if (which == QLatin1String("main"))
            return m_form.get();
        if (which == QLatin1String("edit"))
            return m_form->editForm();
        if (which == QLatin1String("properties"))
            return m_form->propertiesForm();
        if (which == QLatin1String("options"))
            return m_form->optionsForm();
        if (which == QLatin1String("news")) {
            if (!m_news)
                m_news = std::make_unique<TBerichtForm>();
            return m_news.get();
        }
        if (which == QLatin1String("explanation"))
            return m_form->findChild<TFormUitleg*>();
        return m_form->findChild<TCalendarDlg*>();
    }

private Q_SLOTS:
    void initTestCase() {
        m_home = std::make_unique<TempHome>();
        m_ui = std::make_unique<FakeUi>();
        SetHelpMessageHandler([](const QString&) {});
        Clock::set(Noon(2024, 5, 14));
        Store::writeText(Keys::TimerAan.name, QStringLiteral("1"));
        Store::writeText(Keys::UpdatesCheck.name, QStringLiteral("0"));
        m_form = std::make_unique<TMainForm>(QStringList{QStringLiteral("Brolt")});
        m_form->setProgramFile(QStringLiteral("Brolt"));
        m_form->show();
        m_form->FormPaint();
        QVERIFY(m_form->records().rowCount() > 1);
    }
    void cleanupTestCase() {
        m_form->dataFile().unsavedChanges = false;
        m_form.reset();
        Clock::set(QDateTime());
    }

    void everyControlIsNamed_data() {
        QTest::addColumn<QString>("which");
        QTest::addColumn<int>("windowRole");
        QTest::addColumn<QStringList>("fields"); // the names its fields must have, one each
        QTest::newRow("main window") << "main" << int(QAccessible::Window) << QStringList{};
        QTest::newRow("edit window") << "edit" << int(QAccessible::Dialog) << QStringList{};
        QTest::newRow("properties window")
            << "properties" << int(QAccessible::Dialog) << QStringList{"Naam",           "Datum",
                                                                       "Foto",           "e-mail",
                                                                       "Telefoonnummer", "Straat, Huisnummer",
                                                                       "Postcode, Stad", "Land"};
        QTest::newRow("options window")
            << "options" << int(QAccessible::Dialog)
            << QStringList{"Geef het nieuwe pad voor de bestanden:", "Tijd in Seconden",
                           "Aantal dagen Achteraf", "Aantal dagen Vooraf", "e-mailadres"};
        QTest::newRow("news window") << "news" << int(QAccessible::Dialog) << QStringList{};
        QTest::newRow("explanation window") << "explanation" << int(QAccessible::Dialog) << QStringList{};
        QTest::newRow("calendar") << "calendar" << int(QAccessible::Dialog)
                                  << QStringList{"Uur", "Minuut", "Seconde"};
    }
    void everyControlIsNamed() {
        QFETCH(QString, which);
        QFETCH(int, windowRole);
        QFETCH(QStringList, fields);
        QWidget* w = window(which);
        QVERIFY(w);
        // Shown as the program shows it; a hidden window's controls are hidden to a reader too.
        w->show();
        const auto hide = qScopeGuard([&] {
            if (w != m_form.get())
                w->hide();
        });
        QAccessibleInterface* top = QAccessible::queryAccessibleInterface(w);
        QVERIFY(top);
        QCOMPARE(int(top->role()), windowRole);
        QList<Control> controls;
        collect(top, controls);
        QStringList unnamed, fieldNames;
        for (const Control& c : controls) {
            if (needsName(c.role) && c.name.trimmed().isEmpty())
                unnamed << QStringLiteral("%1 (role %2)").arg(c.object).arg(int(c.role));
            if (c.role == QAccessible::EditableText || c.role == QAccessible::SpinBox)
                fieldNames << c.name;
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u", ")));
        // Each field by its own label: no two alike, none named after its box.
        QCOMPARE(QSet<QString>(fieldNames.begin(), fieldNames.end()).size(), fieldNames.size());
        for (const QString& field : fields)
            QVERIFY2(fieldNames.contains(field),
                     qPrintable(field + QStringLiteral(" not in ") + fieldNames.join(u'|')));
    }

    // The grid's table holds the five columns it shows, each under its own
    // header; what a record keeps besides (addresses, sort keys, working
    // cells) never reaches a reader, also when the cell holds text.
    void gridShowsOnlyItsColumns_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("header"); // empty: not in the reader's table at all
        QTest::newRow("name") << int(Col::Name) << "Naam";
        QTest::newRow("date") << int(Col::Date) << "Datum";
        QTest::newRow("kind") << int(Col::Kind) << "Gebeurtenis";
        QTest::newRow("age") << int(Col::Age) << "Leeftijd";
        QTest::newRow("picture") << int(Col::Picture) << "Fotobestand";
        // Working cells, sort keys, addresses.
        for (int column = Col::Picture + 1; column < Col::Count; ++column)
            QTest::addRow("column %d", column) << column << QString();
    }
    void gridShowsOnlyItsColumns() {
        QFETCH(int, column);
        QFETCH(QString, header);
        TEditForm* edit = m_form->editForm();
        edit->show();
        const QString kept = m_form->records().cell(1, column);
        const auto restore = qScopeGuard([&] {
            edit->model()->setCellText(1, column, kept);
            edit->hide();
        });
        const QString marker = QStringLiteral("cel-%1").arg(column);
        edit->model()->setCellText(1, column, marker);
        QCOMPARE(m_form->records().cell(1, column), marker); // the record keeps every cell

        // Without a reader listening Qt hears of no model change, so its
        // cells would still show the rows before the window's showing: start
        // from a fresh table, as a listening reader's is after every change.
        QAccessible::deleteAccessibleInterface(
            QAccessible::uniqueId(QAccessible::queryAccessibleInterface(edit->grid())));
        QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(edit->grid());
        QVERIFY(grid && grid->tableInterface());
        QAccessibleTableInterface* table = grid->tableInterface();
        QCOMPARE(table->columnCount(), 5);
        QStringList heard; // every header and cell the table holds, shown or not
        for (int i = 0; i < grid->childCount(); ++i)
            if (QAccessibleInterface* child = grid->child(i))
                heard << child->text(QAccessible::Name);
        if (header.isEmpty()) {
            QVERIFY2(!heard.contains(marker), qPrintable(marker));
            return;
        }
        QCOMPARE(table->columnDescription(column), header);
        QAccessibleInterface* cell = table->cellAt(0, column);
        QVERIFY(cell && cell->tableCellInterface());
        QCOMPARE(cell->text(QAccessible::Name), marker);
        const QList<QAccessibleInterface*> heads = cell->tableCellInterface()->columnHeaderCells();
        for (QAccessibleInterface* head : heads)
            QAccessible::uniqueId(head); // handed to Qt's cache, as the AT-SPI bridge does
        QCOMPARE(heads.size(), 1);
        QCOMPARE(heads.first()->text(QAccessible::Name), header);
        QCOMPARE(heard.count(marker), 1);
    }

    // A tool button is named by the first line of its hint, its shortcut left off.
    void toolButtonsAreNamedByTheirHint_data() {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::newRow("open") << "main"
                              << "SpeedOpen"
                              << "Lees een ander bestand met gegevens";
        QTest::newRow("save") << "main"
                              << "SpeedSave"
                              << "Bewaar de wijzigingen";
        QTest::newRow("options") << "main"
                                 << "SpeedOptions"
                                 << "Instellingen";
        QTest::newRow("quit") << "main"
                              << "SpeedEinde"
                              << "Verlaat Brolt";
        QTest::newRow("add a row") << "edit"
                                   << "SpeedAdd"
                                   << "Voeg regel toe BOVEN huidige";
        QTest::newRow("lists") << "edit"
                               << "SpeedLists"
                               << "Toon/print verjaardagenlijst";
        QTest::newRow("contacts") << "edit"
                                  << "SpeedImport"
                                  << "Importeer contacten...";
        QTest::newRow("calendar out") << "edit"
                                      << "SpeedExport"
                                      << "Exporteer agenda...";
    }
    void toolButtonsAreNamedByTheirHint() {
        QFETCH(QString, which);
        QFETCH(QString, button);
        QFETCH(QString, name);
        QWidget* control = window(which)->findChild<QWidget*>(button);
        QVERIFY(control);
        QCOMPARE(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name), name);
    }
};

QTEST_MAIN(TestReaders)
#include "tst_readers.moc"
