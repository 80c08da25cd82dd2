#include "settings/Options.h"

#include "Ui.h"
#include "exchange/ICalendar.h"
#include "exchange/Multistatus.h"
#include "kit/ClrBtn.h"
#include "kit/Desktop.h"
#include "kit/Help.h"
#include "kit/Log.h"
#include "kit/PlayMusic.h"
#include "kit/Store.h"
#include "kit/Support.h"
#include "records/Dates.h"
#include "settings/Terminate.h"
#include "settings/Working.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

namespace {
// The calendar's days ahead, as its label and its notes name it.
const QString agendaVoorafCaption = QStringLiteral("Aantal dagen Vooraf in de agenda");
const QString programName = QStringLiteral("Brolt");

QString withSlash(const QString& folder) {
    return folder.isEmpty() || folder.endsWith(u'/') ? folder : folder + u'/';
}
} // namespace

// ------------------------------------------------------------------ creation

QGroupBox* TOptionsForm::group(const char* name, const QString& title, const QRect& geometry) {
    auto* box = new QGroupBox(title, this);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    return box;
}

TClrBtn* TOptionsForm::button(QWidget* parent, const char* name, const QString& caption,
                              const QRect& geometry) {
    auto* b = new TClrBtn(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->useKitColors();
    b->setGeometry(geometry);
    return b;
}

TOptionsForm::TOptionsForm(RecordTable& table, DataFile& data, QWidget* parent)
    : QDialog(parent), m_table(table), m_data(data), m_mainWindow(parent) {
    LogScope log("OptionsForm", "FormCreate");
    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(programName + QStringLiteral(" - Instellingen"));
    setFont(KitFont(QStringLiteral("Verdana"), 13));
    SetKitBackground(this, KitColor::Window);

    auto label = [](QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
        auto* l = new QLabel(text, parent);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(geometry);
        return l;
    };
    auto check = [](QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
        auto* c = new QCheckBox(text, parent);
        c->setObjectName(QString::fromLatin1(name));
        c->setGeometry(geometry);
        return c;
    };
    auto edit = [](QWidget* parent, const char* name, const QRect& geometry) {
        auto* e = new QLineEdit(parent);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(geometry);
        return e;
    };
    auto radioGroup = [this](QGroupBox* box, const char* name, const QStringList& items) {
        auto* buttons = new QButtonGroup(box);
        for (int i = 0; i < items.size(); ++i) {
            auto* radio = new QRadioButton(items[i], box);
            radio->setObjectName(QString::fromLatin1(name) + u'_' + QString::number(i));
            radio->setGeometry(12, 26 + 26 * i, 320, 24);
            buttons->addButton(radio, i);
        }
        buttons->button(0)->setChecked(true);
        connect(buttons, &QButtonGroup::idClicked, this, &TOptionsForm::RadioClick);
        return buttons;
    };

    m_pathBox = group("PathBox", QStringLiteral(" Plaats voor de bestanden "), {10, 10, 730, 110});
    m_pathLabel = label(m_pathBox, "PathLabel", QStringLiteral("Geef het nieuwe pad voor de bestanden:"),
                        {12, 24, 500, 20});
    m_pathEdit = edit(m_pathBox, "PathEdit", {12, 46, 706, 26});
    m_checkCopy = check(m_pathBox, "CheckCopy", QStringLiteral("Bestanden kopiëren"), {12, 78, 250, 24});
    m_checkCopy->setChecked(true);
    m_btnBrowse = button(m_pathBox, "BtnBrowse", QStringLiteral("Bladeren"), {506, 76, 100, 28});
    m_btnDefault = button(m_pathBox, "BtnDefault", QStringLiteral("Standaard"), {618, 76, 100, 28});

    m_radioDatum = group("RadioDatum", QStringLiteral(" Schrijfwijze Datums "), {10, 130, 360, 110});
    m_datumGroup = radioGroup(m_radioDatum, "RadioDatum",
                              {QStringLiteral("Jaar-Maand-Dag"), QStringLiteral("Maand-Dag-Jaar"),
                               QStringLiteral("Dag-Maand-Jaar")});
    m_radioSorteer = group("RadioSorteer", QStringLiteral(" Sorteren op... "), {10, 250, 360, 110});
    m_sorteerGroup = radioGroup(m_radioSorteer, "RadioSorteer",
                                {QStringLiteral("Sorteren op Naam"), QStringLiteral("Sorteren op Datum"),
                                 QStringLiteral("Sorteren op Leeftijd")});

    m_timerBox = group("TimerBox", QStringLiteral(" Timer "), {10, 370, 360, 90});
    m_timerAan = check(m_timerBox, "TimerAan", QStringLiteral("Timer Aan"), {12, 26, 200, 24});
    m_duurEdit = edit(m_timerBox, "DuurEdit", {12, 56, 60, 26});
    m_duurEdit->setText(QStringLiteral(" 60"));
    m_duurLabel = label(m_timerBox, "DuurLabel", QStringLiteral("Tijd in Seconden"), {82, 58, 260, 24});

    m_tijdBox = group("TijdBox", QStringLiteral(" Tijdvenster "), {10, 470, 360, 90});
    m_achterafEdit = edit(m_tijdBox, "AchterafEdit", {12, 26, 50, 26});
    m_achterafEdit->setText(QStringLiteral("10"));
    label(m_tijdBox, "AchterafLabel", QStringLiteral("Aantal dagen Achteraf"), {72, 28, 270, 24});
    m_voorafEdit = edit(m_tijdBox, "VoorafEdit", {12, 58, 50, 26});
    m_voorafEdit->setText(QStringLiteral("30"));
    label(m_tijdBox, "VoorafLabel", QStringLiteral("Aantal dagen Vooraf"), {72, 60, 270, 24});

    m_mailBox = group("MailBox", QStringLiteral(" e-mailadres "), {10, 570, 360, 60});
    m_mailEdit = edit(m_mailBox, "MailEdit", {12, 26, 336, 26});

    m_soundBox = group("SoundBox", QStringLiteral(" Geluid "), {380, 130, 360, 110});
    m_geluidCheckBox = check(m_soundBox, "GeluidCheckBox", QStringLiteral("Geluid Aan"), {12, 26, 200, 24});
    m_radioSysteem = new QRadioButton(QStringLiteral("Systeemgeluid"), m_soundBox);
    m_radioSysteem->setObjectName(QStringLiteral("RadioSysteem"));
    m_radioSysteem->setGeometry(12, 52, 200, 24);
    m_radioMelodie = new QRadioButton(QStringLiteral("Melodie"), m_soundBox);
    m_radioMelodie->setObjectName(QStringLiteral("RadioMelodie"));
    m_radioMelodie->setGeometry(12, 78, 200, 24);
    m_soundGroup = new QButtonGroup(m_soundBox);
    m_soundGroup->addButton(m_radioSysteem, 0);
    m_soundGroup->addButton(m_radioMelodie, 1);
    m_btnMelodie = button(m_soundBox, "BtnMelodie", QStringLiteral("Bladeren"), {248, 74, 100, 28});

    m_updateBox = group("UpdateBox", QStringLiteral(" Update "), {380, 250, 360, 70});
    m_updatesCheck =
        check(m_updateBox, "UpdatesCheck", QStringLiteral("Check voor Updates Aan"), {12, 30, 230, 24});
    m_btnCheck = button(m_updateBox, "BtnCheck", QStringLiteral("Check Nu"), {248, 26, 100, 28});

    m_radioOpstarten = group("RadioOpstarten", QStringLiteral(" Opstarten "), {380, 330, 360, 60});
    m_checkOpstart =
        check(m_radioOpstarten, "CheckOpstart",
              QStringLiteral("Brolt start bij het opstarten van de computer"), {12, 28, 340, 24});

    m_boxLog = group("BoxLog", QStringLiteral(" Logbestand "), {380, 400, 360, 60});
    m_logCheck = check(m_boxLog, "LogCheck", QStringLiteral("Log Aan"), {12, 28, 200, 24});
    m_btnLog = button(m_boxLog, "BtnLog", QStringLiteral("Toon"), {248, 24, 100, 28});

    m_groupBox1 = group("GroupBox1", QStringLiteral(" Interface "), {380, 470, 360, 86});
    m_checkUitgebreid =
        check(m_groupBox1, "CheckUitgebreid", QStringLiteral("Uitgebreide Editor"), {12, 28, 300, 24});
    m_checkMeldingen = check(m_groupBox1, "CheckMeldingen", QStringLiteral("Meldingen op het bureaublad"),
                             {12, 54, 340, 24});
    m_checkMeldingen->setChecked(true);

    // A third column: the address book in and the calendar out, every morning or at once.
    m_agendaBox = group("AgendaBox", QStringLiteral(" Adresboek en agenda "), {750, 10, 360, 546});
    label(m_agendaBox, "AdresboekLabel", QStringLiteral("Adres van het adresboek (CardDAV):"),
          {12, 26, 336, 22});
    m_adresboekEdit = edit(m_agendaBox, "AdresboekEdit", {12, 48, 336, 26});
    label(m_agendaBox, "AdresboekGebruikerLabel", QStringLiteral("Gebruiker van het adresboek:"),
          {12, 80, 336, 22});
    m_adresboekGebruikerEdit = edit(m_agendaBox, "AdresboekGebruikerEdit", {12, 102, 336, 26});
    label(m_agendaBox, "AgendaLabel", QStringLiteral("Adres van de agenda (CalDAV):"), {12, 144, 336, 22});
    m_agendaEdit = edit(m_agendaBox, "AgendaEdit", {12, 166, 336, 26});
    label(m_agendaBox, "AgendaGebruikerLabel", QStringLiteral("Gebruiker van de agenda:"),
          {12, 198, 336, 22});
    m_agendaGebruikerEdit = edit(m_agendaBox, "AgendaGebruikerEdit", {12, 220, 336, 26});
    m_agendaVoorafEdit = edit(m_agendaBox, "AgendaVoorafEdit", {12, 262, 50, 26});
    m_agendaVoorafEdit->setText(QStringLiteral("7"));
    label(m_agendaBox, "AgendaVoorafLabel", agendaVoorafCaption, {72, 264, 276, 24});
    m_agendaVoorafEdit->setToolTip(
        QStringLiteral("De agenda herinnert op de dag zelf en zoveel dagen vooraf (0: alleen op de dag)"));
    m_checkUitwisselen =
        check(m_agendaBox, "CheckUitwisselen", QStringLiteral("Elke ochtend adresboek en agenda bijwerken"),
              {12, 304, 340, 24});
    // The one letter of it no older control uses: theirs stay as they were.
    m_btnUitwisselen =
        button(m_agendaBox, "BtnUitwisselen", QStringLiteral("Nu bij&werken"), {218, 334, 130, 28});
    auto* passwordNote =
        label(m_agendaBox, "WachtwoordLabel",
              QStringLiteral("Het wachtwoord vraagt Brolt bij \"Nu bijwerken\" en bewaart het in "
                             "de sleutelbos van het bureaublad."),
              {12, 376, 336, 60});
    passwordNote->setWordWrap(true);
    passwordNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_btnOK = button(this, "BtnOK", QStringLiteral("OK"), {880, 590, 110, 30});
    m_btnCancel = button(this, "BtnCancel", QStringLiteral("Annuleren"), {1000, 590, 110, 30});
    m_btnOK->setDefault(true);
    // The design size, so that a larger desktop font grows the window only as far as the screen allows.
    resize(m_agendaBox->geometry().right() + 1 + 10, m_mailBox->geometry().bottom() + 1 + 10);

    connect(m_timerAan, &QCheckBox::clicked, this, &TOptionsForm::TimerAanClick);
    connect(m_geluidCheckBox, &QCheckBox::clicked, this, &TOptionsForm::GeluidCheckBoxClick);
    connect(m_radioSysteem, &QRadioButton::clicked, this, &TOptionsForm::RadioSysteemClick);
    connect(m_radioMelodie, &QRadioButton::clicked, this, &TOptionsForm::RadioSysteemClick);
    connect(m_checkUitgebreid, &QCheckBox::clicked, this, &TOptionsForm::CheckUitgebreidClick);
    connect(m_logCheck, &QCheckBox::clicked, this, &TOptionsForm::LogCheckClick);
    connect(m_btnCheck, &TClrBtn::clicked, this, &TOptionsForm::CheckButtonClick);
    connect(m_btnMelodie, &TClrBtn::clicked, this, &TOptionsForm::BtnMelodieClick);
    connect(m_btnBrowse, &TClrBtn::clicked, this, &TOptionsForm::BtnBrowseClick);
    connect(m_btnDefault, &TClrBtn::clicked, this, &TOptionsForm::BtnDefaultClick);
    connect(m_btnLog, &TClrBtn::clicked, this, &TOptionsForm::BtnLogClick);
    connect(m_btnUitwisselen, &TClrBtn::clicked, this, &TOptionsForm::BtnUitwisselenClick);
    connect(m_btnOK, &TClrBtn::clicked, this, &TOptionsForm::BtnOKClick);
    connect(m_btnCancel, &TClrBtn::clicked, this, &TOptionsForm::BtnCancelClick);
    for (QLineEdit* e : {m_duurEdit, m_achterafEdit, m_voorafEdit, m_agendaVoorafEdit})
        e->installEventFilter(this);

    SetHelpContext(this, 32050);
    SetHelpContext(m_radioDatum, 32051);
    SetHelpContext(m_radioSorteer, 32058);
    SetHelpContext(m_timerBox, 32058);
    SetHelpContext(m_timerAan, 32054);
    SetHelpContext(m_duurEdit, 32055);
    SetHelpContext(m_tijdBox, 32059);
    SetHelpContext(m_achterafEdit, 32056);
    SetHelpContext(m_voorafEdit, 32157);
    SetHelpContext(m_updateBox, 32150);
    SetHelpContext(m_updatesCheck, 32150);
    SetHelpContext(m_boxLog, 314);
    SetHelpContext(m_agendaBox, 32160);

    describeForKeyboardAndReaders();
    ReadOptions();
    PasToe();
    FormResize();
}

void TOptionsForm::describeForKeyboardAndReaders() {
    // Tab follows the layout: the path, the left column top to bottom, the middle column, the
    // address book and calendar, then OK and Annuleren.
    QList<QWidget*> order = {m_pathEdit, m_checkCopy, m_btnBrowse, m_btnDefault};
    for (const QButtonGroup* group : {m_datumGroup, m_sorteerGroup})
        for (QAbstractButton* radio : group->buttons())
            order << radio;
    order << QList<QWidget*>{m_timerAan,         m_duurEdit,
                             m_achterafEdit,     m_voorafEdit,
                             m_mailEdit,         m_geluidCheckBox,
                             m_radioSysteem,     m_radioMelodie,
                             m_btnMelodie,       m_updatesCheck,
                             m_btnCheck,         m_checkOpstart,
                             m_logCheck,         m_btnLog,
                             m_checkUitgebreid,  m_checkMeldingen,
                             m_adresboekEdit,    m_adresboekGebruikerEdit,
                             m_agendaEdit,       m_agendaGebruikerEdit,
                             m_agendaVoorafEdit, m_checkUitwisselen,
                             m_btnUitwisselen,   m_btnOK,
                             m_btnCancel};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    // Fields are named after their own label, not after the box around them.
    const std::pair<QLineEdit*, const char*> labelled[] = {
        {m_pathEdit, "PathLabel"},
        {m_duurEdit, "DuurLabel"},
        {m_achterafEdit, "AchterafLabel"},
        {m_voorafEdit, "VoorafLabel"},
        {m_adresboekEdit, "AdresboekLabel"},
        {m_adresboekGebruikerEdit, "AdresboekGebruikerLabel"},
        {m_agendaEdit, "AgendaLabel"},
        {m_agendaGebruikerEdit, "AgendaGebruikerLabel"},
        {m_agendaVoorafEdit, "AgendaVoorafLabel"}};
    for (const auto& [field, name] : labelled) {
        auto* label = findChild<QLabel*>(QLatin1String(name));
        label->setBuddy(field);
        NameControl(field, label->text());
    }
    NameControl(m_mailEdit, QStringLiteral("e-mailadres"));
    AddMnemonics(this);
    ScaleFixedLayout(this);
    FitCaptions(this);
    LastInputWasKeyboard(); // starts watching
}

TOptionsForm::~TOptionsForm() {
    // FormDestroy: the window's place for the next run.
    const int top = y() < 0 ? 100 : y();
    const int left = x() < 0 ? 100 : x();
    if (PositionsAreOurs()) {
        Store::writeInteger(Keys::OptionsTop.name, top);
        Store::writeInteger(Keys::OptionsLeft.name, left);
    }
}

// ------------------------------------------------------------------ load, apply, store

int TOptionsForm::itemIndex(const QButtonGroup* group) {
    return std::max(0, group->checkedId());
}

void TOptionsForm::setItemIndex(QButtonGroup* group, int index) {
    if (QAbstractButton* b = group->button(qBound(0, index, 2)))
        b->setChecked(true);
}

void TOptionsForm::ReadOptions() {
    LogScope log("OptionsForm", "ReadOptions");
    const bool logOnAtEntry = LogOn;
    WorkingSettings& w = Working();
    const StoredOptions s = ReadStoredOptions();

    w.nameOfFile = s.nameOfFile;
    m_checkCopy->setChecked(s.copyFiles);
    m_checkOpstart->setChecked(s.startUp);
    Store::remove(QString::fromLatin1(Keys::StandbyCheck.name));
    m_timerAan->setChecked(s.timerAan);
    m_duurEdit->setText(s.duur);
    m_geluidCheckBox->setChecked(s.geluidAan);
    // Both stored on: the melody, as it is set second; both off: neither.
    m_soundGroup->setExclusive(false);
    m_radioSysteem->setChecked(s.systeemAan && !s.melodieAan);
    m_radioMelodie->setChecked(s.melodieAan);
    m_soundGroup->setExclusive(true);
    w.melodyFile = s.melodyFile;
    m_updatesCheck->setChecked(s.updatesCheck);
    m_achterafEdit->setText(s.achteraf);
    m_voorafEdit->setText(s.vooraf);
    m_mailEdit->setText(s.eMail);
    m_checkUitgebreid->setChecked(s.uitgebreid);
    m_logCheck->setChecked(s.logAan);
    m_checkMeldingen->setChecked(s.meldingenAan);
    readAccounts(false);
    m_agendaVoorafEdit->setText(s.agendaVooraf);
    m_checkUitwisselen->setChecked(s.uitwisselenAan);
    // The notation and the sort order are carried by the data file, not read
    // from the store: the choices go back to the ones in use, so that leaving
    // with "Annuleren" cannot switch the date format away from the records'.
    setItemIndex(m_datumGroup, w.dateNotation);
    setItemIndex(m_sorteerGroup, w.sortOrder);
    PlaceFitted(this, QPoint(Store::readInteger(Keys::OptionsLeft), Store::readInteger(Keys::OptionsTop)),
                size());

    // Setting the boxes counts as clicking them.
    TimerAanClick();
    GeluidCheckBoxClick();
    CheckUitgebreidClick();
    LogCheckClick();

    m_justLoaded = true;
    if (!logOnAtEntry && LogOn)
        ResetLog(UserDataFolder());
}

void TOptionsForm::PasToe() {
    LogScope log("OptionsForm", "PasToe");
    WorkingSettings& w = Working();

    const DataFileParts parts = SplitDataFilePath(w.nameOfFile);
    w.dataFolder = parts.folder;
    w.fileName = parts.fileName;
    w.extension = parts.extension;
    w.copyFiles = m_checkCopy->isChecked();

    if (m_justLoaded) {
        m_pathEdit->setText(w.dataFolder);
        w.nameOfFile = w.dataFolder + w.fileName;
        m_data.setLocation(w.nameOfFile);
    } else if (m_shown && m_pathEdit->text() != w.dataFolder) {
        changeDataFolder(w.dataFolder);
    }

    if (m_justLoaded) {
        w.startUp = m_checkOpstart->isChecked();
    } else if (m_shown && m_checkOpstart->isChecked() != w.startUp) {
        w.startUp = m_checkOpstart->isChecked();
        if (!RegisterStartUp(w.startUp))
            note(QStringLiteral("Kan niet schrijven in ") + QFileInfo(AutostartEntryPath()).path(),
                 QString());
    }

    const int notation = itemIndex(m_datumGroup);
    if (m_justLoaded) {
        w.dateNotation = notation;
        applyNotation(notation);
    } else if (m_shown && notation != w.dateNotation) {
        w.dateNotation = notation;
        applyNotation(notation);
        rewriteDates(notation);
    }

    const int sort = itemIndex(m_sorteerGroup);
    if (m_justLoaded) {
        w.sortOrder = sort;
    } else if (m_shown && sort != w.sortOrder) {
        // The new order first: saving sorts the records by it.
        w.sortOrder = sort;
        saveData();
    }

    w.timerAan = m_timerAan->isChecked();
    w.geluidAan = m_geluidCheckBox->isChecked();
    w.systeemGeluid = m_radioSysteem->isChecked();
    w.melodieGeluid = m_radioMelodie->isChecked();
    GeluidCheckBoxClick();
    w.updatesCheck = m_updatesCheck->isChecked();
    w.achteraf = numberInUse(m_achterafEdit, 1, 10, w.achteraf, QStringLiteral("Aantal dagen Achteraf"),
                             QStringLiteral("dagen"));
    w.vooraf = numberInUse(m_voorafEdit, 1, 30, w.vooraf, QStringLiteral("Aantal dagen Vooraf"),
                           QStringLiteral("dagen"));
    w.duur = numberInUse(m_duurEdit, 1, 255, w.duur, QStringLiteral("Tijd in Seconden"),
                         QStringLiteral("seconden"));
    w.eMail = m_mailEdit->text();
    w.uitgebreid = m_checkUitgebreid->isChecked();
    w.meldingenAan = m_checkMeldingen->isChecked();
    w.agendaVooraf = numberInUse(m_agendaVoorafEdit, 0, MaxAlarmDays, w.agendaVooraf, agendaVoorafCaption,
                                 QStringLiteral("dagen"));
    LogOn = m_logCheck->isChecked();
    w.logAan = LogOn;

    if (hooks.applied)
        hooks.applied();
    m_duurEdit->setEnabled(w.timerAan);
    m_duurLabel->setEnabled(w.timerAan);

    if (m_mainWindow) {
        const QScreen* screen = m_mainWindow->screen();
        const QRect area = screen ? screen->geometry() : QRect(0, 0, 1920, 1080);
        QPoint at = m_mainWindow->pos();
        if (at.y() < 1 || at.y() > area.height())
            at.setY(10);
        if (at.x() < 1 || at.x() > area.width())
            at.setX(10);
        if (at != m_mainWindow->pos())
            m_mainWindow->move(at);
    }
    m_justLoaded = false;
}

void TOptionsForm::WriteOptions() {
    const WorkingSettings& w = Working();
    Store::writeText(Keys::NameOfFile.name, withSlash(m_pathEdit->text()) + w.fileName);
    Store::writeBool(Keys::CopyFiles.name, m_checkCopy->isChecked());
    Store::writeBool(Keys::StartUpCheckWrite.name, m_checkOpstart->isChecked());
    Store::writeInteger(Keys::ShortDate.name, itemIndex(m_datumGroup));
    Store::writeInteger(Keys::SorteerOp.name, itemIndex(m_sorteerGroup));
    Store::writeBool(Keys::TimerAan.name, m_timerAan->isChecked());
    Store::writeText(Keys::Duur.name, m_duurEdit->text());
    Store::writeBool(Keys::GeluidAan.name, w.geluidAan);
    Store::writeBool(Keys::SysteemAan.name, w.systeemGeluid);
    Store::writeBool(Keys::MelodieAan.name, w.melodieGeluid);
    Store::writeText(Keys::PadVoorMelodie.name, w.melodyFile);
    Store::writeBool(Keys::UpdatesCheck.name, m_updatesCheck->isChecked());
    Store::writeText(Keys::Achteraf.name, m_achterafEdit->text());
    Store::writeText(Keys::Vooraf.name, m_voorafEdit->text());
    Store::writeText(Keys::EMail.name, m_mailEdit->text());
    Store::writeBool(Keys::UitgebreidCheck.name, m_checkUitgebreid->isChecked());
    Store::writeBool(Keys::Year1900.name, false);
    Store::writeBool(Keys::LogAan.name, m_logCheck->isChecked());
    Store::writeBool(Keys::MeldingenAan.name, m_checkMeldingen->isChecked());
    writeAccounts();
    Store::writeText(Keys::AgendaVooraf.name, m_agendaVoorafEdit->text());
    Store::writeBool(Keys::UitwisselenAan.name, m_checkUitwisselen->isChecked());
}

namespace {
// The accounts' keys, in the order of their fields.
const StoreKey* const accountKeys[] = {&Keys::AdresboekAdres, &Keys::AdresboekGebruiker, &Keys::AgendaAdres,
                                       &Keys::AgendaGebruiker};
} // namespace

void TOptionsForm::readAccounts(bool onlyChanged) {
    const StoreSnapshot store;
    QLineEdit* const fields[] = {m_adresboekEdit, m_adresboekGebruikerEdit, m_agendaEdit,
                                 m_agendaGebruikerEdit};
    m_accountsRead.resize(std::size(fields));
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const QString stored = store.readText(*accountKeys[i]);
        // What is typed here stays, unless an exchange dialog stored another since.
        if (!onlyChanged || stored != m_accountsRead[i])
            fields[i]->setText(stored);
        m_accountsRead[i] = stored;
    }
}

