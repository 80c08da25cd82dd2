#pragma once

#include "Start.h"
#include "exchange/Morning.h"
#include "records/DataFile.h"
#include "records/RecordTable.h"

#include <QCheckBox>
#include <QStringList>
#include <QWidget>

#include <optional>

class QLabel;
class QMenu;
class QProgressBar;
class QTextEdit;
class QTimer;
class QToolButton;
class TBerichtForm;
class TClrBtn;
class TPictureImage;
class TEditForm;
class TCalendarDlg;
class TPropertiesForm;
class TOptionsForm;
class TAboutForm;
class TVersionsForm;
class TSchrijfBackupForm;
class TShowListsForm;
class TLeesBackupForm;
class TToonLogForm;
class TFormUitleg;

// The main window: the reminder text with the picture of the person it is
// about, the tool bar that opens every other window, the countdown that closes
// the program, and the program's life from the first paint to the end.
class TMainForm : public QWidget {
    Q_OBJECT

public:
    static constexpr int MinimumWidth = 650;
    static constexpr int MinimumHeight = 400;
    static constexpr int PicturePanelWidth = 201;
    static constexpr int MinimumMemoWidth = 400;

    // `arguments` as the program got them, the program itself first.
    explicit TMainForm(const QStringList& arguments, QWidget* parent = nullptr);
    ~TMainForm() override;

    RecordTable& records() { return m_table; }
    TEditForm* editForm() const { return m_editForm; }
    TPropertiesForm* propertiesForm() const { return m_propertiesForm; }
    TOptionsForm* optionsForm() const { return m_optionsForm; }
    DataFile& dataFile() { return m_data; }
    bool painted() const { return m_data.painted; }
    bool automaticMode() const { return m_automaticMode; }
    QString currentPicture() const { return m_currentPicture; }
    // The picture file last drawn into `Image`.
    QString shownPictureFile() const { return m_shownFile; }
    const QStringList& pictureOfLine() const { return m_pictureOfLine; }
    int countdownTicks() const { return m_countdownTicks; }

    // The news window asked at the first paint; none means no news.
    void setBerichtForm(TBerichtForm* form) { m_bericht = form; }
    // The file name the program-name check looks at; the running executable's by default.
    void setProgramFile(const QString& fileName) { m_programFile = fileName; }
    // The timer that ends the program after a wrong program name was found.
    QTimer* endTimer() const { return m_endTimer; }

public Q_SLOTS:
    // Handlers; public so that the program's other windows and tests can drive them.
    void FormPaint();
    void FormResize();
    void ShowReminders();
    void TimerTimer();
    void UpdateTimerTimer();
    void TimerDatumTimer();
    void BtnPauzeClick();
    void PauseCountdown();
    // Takes over "Timer Aan" and "Duur" from the working settings: the options
    // window's apply step calls it too.
    void ApplyCountdownSettings();
    void SpeedOpenClick();
    void SpeedEditClick();
    void SpeedSaveClick();
    void SpeedOptionsClick();
    void SpeedBackupClick();
    void SpeedUpdateClick();
    void SpeedInfoClick();
    void SpeedEindeClick();
    void CheckUitgebreidClick();
    void BtnUitlegClick();
    // A click on line `line` of the reminder text.
    void DagenMemoMouseDown(int line);
    // A second start of the program asked for this window.
    void BringToFront();
    // What the morning's exchange of address book and calendar did: a log
    // line, and a failure in the status line; new records are read.  Before
    // the first paint it waits for that paint's fresh log.
    void ShowExchangeOutcome(const MorningOutcome& outcome);

Q_SIGNALS:
    // The window accepted its closing: the program ends.
    void closed();
    // Ten seconds after the first paint, when "Check voor Updates Aan" is on.
    void updateCheckDue();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QToolButton* addToolButton(const char* name, const QString& hint, int helpContext, const QIcon& icon);
    void buildMenus();
    void describeForKeyboardAndReaders();
    // A reminder colour as shown: its dark variant, readable on the text, under a dark palette.
    QColor reminderShade(const QColor& design) const;
    void placeControls();
    void createWindows();
    void showPicture(const QString& name);
    int pictureSide() const;
    void showReadState();
    void setSaveEnabled(bool enabled);
    void writePlacement(bool atDestruction);
    void endProgram();
    void helpKeyReleased(QWidget* focus);
    QString timeText(const QTime& time) const;
    // The clock label: today's weekday and the time now.
    void showClock();
    // The address book in and the calendar out on the data file, with the
    // window closed to input meanwhile; the records are read again after.
    MorningOutcome runExchange(const MorningRun& run);
    // "Nu bijwerken": the result as a message shows it.
    QString exchangeNow(const QRect& caller);

    RecordTable m_table;
    DataFile m_data;

    QWidget* m_toolPanel = nullptr;
    QToolButton* m_speedOpen = nullptr;
    QToolButton* m_speedEdit = nullptr;
    QToolButton* m_speedSave = nullptr;
    QToolButton* m_speedOptions = nullptr;
    QToolButton* m_speedBackup = nullptr;
    QToolButton* m_speedUpdate = nullptr;
    QToolButton* m_speedInfo = nullptr;
    QToolButton* m_speedEinde = nullptr;
    QList<QToolButton*> m_toolButtons;
    QCheckBox* m_checkUitgebreid = nullptr;
    TClrBtn* m_btnUitleg = nullptr;
    QLabel* m_labelDatum = nullptr;
    QWidget* m_mainPanel = nullptr;
    QTextEdit* m_dagenMemo = nullptr;
    QWidget* m_imagePanel = nullptr;
    TPictureImage* m_image = nullptr;
    QWidget* m_gaugePanel = nullptr;
    QProgressBar* m_gauge = nullptr;
    TClrBtn* m_btnPauze = nullptr;
    QWidget* m_statusPanel = nullptr;
    QLabel* m_aantalLabel = nullptr;
    QMenu* m_aboutPopUp = nullptr;
    QMenu* m_backUpPopup = nullptr;
    QTimer* m_timer = nullptr;
    QTimer* m_updateTimer = nullptr;
    QTimer* m_timerDatum = nullptr;
    QTimer* m_endTimer = nullptr;

    TEditForm* m_editForm = nullptr;
    TCalendarDlg* m_calendarDlg = nullptr;
    TPropertiesForm* m_propertiesForm = nullptr;
    TOptionsForm* m_optionsForm = nullptr;
    TAboutForm* m_aboutForm = nullptr;
    TVersionsForm* m_versionsForm = nullptr;
    TSchrijfBackupForm* m_schrijfBackupForm = nullptr;
    TShowListsForm* m_showListsForm = nullptr;
    TLeesBackupForm* m_leesBackupForm = nullptr;
    TToonLogForm* m_toonLogForm = nullptr;
    TFormUitleg* m_uitlegForm = nullptr;
    TBerichtForm* m_bericht = nullptr;
    QString m_programFile;
    QStringList m_pictureOfLine;
    QString m_currentPicture;
    QString m_shownFile;
    QSize m_shownBox;
    bool m_automaticMode = false;
    bool m_pictureClickRefresh = false;
    bool m_paintQueued = false;
    bool m_inResize = false;
    bool m_closed = false;
    bool m_readDone = false;
    int m_countdownTicks = 0;
    int m_lastDay = 0;
    // The exchange of a new day waits until no record is being changed.
    bool m_exchangeWaiting = false;
    bool m_exchanging = false;
    bool m_closeAfterExchange = false;
    QString m_exchangeNote;                            // a failed exchange, in the status line
    std::optional<MorningOutcome> m_exchangeUnlogged; // until the first paint starts the log
};
