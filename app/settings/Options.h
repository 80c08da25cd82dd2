#pragma once

#include "records/DataFile.h"
#include "records/RecordTable.h"

#include <QDialog>
#include <QPointer>
#include <QRect>
#include <QStringList>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class TClrBtn;

// The settings window.  Besides editing it owns the three steps the rest of
// the program relies on: ReadOptions (store -> controls), PasToe (controls ->
// working settings and the other windows) and WriteOptions (controls -> store).
// It is made once at start-up; making it loads the working settings.
class TOptionsForm : public QDialog {
    Q_OBJECT

public:
    // What the window asks of the rest of the program; a hook left empty does nothing.
    struct Hooks {
        // The main window takes over the working settings: its "Uitgebreid"
        // box and its countdown (TMainForm::ApplyCountdownSettings), then lays itself out.
        std::function<void()> applied;
        // The date notation changed: the main window's date label and the edit
        // grid's LabelFormaat (DataFile::formatLabel) show the new format.
        std::function<void()> notationApplied;
        // "Toon": the log viewer, modally.
        std::function<void()> showLogViewer;
        // "Check Nu": the manual update check, placed over this window.
        std::function<void(const QRect& caller)> checkForUpdates;
        // "Bladeren" for the melody: let the user try `file` (the melody window by default).
        std::function<void(const QString& file)> tryMelody;
        // "Nu bijwerken": the address book in and the calendar out, at once;
        // the result as the message shows it.
        std::function<QString(const QRect& caller)> exchangeNow;
    };

    // `parent` is the main window: PasToe keeps it on the screen.
    TOptionsForm(RecordTable& table, DataFile& data, QWidget* parent = nullptr);
    ~TOptionsForm() override;

    Hooks hooks;

    void ReadOptions();
    void PasToe();
    void WriteOptions();

    // The data file reader found `notation` in a file (DataFile::notationDetected).
    void NotationDetected(int notation);
    // The main window's "Uitgebreid" was clicked: the same setting as "Uitgebreide Editor".
    void SetUitgebreid(bool on);
    // A header of the edit grid was clicked: the records are sorted by `order`
    // (0 name, 1 date, 2 age), and that is the choice here too.
    void SetSortOrder(int order);
    // The data file is missing (DataFile::browseForDataFolder): the folder
    // browser of "Bladeren"; `folder` becomes the path field's folder, which
    // is now the data folder, and the options are stored.
    bool BrowseForDataFolder(QString& folder);

    bool shown() const { return m_shown; }
    bool justLoaded() const { return m_justLoaded; }

public Q_SLOTS:
    void FormPaint();
    void FormResize();
    void TimerAanClick();
    void DuurEditExit();
    void AchterafEditExit();
    void VoorafEditExit();
    void RadioClick();
    void CheckButtonClick();
    void GeluidCheckBoxClick();
    void RadioSysteemClick();
    void BtnMelodieClick();
    void BtnBrowseClick();
    void BtnDefaultClick();
    void CheckUitgebreidClick();
    void LogCheckClick();
    void BtnLogClick();
    void AgendaVoorafEditExit();
    void BtnUitwisselenClick();
    void BtnOKClick();
    void BtnCancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QGroupBox* group(const char* name, const QString& title, const QRect& geometry);
    TClrBtn* button(QWidget* parent, const char* name, const QString& caption, const QRect& geometry);
    // A number field lost the focus: its exit handler, once the mouse is up.
    void fieldLeft(QObject* field);
    void applyNotation(int notation);
    void rewriteDates(int notation);
    // By value: the working data folder it is given changes on the way.
    void changeDataFolder(QString oldFolder);
    void saveData();
    // A number field's value: false, with a note, when the text is no whole number.
    bool fieldNumber(QLineEdit* edit, int& value);
    // The value a number field puts in use: its number brought within
    // low..high (the user is told), or `current` when it holds none.
    int numberInUse(QLineEdit* edit, int low, int high, int current, const QString& label,
                    const QString& unit);
    void rangeCheck(QLineEdit* edit, int low, int high, const QString& unit, int* working);
    void note(const QString& first, const QString& second);
    // The address book's and the calendar's address and user, from the store
    // they share with the exchange dialogs, and back into it.
    void readAccounts(bool onlyChanged);
    void writeAccounts();
    void focusOK();
    void describeForKeyboardAndReaders();
    static int itemIndex(const QButtonGroup* group);
    static void setItemIndex(QButtonGroup* group, int index);

    RecordTable& m_table;
    DataFile& m_data;
    QPointer<QWidget> m_mainWindow;
    bool m_shown = false;
    bool m_leaving = false; // OK was clicked: the fields are no longer left one by one
    bool m_justLoaded = false;
    bool m_resized = false;

    QGroupBox* m_radioDatum;
    QButtonGroup* m_datumGroup;
    QGroupBox* m_radioSorteer;
    QButtonGroup* m_sorteerGroup;
    QGroupBox* m_timerBox;
    QCheckBox* m_timerAan;
    QLineEdit* m_duurEdit;
    QLabel* m_duurLabel;
    QGroupBox* m_tijdBox;
    QLineEdit* m_achterafEdit;
    QLineEdit* m_voorafEdit;
    QGroupBox* m_updateBox;
    QCheckBox* m_updatesCheck;
    TClrBtn* m_btnCheck;
    QGroupBox* m_mailBox;
    QLineEdit* m_mailEdit;
    QGroupBox* m_soundBox;
    QCheckBox* m_geluidCheckBox;
    QRadioButton* m_radioSysteem;
    QRadioButton* m_radioMelodie;
    QButtonGroup* m_soundGroup;
    TClrBtn* m_btnMelodie;
    QGroupBox* m_pathBox;
    QLabel* m_pathLabel;
    QLineEdit* m_pathEdit;
    QCheckBox* m_checkCopy;
    TClrBtn* m_btnBrowse;
    TClrBtn* m_btnDefault;
    QGroupBox* m_radioOpstarten;
    QCheckBox* m_checkOpstart;
    QGroupBox* m_boxLog;
    QCheckBox* m_logCheck;
    TClrBtn* m_btnLog;
    QGroupBox* m_groupBox1;
    QCheckBox* m_checkUitgebreid;
    QCheckBox* m_checkMeldingen;
    QGroupBox* m_agendaBox;
    QLineEdit* m_adresboekEdit;
    QLineEdit* m_adresboekGebruikerEdit;
    QLineEdit* m_agendaEdit;
    QLineEdit* m_agendaGebruikerEdit;
    QLineEdit* m_agendaVoorafEdit;
    QCheckBox* m_checkUitwisselen;
    TClrBtn* m_btnUitwisselen;
    QStringList m_accountsRead; // as last read from the store or written to it
    TClrBtn* m_btnOK;
    TClrBtn* m_btnCancel;
};