void TOptionsForm::writeAccounts() {
    QLineEdit* const fields[] = {m_adresboekEdit, m_adresboekGebruikerEdit, m_agendaEdit,
                                 m_agendaGebruikerEdit};
    for (QLineEdit* address : {m_adresboekEdit, m_agendaEdit}) {
        const QString typed = address->text().trimmed();
        if (typed.isEmpty())
            continue;
        // Kept as the exchange dialogs keep it: never with a password typed into it.
        const DavAddress parsed = ParseDavAddress(typed);
        QUrl url = parsed.url;
        QLineEdit* user = address == m_adresboekEdit ? m_adresboekGebruikerEdit : m_agendaGebruikerEdit;
        if (user->text().trimmed().isEmpty())
            user->setText(url.userName());
        url.setUserInfo(QString());
        address->setText(parsed.error.isEmpty() ? url.toString() : parsed.shown);
    }
    m_accountsRead.resize(std::size(fields));
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        m_accountsRead[i] = fields[i]->text().trimmed();
        Store::writeText(QLatin1String(accountKeys[i]->name), m_accountsRead[i]);
    }
}

void TOptionsForm::applyNotation(int notation) {
    SetShortDateFormat(NotationFormat(notation));
    m_data.formatLabel = QStringLiteral("Datumformaat: ") + NotationDisplayName(notation);
    if (hooks.notationApplied)
        hooks.notationApplied();
}

void TOptionsForm::rewriteDates(int notation) {
    m_data.dateNotation = notation;
    // Every record row; the blank row after them has no date.
    const int lastRecord = m_table.rowCount() >= 3 ? m_table.rowCount() - 2 : 0;
    for (int r = 1; r <= lastRecord; ++r) {
        const QString dayText = m_table.cell(r, Col::DayNumber);
        const QString digits = RemoveSpaces(dayText);
        if (digits.isEmpty())
            continue;
        bool ok = false;
        const int day = digits.toInt(&ok);
        const QDate date = ok ? DateOfDayNumber(day) : QDate();
        if (!date.isValid()) {
            note(QStringLiteral("De naam \"") + m_table.cell(r, Col::Name) + QStringLiteral(" heeft"),
                 QStringLiteral("geen geldige datum (") + dayText + QStringLiteral(")."));
            continue;
        }
        m_table.setCell(r, Col::Date, DateInNotation(date.year(), date.month(), date.day(), notation));
    }
    // No records (a file that could not be read): nothing to write, and an
    // empty save would replace the file on disk.
    if (m_table.recordCount() > 0)
        saveData();
}

void TOptionsForm::saveData() {
    // Marked as changed so that saving writes the file; a save that did not
    // happen leaves the mark, so the changes are still asked about at closing.
    const bool wasUnsaved = m_data.unsavedChanges;
    m_data.unsavedChanges = true;
    // A file that could not be read is not written over (the user was told):
    // the mark set here for this save goes again.
    if (!m_data.save() && m_data.readFailed())
        m_data.unsavedChanges = wasUnsaved;
}

void TOptionsForm::changeDataFolder(const QString oldFolder) {
    WorkingSettings& w = Working();
    // A folder typed without its final "/" is still that folder.
    const QString folder = withSlash(m_pathEdit->text());
    if (folder.isEmpty() || !QDir().mkpath(folder) || !QFileInfo(folder).isDir() ||
        !QFileInfo(folder).isWritable()) {
        note(QStringLiteral("Kan niet schrijven in ") + folder,
             QStringLiteral("De bestanden blijven in ") + oldFolder);
        m_pathEdit->setText(oldFolder);
        return;
    }
    if (folder != oldFolder && w.copyFiles) {
        CopyNewerByExt(oldFolder, folder, QStringLiteral("dat"));
        CopyNewerByExt(oldFolder, folder, QStringLiteral("jpg"));
        CopyNewerByExt(oldFolder, folder, QStringLiteral("kaarten")); // which card each record came from
    }
    w.dataFolder = folder;
    m_pathEdit->setText(folder);
    w.nameOfFile = folder + w.fileName;
    m_data.setLocation(w.nameOfFile);
    if (folder == oldFolder)
        return;
    if (m_data.unsavedChanges) {
        // Changes in hand stay in hand, and are saved into the new folder;
        // a data file of its own there is not saved over without a question.
        QByteArray theirs, ours;
        if (FileSizeOf(m_data.defaultFilePath()) > 0 &&
            (!ReadWholeFile(m_data.defaultFilePath(), theirs) ||
             !ReadWholeFile(oldFolder + w.fileName, ours) || theirs != ours))
            m_data.otherFileRead = true;
        return;
    }
    if (QFileInfo::exists(m_data.defaultFilePath())) {
        // The folder's own data file is the one in use from now on: show its
        // records, so that a later save does not replace them with these.
        m_data.reread();
    } else if (m_table.recordCount() > 0) {
        // Nothing here yet: the records in hand are not saved in this folder
        // until the user saves them (and is asked to at closing).
        m_data.unsavedChanges = true;
    }
}

bool TOptionsForm::fieldNumber(QLineEdit* edit, int& value) {
    const QString text = RemoveSpaces(edit->text());
    if (text.isEmpty())
        return false;
    if (ParseOptionNumber(text, value))
        return true;
    note(text + QStringLiteral(" is geen geldig getal"), QString());
    return false;
}

int TOptionsForm::numberInUse(QLineEdit* edit, int low, int high, int current, const QString& label,
                              const QString& unit) {
    int n = current;
    const QString text = RemoveSpaces(edit->text());
    if (fieldNumber(edit, n) && (n < low || n > high)) {
        n = qBound(low, n, high);
        if (m_shown && isVisible())
            note(text + QStringLiteral(" is buiten het toegestane "),
                 QStringLiteral("bereik van %1..%2 ").arg(low).arg(high) + unit + QStringLiteral("\r\n") +
                     label + QStringLiteral(" wordt ") + QString::number(n) + u'.');
    }
    // The field shows, and WriteOptions stores, the value in use.
    edit->setText(QString::number(n));
    return n;
}

void TOptionsForm::note(const QString& first, const QString& second) {
    Ui::instance().showTimedMessage(5000, first, second, frameGeometry());
}

void TOptionsForm::focusOK() {
    // Someone at the keyboard goes on to the next control, not to OK.
    if (isVisible() && !LastInputWasKeyboard())
        m_btnOK->setFocus();
}

void TOptionsForm::NotationDetected(int notation) {
    Working().dateNotation = notation;
    if (itemIndex(m_datumGroup) != notation) {
        setItemIndex(m_datumGroup, notation);
        WriteOptions();
    }
}

bool TOptionsForm::BrowseForDataFolder(QString& folder) {
    BtnBrowseClick();
    folder = withSlash(m_pathEdit->text());
    // The chosen folder is the data folder from now on, for saving too.
    WorkingSettings& w = Working();
    w.dataFolder = folder;
    w.nameOfFile = folder + w.fileName;
    m_data.setLocation(w.nameOfFile);
    m_pathEdit->setText(folder);
    WriteOptions();
    return true;
}

// ------------------------------------------------------------------ events

void TOptionsForm::showEvent(QShowEvent* event) {
    m_leaving = false;
    QDialog::showEvent(event);
    FormPaint();
}

void TOptionsForm::FormPaint() {
    if (!m_shown)
        FormResize();
    readAccounts(true);
    m_shown = true;
    if (isVisible())
        m_btnCancel->setFocus();
}

void TOptionsForm::FormResize() {
    if (m_shown)
        return;
    FitFixedWindow(this, {m_agendaBox->geometry().right() + 1 + m_pathBox->x(),
                          m_mailBox->geometry().bottom() + 1 + m_pathBox->y()});
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        const QRect frame = frameGeometry();
        if (frame.bottom() > area.bottom())
            move(x(), std::max(area.top(), y() - (frame.bottom() - area.bottom())));
    }
}

bool TOptionsForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Leaving the field, not the window.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            fieldLeft(watched);
    }
    return QDialog::eventFilter(watched, event);
}

void TOptionsForm::fieldLeft(QObject* field) {
    // A note that shows while the mouse button that left the field is still
    // down swallows its release: the click on OK would be lost.  The field is
    // checked once the button is up; after OK or Annuleren there is nothing
    // left to check.
    if (QGuiApplication::mouseButtons() != Qt::NoButton) {
        QTimer::singleShot(20, this, [this, field] { fieldLeft(field); });
        return;
    }
    if (!isVisible() || m_leaving)
        return;
    if (field == m_duurEdit)
        DuurEditExit();
    else if (field == m_achterafEdit)
        AchterafEditExit();
    else if (field == m_voorafEdit)
        VoorafEditExit();
    else if (field == m_agendaVoorafEdit)
        AgendaVoorafEditExit();
}

void TOptionsForm::TimerAanClick() {
    m_duurEdit->setEnabled(m_timerAan->isChecked());
    m_duurLabel->setEnabled(m_timerAan->isChecked());
    DuurEditExit();
    focusOK();
}

void TOptionsForm::DuurEditExit() {
    const QString text = RemoveSpaces(m_duurEdit->text());
    if (!text.isEmpty()) {
        int n = 0;
        if (!ParseOptionNumber(text, n)) {
            note(text + QStringLiteral(" is geen geldig getal"), QString());
        } else if (n < 1 || n > 255) {
            note(text + QStringLiteral(" is buiten het toegestane "),
                 QStringLiteral("bereik van 1..255 seconden"));
        } else {
            m_duurEdit->setText(QString::number(n));
            focusOK();
        }
    }
    m_duurEdit->setEnabled(m_timerAan->isChecked());
    m_duurLabel->setEnabled(m_timerAan->isChecked());
}

void TOptionsForm::rangeCheck(QLineEdit* edit, int low, int high, const QString& unit, int* working) {
    const QString text = RemoveSpaces(edit->text());
    if (text.isEmpty())
        return;
    int n = 0;
    if (!ParseOptionNumber(text, n)) {
        note(text + QStringLiteral(" is geen geldig getal"), QString());
    } else if (n < low || n > high) {
        note(text + QStringLiteral(" is buiten het toegestane "),
             QStringLiteral("bereik van %1..%2 ").arg(low).arg(high) + unit);
    } else {
        *working = n;
        focusOK();
    }
}

void TOptionsForm::AchterafEditExit() {
    rangeCheck(m_achterafEdit, 1, 10, QStringLiteral("dagen"), &Working().achteraf);
}

void TOptionsForm::VoorafEditExit() {
    rangeCheck(m_voorafEdit, 1, 30, QStringLiteral("dagen"), &Working().vooraf);
}

void TOptionsForm::AgendaVoorafEditExit() {
    rangeCheck(m_agendaVoorafEdit, 0, MaxAlarmDays, QStringLiteral("dagen"), &Working().agendaVooraf);
}

void TOptionsForm::BtnUitwisselenClick() {
    // What the group holds is what runs: the accounts as the exchange dialogs
    // keep them, and the days of the calendar's alarm.
    writeAccounts();
    const int vooraf = numberInUse(m_agendaVoorafEdit, 0, MaxAlarmDays, Working().agendaVooraf,
                                   agendaVoorafCaption, QStringLiteral("dagen"));
    Working().agendaVooraf = vooraf;
    Store::writeInteger(Keys::AgendaVooraf.name, vooraf);
    if (!hooks.exchangeNow)
        return;
    const QString result = hooks.exchangeNow(frameGeometry());
    Ui::instance().showMessage(result, programName + QStringLiteral(" - Adresboek en agenda"),
                               frameGeometry());
}

void TOptionsForm::RadioClick() {
    if (m_shown)
        focusOK();
}

void TOptionsForm::CheckButtonClick() {
    if (hooks.checkForUpdates)
        hooks.checkForUpdates(frameGeometry());
}

void TOptionsForm::GeluidCheckBoxClick() {
    const bool on = m_geluidCheckBox->isChecked();
    m_radioSysteem->setEnabled(on);
    m_radioMelodie->setEnabled(on);
    m_btnMelodie->setEnabled(on && m_radioMelodie->isChecked());
}

void TOptionsForm::RadioSysteemClick() {
    m_btnMelodie->setEnabled(m_radioMelodie->isChecked());
}

void TOptionsForm::BtnMelodieClick() {
    Ui::BrowseRequest request;
    request.startPath = Working().melodyFile;
    request.caption = programName + QStringLiteral(" - Pad voor Melodie");
    request.heading = QStringLiteral("Selecteer het pad voor de bestanden\r\nen klik op OK.");
    request.mask = QStringLiteral("*.mp3");
    QString path;
    if (!Ui::instance().browse(request, path) || path.isEmpty())
        return;
    Working().melodyFile = path;
    focusOK();
    if (hooks.tryMelody) {
        hooks.tryMelody(path);
        return;
    }
    TFormMusic* music = TFormMusic::instance();
    music->SetFileLabels(path);
    music->show();
    music->TestMelody(path);
}

void TOptionsForm::BtnBrowseClick() {
    Ui::BrowseRequest request;
    request.startPath = Working().dataFolder;
    request.caption = QStringLiteral("  ") + programName + QStringLiteral(" - Pad voor bestanden");
    request.heading = QStringLiteral("Selecteer het pad voor de bestanden\n\ren klik op OK.");
    QString path;
    if (Ui::instance().browse(request, path) && !path.isEmpty())
        m_pathEdit->setText(path);
}

void TOptionsForm::BtnDefaultClick() {
    m_pathEdit->setText(UserDataFolder());
}

void TOptionsForm::CheckUitgebreidClick() {
    // In use at once; stored with OK, and "Annuleren" brings back what is stored.
    Working().uitgebreid = m_checkUitgebreid->isChecked();
}

void TOptionsForm::SetUitgebreid(bool on) {
    // One setting with the main window's "Uitgebreid": a click there is
    // stored at once, so that "Annuleren" here keeps it.
    m_checkUitgebreid->setChecked(on);
    CheckUitgebreidClick();
    Store::writeBool(Keys::UitgebreidCheck.name, on);
}

void TOptionsForm::SetSortOrder(int order) {
    setItemIndex(m_sorteerGroup, order);
    Working().sortOrder = order;
}

void TOptionsForm::LogCheckClick() {
    LogOn = m_logCheck->isChecked();
    Working().logAan = LogOn;
}

void TOptionsForm::BtnLogClick() {
    if (hooks.showLogViewer)
        hooks.showLogViewer();
}

void TOptionsForm::BtnOKClick() {
    // OK checks every field itself; a field check still waiting for the
    // mouse button to come up must not show its note over OK's.
    m_leaving = true;
    PasToe();
    WriteOptions();
    accept();
}

void TOptionsForm::BtnCancelClick() {
    m_leaving = true;
    {
        LogScope log("OptionsForm", "BtnCancelClick");
        ReadOptions();
        PasToe();
        if (isVisible())
            m_btnCancel->setFocus();
    }
    reject();
}
