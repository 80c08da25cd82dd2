#include "Main.h"

#include "editing/Datum.h"
#include "editing/Edit.h"
#include "editing/Props.h"
#include "exchange/Exchange.h"
#include "exchange/ExchangeDialogs.h"
#include "info/About.h"
#include "info/Uitleg.h"
#include "lists/Resize.h"
#include "lists/ShowLists.h"
#include "lists/ShowPicture.h"
#include "maintenance/GetVersions.h"
#include "maintenance/LeesBackup.h"
#include "maintenance/SchrijfBackup.h"
#include "maintenance/ToonLog.h"
#include "settings/Options.h"

#include "Ui.h"
#include "info/Bericht.h"
#include "kit/Clock.h"
#include "kit/ClrBtn.h"
#include "kit/Desktop.h"
#include "kit/Help.h"
#include "kit/Log.h"
#include "kit/Shades.h"
#include "kit/Store.h"
#include "kit/Support.h"
#include "records/Dates.h"
#include "records/Notify.h"
#include "records/Reminders.h"
#include "settings/Working.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include <utility>

namespace {
const QString programName = QStringLiteral("Brolt");
const QString versionText = QStringLiteral(BROLT_VERSION_LABEL);

constexpr int toolBarHeight = 40;
constexpr int toolButtonSize = 34;
constexpr int gaugePanelHeight = 30;
constexpr int gap = 10;
constexpr int outOfSight = -10000;

// Hints are written with "\r" as the line break of the original tool tips.
QString hintText(const char* hint) {
    return QString::fromUtf8(hint).replace(u'\r', u'\n');
}

// Every write makes the store flush its file to disk; a value that is already
// there is left alone, so an ordinary closing costs no disk writes at all.
void writeIfChanged(const StoreKey& key, const QString& value) {
    if (!Store::contains(QLatin1String(key.name)) || Store::readText(key) != value)
        Store::writeText(QLatin1String(key.name), value);
}
} // namespace

// ------------------------------------------------------------------ creation

TMainForm::TMainForm(const QStringList& arguments, QWidget* parent) : QWidget(parent), m_data(m_table) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(programName + QStringLiteral(", ") + versionText);
    m_data.caption = windowTitle();
    setFont(KitFont(QStringLiteral("Verdana"), 13));
    SetKitBackground(this, KitColor::Window);
    setMinimumSize(MinimumWidth, MinimumHeight);

    // Until the options window exists to load them, the main window does.
    LoadWorkingSettings();
    m_automaticMode = AutomaticModeRequested(arguments);
    Working().automaticMode = m_automaticMode;
    m_data.setLocation(Working().nameOfFile);
    // Started through the launcher, the name that counts is the launcher's.
    m_programFile = qEnvironmentVariable("BROLT_PROGRAM_FILE",
                                         QFileInfo(QCoreApplication::applicationFilePath()).fileName());

    // Tool bar.
    m_toolPanel = new QWidget(this);
    m_toolPanel->setObjectName(QStringLiteral("ToolPanel"));
    QStyle* st = style();
    m_speedOpen = addToolButton(
        "SpeedOpen", hintText("Lees een ander bestand met gegevens\rRechter muisknop voor Help"), 32020,
        QIcon::fromTheme(QStringLiteral("document-open"), st->standardIcon(QStyle::SP_DialogOpenButton)));
    m_speedEdit = addToolButton(
        "SpeedEdit", hintText("Toon de eenvoudige of de uitgebreide modus\rRechter muisknop voor Help"),
        32030,
        QIcon::fromTheme(QStringLiteral("document-edit"),
                         st->standardIcon(QStyle::SP_FileDialogDetailedView)));
    m_speedSave = addToolButton(
        "SpeedSave", hintText("Bewaar de wijzigingen\rRechter muisknop voor Help"), 32040,
        QIcon::fromTheme(QStringLiteral("document-save"), st->standardIcon(QStyle::SP_DialogSaveButton)));
    m_speedOptions = addToolButton(
        "SpeedOptions", hintText("Instellingen\rRechter muisknop voor Help"), 32050,
        QIcon::fromTheme(QStringLiteral("preferences-system"), st->standardIcon(QStyle::SP_ComputerIcon)));
    m_speedBackup = addToolButton(
        "SpeedBackup", hintText("Maak of lees een Backup van de gegevens\rRechter muisknop voor Help"), 32045,
        QIcon::fromTheme(QStringLiteral("drive-harddisk"), st->standardIcon(QStyle::SP_DriveHDIcon)));
    m_speedUpdate = addToolButton(
        "SpeedUpdate", hintText("Check voor Updates\rRechter muisknop voor Help"), 32060,
        QIcon::fromTheme(QStringLiteral("view-refresh"), st->standardIcon(QStyle::SP_BrowserReload)));
    m_speedInfo = addToolButton(
        "SpeedInfo", hintText("Informatie\rRechter muisknop voor Help"), 32070,
        QIcon::fromTheme(QStringLiteral("help-about"), st->standardIcon(QStyle::SP_MessageBoxInformation)));
    m_speedEinde = addToolButton(
        "SpeedEinde", hintText("Verlaat Brolt\rRechter muisknop voor Help"), 32080,
        QIcon::fromTheme(QStringLiteral("application-exit"), st->standardIcon(QStyle::SP_DialogCloseButton)));
    m_speedEdit->setEnabled(false);
    m_speedSave->setEnabled(false);
    connect(m_speedOpen, &QToolButton::clicked, this, &TMainForm::SpeedOpenClick);
    connect(m_speedEdit, &QToolButton::clicked, this, &TMainForm::SpeedEditClick);
    connect(m_speedSave, &QToolButton::clicked, this, &TMainForm::SpeedSaveClick);
    connect(m_speedOptions, &QToolButton::clicked, this, &TMainForm::SpeedOptionsClick);
    connect(m_speedBackup, &QToolButton::clicked, this, &TMainForm::SpeedBackupClick);
    connect(m_speedUpdate, &QToolButton::clicked, this, &TMainForm::SpeedUpdateClick);
    connect(m_speedInfo, &QToolButton::clicked, this, &TMainForm::SpeedInfoClick);
    connect(m_speedEinde, &QToolButton::clicked, this, &TMainForm::SpeedEindeClick);
    // A keyboard reaches every tool button with Tab and presses it with its shortcut.
    const std::pair<QToolButton*, QKeySequence> keys[] = {
        {m_speedOpen, QKeySequence::Open},     {m_speedEdit, Qt::CTRL | Qt::Key_E},
        {m_speedSave, QKeySequence::Save},     {m_speedOptions, Qt::CTRL | Qt::Key_Comma},
        {m_speedBackup, Qt::CTRL | Qt::Key_B}, {m_speedUpdate, Qt::CTRL | Qt::Key_U},
        {m_speedInfo, Qt::CTRL | Qt::Key_I},   {m_speedEinde, QKeySequence(Qt::CTRL | Qt::Key_Q)}};
    for (const auto& [button, key] : keys)
        MakeKeyboardButton(button, key);

    m_checkUitgebreid = new QCheckBox(QStringLiteral("Uitgebreid"), m_toolPanel);
    m_checkUitgebreid->setObjectName(QStringLiteral("CheckUitgebreid"));
    m_checkUitgebreid->setToolTip(QStringLiteral("Eenvoudige of uitgebreide modus"));
    m_checkUitgebreid->setChecked(Working().uitgebreid);
    m_checkUitgebreid->adjustSize();
    connect(m_checkUitgebreid, &QCheckBox::clicked, this, &TMainForm::CheckUitgebreidClick);

    m_btnUitleg = new TClrBtn(QStringLiteral("Uitleg"), m_toolPanel);
    m_btnUitleg->setObjectName(QStringLiteral("BtnUitleg"));
    m_btnUitleg->setToolTip(QStringLiteral("Toon uitleg over de eenvoudige modus"));
    m_btnUitleg->useKitColors();
    m_btnUitleg->resize(75, 25);
    connect(m_btnUitleg, &TClrBtn::clicked, this, &TMainForm::BtnUitlegClick);

    m_labelDatum = new QLabel(m_toolPanel);
    m_labelDatum->setObjectName(QStringLiteral("LabelDatum"));
    m_labelDatum->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // The reminder text with the picture on its right.
    m_mainPanel = new QWidget(this);
    m_mainPanel->setObjectName(QStringLiteral("MainPanel"));
    m_dagenMemo = new QTextEdit(m_mainPanel);
    m_dagenMemo->setObjectName(QStringLiteral("DagenMemo"));
    m_dagenMemo->setReadOnly(true);
    m_dagenMemo->setUndoRedoEnabled(false);
    m_dagenMemo->setLineWrapMode(QTextEdit::NoWrap);
    m_dagenMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_dagenMemo->setFont(KitFont(QStringLiteral("Verdana"), 15));
    m_dagenMemo->installEventFilter(this);
    m_dagenMemo->viewport()->installEventFilter(this);
    m_imagePanel = new QWidget(m_mainPanel);
    m_imagePanel->setObjectName(QStringLiteral("ImagePanel"));
    m_imagePanel->setVisible(false);
    m_image = new TPictureImage(m_imagePanel);
    m_image->setObjectName(QStringLiteral("Image"));

    // Countdown.
    m_gaugePanel = new QWidget(this);
    m_gaugePanel->setObjectName(QStringLiteral("GaugePanel"));
    m_gauge = new QProgressBar(m_gaugePanel);
    m_gauge->setObjectName(QStringLiteral("Gauge"));
    m_gauge->setTextVisible(false);
    m_gauge->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: rgb(255,0,0); }"));
    m_gauge->setRange(0, 600);
    m_gauge->setValue(0);
    m_btnPauze = new TClrBtn(QStringLiteral("Pauze"), m_gaugePanel);
    m_btnPauze->setObjectName(QStringLiteral("BtnPauze"));
    m_btnPauze->useKitColors();
    m_btnPauze->resize(75, 25);
    connect(m_btnPauze, &TClrBtn::clicked, this, &TMainForm::BtnPauzeClick);

    // Status line.
    m_statusPanel = new QWidget(this);
    m_statusPanel->setObjectName(QStringLiteral("StatusPanel"));
    m_aantalLabel = new QLabel(m_statusPanel);
    m_aantalLabel->setObjectName(QStringLiteral("AantalLabel"));

    buildMenus();
    describeForKeyboardAndReaders();

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer"));
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &TMainForm::TimerTimer);
    m_updateTimer = new QTimer(this);
    m_updateTimer->setObjectName(QStringLiteral("UpdateTimer"));
    m_updateTimer->setInterval(10000);
    connect(m_updateTimer, &QTimer::timeout, this, &TMainForm::UpdateTimerTimer);
    m_timerDatum = new QTimer(this);
    m_timerDatum->setObjectName(QStringLiteral("TimerDatum"));
    m_timerDatum->setInterval(60000);
    connect(m_timerDatum, &QTimer::timeout, this, &TMainForm::TimerDatumTimer);
    m_timerDatum->start();
    m_endTimer = new QTimer(this);
    m_endTimer->setObjectName(QStringLiteral("EndTimer"));
    m_endTimer->setSingleShot(true);
    m_endTimer->setInterval(5000);
    connect(m_endTimer, &QTimer::timeout, this, &TMainForm::endProgram);

    createWindows();

    // The data file tells the window what it did.
    m_data.stopCountdown = [this] { PauseCountdown(); };
    m_data.refresh = [this] {
        m_readDone = true;
        showReadState();
        FormResize();
    };
    m_data.callerRect = [this] { return frameGeometry(); };

    // Placement from the store, pulled back onto the screen when it was saved
    // on a larger one (another monitor, another resolution).
    PlaceFitted(this, QPoint(Store::readInteger(Keys::Left), Store::readInteger(Keys::Top)),
                QSize(qMax(Store::readInteger(Keys::Width), MinimumWidth),
                      qMax(Store::readInteger(Keys::Height), MinimumHeight)));

    TimerDatumTimer();

    // Help: the pages beside the program; a missing folder is said once and the program goes on.
    HelpAvailable();
    SetHelpContext(this, 1000);

    ApplyCountdownSettings();
    placeControls();
}

TMainForm::~TMainForm() {
    LogScope log("MainForm", "FormDestroy");
    m_pictureOfLine.clear();
    writePlacement(true);
}

QToolButton* TMainForm::addToolButton(const char* name, const QString& hint, int helpContext,
                                      const QIcon& icon) {
    auto* button = new QToolButton(m_toolPanel);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    button->setIcon(icon);
    button->setIconSize(QSize(24, 24));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->resize(toolButtonSize, toolButtonSize);
    button->installEventFilter(this);
    button->setProperty("helpContext", helpContext);
    SetHelpContext(button, helpContext);
    m_toolButtons.append(button);
    return button;
}

QColor TMainForm::reminderShade(const QColor& design) const {
    const QColor shade = Shade(design);
    return DesktopIsDark() ? ReadableOn(shade, m_dagenMemo->palette().color(QPalette::Base)) : shade;
}

void TMainForm::describeForKeyboardAndReaders() {
    // Tab follows the tool bar from left to right, then the text and the countdown.
    QWidget* order[] = {m_speedOpen,   m_speedEdit,   m_speedSave, m_speedOptions,
                        m_speedBackup, m_speedUpdate, m_speedInfo, m_checkUitgebreid,
                        m_btnUitleg,   m_speedEinde,  m_dagenMemo, m_btnPauze};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    NameControl(m_dagenMemo, QStringLiteral("Herinneringen"));
    ShowFocusFrame(m_dagenMemo);
    NameControl(m_gauge, QStringLiteral("Aftellen"));
    GiveWindowRole(this);
    FitCaptions(this);
}

void TMainForm::buildMenus() {
    m_aboutPopUp = new QMenu(this);
    m_aboutPopUp->setObjectName(QStringLiteral("AboutPopUp"));
    QAction* hulp = m_aboutPopUp->addAction(QStringLiteral("Hulp"));
    hulp->setObjectName(QStringLiteral("Hulp1"));
    hulp->setShortcut(QKeySequence(Qt::Key_F1));
    connect(hulp, &QAction::triggered, this, [this] {
        const bool running = m_timer->isActive();
        m_timer->stop();
        ShowHelp(1000);
        if (running)
            m_timer->start();
    });
    QAction* toonLog = m_aboutPopUp->addAction(QStringLiteral("Toon Log"));
    toonLog->setObjectName(QStringLiteral("ToonLog1"));
    connect(toonLog, &QAction::triggered, this, [this] {
        PauseCountdown();
        m_toonLogForm->exec();
    });
    m_aboutPopUp->addSeparator();
    QAction* over = m_aboutPopUp->addAction(QStringLiteral("Over Brolt..."));
    over->setObjectName(QStringLiteral("OverBrolt1"));
    connect(over, &QAction::triggered, this, [this] {
        PauseCountdown();
        m_aboutForm->AboutClick();
    });

    m_backUpPopup = new QMenu(this);
    m_backUpPopup->setObjectName(QStringLiteral("BackUpPopup"));
    QAction* maak = m_backUpPopup->addAction(QStringLiteral("&Maak Backup"));
    maak->setObjectName(QStringLiteral("MaakBackup1"));
    connect(maak, &QAction::triggered, this, [this] {
        PauseCountdown();
        m_schrijfBackupForm->StartBackup();
    });
    QAction* lees = m_backUpPopup->addAction(QStringLiteral("&Lees Backup"));
    lees->setObjectName(QStringLiteral("LeesBackup1"));
    connect(lees, &QAction::triggered, this, [this] {
        PauseCountdown();
        m_leesBackupForm->StartRestore();
    });
}

// ------------------------------------------------------------------ first paint

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The first paint's work runs as soon as the window is on screen, from the
    // event loop rather than inside the paint itself: it may open modal windows.
    if (!m_data.painted && !m_paintQueued) {
        m_paintQueued = true;
        QMetaObject::invokeMethod(this, &TMainForm::FormPaint, Qt::QueuedConnection);
    }
}

void TMainForm::FormPaint() {
    if (m_data.painted || m_closed)
        return;
    m_data.painted = true;
    LogOn = true;
    ResetLog(UserDataFolder());
    LogStep = 3;
    LogScope log("MainForm", "FormPaint");
    if (m_exchangeUnlogged)
        std::exchange(m_exchangeUnlogged, std::nullopt)->log();

    SetKitBackground(this, KitColor::Window);
    m_mainPanel->move(0, outOfSight);

    if (m_bericht && m_bericht->newsDue()) {
        PauseCountdown();
        m_bericht->ShowNews(frameGeometry());
    }

    m_data.provision();

    showClock();

    if (!ProgramNameIsOwn(m_programFile)) {
        Ui::instance().showTimedMessage(
            5000,
            QStringLiteral("De bestandsnaam is gewijzigd. Brolt zal over vijf seconden worden beëindigd."),
            QString(), frameGeometry());
        m_endTimer->start();
        return;
    }

    m_data.countText.clear();
    {
        const BusyCursor busy;
        m_data.read(m_data.dataFolder, programName, m_data.extension);
    }
    showReadState();

    setSaveEnabled(m_data.unsavedChanges);
    if (Working().updatesCheck)
        m_updateTimer->start();
    else
        m_updateTimer->stop();

    FormResize();
}

void TMainForm::showReadState() {
    setWindowTitle(m_data.caption);
    const bool read = !m_data.countText.isEmpty();
    const QString state = read ? m_data.countText : QStringLiteral("Geen Brolt-bestand gelezen");
    m_aantalLabel->setText(m_exchangeNote.isEmpty() ? state : state + QStringLiteral("   ") + m_exchangeNote);
    m_speedEdit->setEnabled(read);
}

void TMainForm::setSaveEnabled(bool enabled) {
    m_data.saveEnabled = enabled;
    m_speedSave->setEnabled(enabled);
}

// ------------------------------------------------------------------ layout

void TMainForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_data.painted)
        FormResize();
    else
        placeControls();
}

void TMainForm::FormResize() {
    if (!m_data.painted || m_inResize)
        return;
    m_inResize = true;
    LogScope log("MainForm", "FormResize");
    if (width() < MinimumWidth || height() < MinimumHeight)
        resize(qMax(width(), MinimumWidth), qMax(height(), MinimumHeight));

    // A picture once shown stays until the user clicks another line.
    const QString remembered = m_currentPicture;
    if (!m_pictureClickRefresh)
        ShowReminders();
    if (!remembered.isEmpty())
        m_currentPicture = remembered;

    // Whether the panel shows is decided by the picture about to be shown, so
    // that the first refresh shows its picture at once.
    m_imagePanel->setVisible(m_currentPicture.contains(QLatin1String("jpg")));
    placeControls();
    if (!m_currentPicture.isEmpty())
        showPicture(m_currentPicture);

    m_pictureClickRefresh = false;
    setSaveEnabled(m_data.unsavedChanges);
    m_inResize = false;
}

void TMainForm::placeControls() {
    const int w = width();
    const int h = height();

    m_toolPanel->setGeometry(0, 0, w, toolBarHeight);
    const int top = (toolBarHeight - toolButtonSize) / 2;
    int x = 4;
    for (QToolButton* b :
         {m_speedOpen, m_speedEdit, m_speedSave, m_speedOptions, m_speedBackup, m_speedUpdate, m_speedInfo}) {
        b->move(x, top);
        x += toolButtonSize + 2;
    }
    const int centre = toolBarHeight / 2;
    m_checkUitgebreid->move(m_speedInfo->x() + m_speedInfo->width() + gap,
                            centre - m_checkUitgebreid->height() / 2);
    m_btnUitleg->move(m_checkUitgebreid->x() + m_checkUitgebreid->width() + gap,
                      centre - m_btnUitleg->height() / 2);
    m_speedEinde->move(w - gap - m_speedEinde->width(), top);
    m_labelDatum->adjustSize();
    m_labelDatum->move(m_speedEinde->x() - gap - m_labelDatum->width(), centre - m_labelDatum->height() / 2);

    const int statusHeight = qRound(1.5 * QFontMetrics(m_statusPanel->font()).height());
    const bool gaugeShown = !m_gaugePanel->isHidden();
    const int mainHeight = h - toolBarHeight - statusHeight - (gaugeShown ? gaugePanelHeight + 1 : 0);
    m_mainPanel->setGeometry(0, toolBarHeight, w, qMax(mainHeight, 0));
    // The picture panel is a square as high as the text, but leaves the text
    // at least 400 pixels.
    const bool pictureShown = !m_imagePanel->isHidden();
    const int side = pictureSide();
    const int memoWidth = pictureShown ? w - side : w;
    m_dagenMemo->setGeometry(0, 0, memoWidth, m_mainPanel->height());
    m_imagePanel->setGeometry(memoWidth, 0, side, side);

    m_gaugePanel->setGeometry(0, m_mainPanel->y() + m_mainPanel->height() + 1, m_mainPanel->width(),
                              gaugePanelHeight);
    const int gaugeLeft = w / 8;
    const int gaugeWidth = w - m_btnPauze->width() - w / 4;
    m_gauge->setGeometry(gaugeLeft, (gaugePanelHeight - 16) / 2, gaugeWidth, 16);
    m_btnPauze->move(gaugeLeft + gaugeWidth + w / 16, (gaugePanelHeight - m_btnPauze->height()) / 2);

    m_statusPanel->setGeometry(0, h - statusHeight, w, statusHeight);
    m_aantalLabel->setGeometry(8, 0, w - 16, statusHeight);
}

void TMainForm::createWindows() {
    // Every window is made once, in this order, and kept for the whole run.
    m_editForm = new TEditForm(m_table, m_data, this);
    m_calendarDlg = new TCalendarDlg(this);
    m_editForm->setCalendarDlg(m_calendarDlg);
    m_propertiesForm = new TPropertiesForm(m_table, m_data, this);
    m_propertiesForm->setEditForm(m_editForm);
    m_editForm->openProperties = [this] { m_propertiesForm->OpenProperties(); };
    m_editForm->propsChanged = [this] { return m_propertiesForm->propsChanged(); };
    m_editForm->importPicture = [this](const QString& source, const QString& target, int maxWidth) {
        const BusyCursor busy;
        ImportPicture(source, target, maxWidth, QRect(m_editForm->mapToGlobal(QPoint()), m_editForm->size()));
    };

    // The options window loads every preference into the working settings.
    m_optionsForm = new TOptionsForm(m_table, m_data, this);
    m_optionsForm->hooks.applied = [this] {
        m_checkUitgebreid->setChecked(Working().uitgebreid);
        ApplyCountdownSettings();
        setSaveEnabled(m_data.saveEnabled);
        if (m_data.painted)
            FormResize();
    };
    m_data.notationDetected = [this](int notation) {
        m_optionsForm->NotationDetected(notation);
        showClock(); // every data file read shows the time it was read
    };
    m_editForm->sortOrderChosen = [this](int order) { m_optionsForm->SetSortOrder(order); };
    m_data.browseForDataFolder = [this](QString& folder) {
        return m_optionsForm->BrowseForDataFolder(folder);
    };
    m_optionsForm->hooks.showLogViewer = [this] { m_toonLogForm->exec(); };
    m_optionsForm->hooks.checkForUpdates = [this](const QRect& caller) {
        m_versionsForm->ManualCheck(caller);
    };
    m_optionsForm->hooks.exchangeNow = [this](const QRect& caller) { return exchangeNow(caller); };

    m_aboutForm = new TAboutForm(this);
    m_versionsForm = new TVersionsForm(this);
    connect(this, &TMainForm::updateCheckDue, m_versionsForm, [this] { m_versionsForm->AutoCheck(); });
    m_schrijfBackupForm = new TSchrijfBackupForm(m_data, this);
    m_schrijfBackupForm->mainRect = [this] { return frameGeometry(); };

    // The lists centre over the edit window they are opened from.
    m_showListsForm = new TShowListsForm(m_table, m_data, m_editForm);
    m_showListsForm->saveStateChanged = [this] { setSaveEnabled(m_data.saveEnabled); };
    m_editForm->showYearCalendar = [this] { m_showListsForm->ShowYearCalendar(); };
    m_editForm->showAllNames = [this] { m_showListsForm->ShowAllNames(); };

    m_leesBackupForm = new TLeesBackupForm(m_data, this);
    m_leesBackupForm->afterRestore = [this] {
        // A restored data file has been read: show what it holds.  Edits in
        // hand survive a restore of pictures only.
        m_data.refresh();
        setSaveEnabled(m_data.unsavedChanges);
        if (Working().updatesCheck)
            m_updateTimer->start();
        else
            m_updateTimer->stop();
    };
    m_toonLogForm = new TToonLogForm(this);
    m_uitlegForm = new TFormUitleg(this);

    m_checkUitgebreid->setChecked(Working().uitgebreid);
    ApplyCountdownSettings();
}

int TMainForm::pictureSide() const {
    return qMax(0, qMin(m_mainPanel->height(), width() - MinimumMemoWidth));
}

void TMainForm::showPicture(const QString& name) {
    const int side = pictureSide();
    QString file = m_data.dataFolder + name;
    if (name.isEmpty() || !QFileInfo::exists(file))
        file = m_data.dataFolder + QStringLiteral("Blanc.jpg");
    if (file == m_shownFile && QSize(side, side) == m_shownBox)
        return;
    if (ShowPictureMain(m_image, m_imagePanel, side, m_data.dataFolder, name)) {
        m_shownFile = file;
        m_shownBox = QSize(side, side);
    }
    m_imagePanel->move(m_dagenMemo->width(), 0);
}

void TMainForm::ShowReminders() {
    LogScope log("MainForm", "ShowBirthDays");
    const QDate today = Clock::today();
    ComputeDerivedColumns(m_table, m_data.dateNotation, today);

    m_dagenMemo->setUpdatesEnabled(false);
    const Reminders reminders = ComposeReminders(m_table, m_data.dateNotation, Working(), today);
    NotifyDueReminders(reminders, m_data.dataFolder, this);
    QTextDocument* document = m_dagenMemo->document();
    document->clear();
    QTextCursor cursor(document);
    bool first = true;
    for (const ReminderLine& line : reminders.lines) {
        if (!first)
            cursor.insertBlock();
        first = false;
        QTextCharFormat format;
        format.setForeground(reminderShade(QColor::fromRgb(line.colour)));
        cursor.insertText(line.text, format);
    }
    if (reminders.lines.empty() && !reminders.emptyLine.isEmpty() && !m_data.countText.isEmpty()) {
        // Nothing due: say so, in grey, rather than leave the view blank.
        QTextCharFormat format;
        format.setForeground(reminderShade(QColor(128, 128, 128)));
        cursor.insertText(reminders.emptyLine, format);
    }
    m_pictureOfLine = reminders.pictureOfLine;
    m_currentPicture = reminders.currentPicture;
    m_dagenMemo->moveCursor(QTextCursor::Start);
    m_dagenMemo->ensureCursorVisible();
    m_dagenMemo->setUpdatesEnabled(true);

    if (reminders.closeProgram)
        close();
}

// ------------------------------------------------------------------ timers

void TMainForm::ApplyCountdownSettings() {
    const WorkingSettings& w = Working();
    m_gauge->setMaximum(w.duur * 10);
    m_gaugePanel->setVisible(w.timerAan);
    if (w.timerAan)
        m_timer->start();
    else
        m_timer->stop();
    m_btnPauze->setText(w.timerAan ? QStringLiteral("Pauze") : QStringLiteral("Ga door"));
    if (m_data.painted)
        placeControls();
}

void TMainForm::TimerTimer() {
    ++m_countdownTicks;
    m_gauge->setValue(qMin(m_countdownTicks, m_gauge->maximum()));
    if (m_countdownTicks > m_gauge->maximum()) {
        m_timer->stop();
        close();
    }
}

void TMainForm::BtnPauzeClick() {
    m_btnPauze->setText(m_btnPauze->text() != QLatin1String("Pauze") ? QStringLiteral("Pauze")
                                                                     : QStringLiteral("Ga door"));
    if (m_btnPauze->text() == QLatin1String("Pauze"))
        m_timer->start();
    else
        m_timer->stop();
}

void TMainForm::PauseCountdown() {
    m_timer->stop();
    m_btnPauze->setText(QStringLiteral("Ga door"));
}

void TMainForm::UpdateTimerTimer() {
    m_updateTimer->stop();
    Q_EMIT updateCheckDue();
}

void TMainForm::TimerDatumTimer() {
    const QDate today = Clock::today();
    const int day = DayNumberOf(today);
    if (day != m_lastDay) {
        // The first look is the start's own; a later one is a new day.
        m_exchangeWaiting = m_lastDay != 0;
        m_lastDay = day;
        m_labelDatum->setText(WeekdayAbbreviation(today) + u' ' + timeText(QTime(0, 0)));
        FormResize();
    }
    // The exchange reads the records again after: it waits while they are
    // being changed, and tries at the next look.
    if (!m_exchangeWaiting || m_exchanging || !m_data.painted || m_speedSave->isEnabled() ||
        QApplication::activeModalWidget())
        return;
    m_exchangeWaiting = false;
    if (MorningExchangeDue())
        runExchange({m_data.defaultFilePath()});
}

MorningOutcome TMainForm::runExchange(const MorningRun& run) {
    LogScope log("MainForm", "Uitwisselen");
    // Nothing else may change the records or open a window meanwhile: a
    // progress window blocks the others while it is up, else the window
    // takes no input under the busy cursor.
    m_exchanging = true;
    const bool followed = bool(run.follow);
    if (!followed)
        setEnabled(false);
    MorningOutcome outcome;
    {
        std::optional<BusyCursor> busy;
        if (!followed)
            busy.emplace();
        outcome = RunMorningExchange(run);
    }
    setEnabled(true);
    m_exchanging = false;
    ShowExchangeOutcome(outcome);
    if (std::exchange(m_closeAfterExchange, false))
        close();
    return outcome;
}

QString TMainForm::exchangeNow(const QRect& caller) {
    if (m_speedSave->isEnabled())
        return QStringLiteral(
            "Bewaar eerst de wijzigingen: Brolt werkt het adresboek en de agenda bij in het "
            "bewaarde bestand.");
    // The user is there: a password nobody keeps is asked, and the work shows
    // its progress with Annuleren.
    Ui& ui = Ui::instance();
    MorningRun run{m_data.defaultFilePath(), 0, [&ui, caller](const QString& user, QString& password) {
                       return ui.askPassword(password, QStringLiteral("Wachtwoord van %1:").arg(user),
                                             QStringLiteral("Adresboek en agenda"), caller);
                   }};
    QWidget* over = QApplication::activeWindow() ? QApplication::activeWindow() : this;
    QPointer<TExchangeProgress> progress;
    run.follow = [&progress, over](ExchangeRun& exchange) {
        if (!progress) {
            progress = new TExchangeProgress(over, QStringLiteral("Adresboek en agenda bijwerken"));
            progress->setWindowModality(Qt::ApplicationModal);
            progress->show();
        }
        progress->follow(&exchange);
    };
    const QString message = runExchange(run).message();
    delete progress;
    return message;
}

void TMainForm::ShowExchangeOutcome(const MorningOutcome& outcome) {
    m_exchangeNote = outcome.ok ? QString() : outcome.failure;
    if (!m_data.painted) {
        m_exchangeUnlogged = outcome;
        return;
    }
    outcome.log();
    if (outcome.changed) {
        m_data.reread(); // and shows them
        return;
    }
    showReadState();
    FormResize();
}

void TMainForm::showClock() {
    const QDateTime now = Clock::now();
    m_labelDatum->setText(WeekdayAbbreviation(now.date()) + u' ' + timeText(now.time()));
}

QString TMainForm::timeText(const QTime& time) const {
    return QLocale().toString(time, QLocale::ShortFormat);
}

// ------------------------------------------------------------------ buttons and menus

void TMainForm::SpeedOpenClick() {
    if (!m_data.painted)
        return;
    PauseCountdown();
    const QString previousCount = m_data.countText;
    m_data.countText.clear();
    m_readDone = false;
    m_data.openOtherFile();
    if (!m_readDone)
        m_data.countText = previousCount;
    setSaveEnabled(m_data.saveEnabled);
}

void TMainForm::SpeedEditClick() {
    PauseCountdown();
    if (m_checkUitgebreid->isChecked())
        m_editForm->OpenProperties(); // keeps the grid's rows in step
    else
        m_editForm->EditRecords();
    // OK in either window has marked the data as changed.
    setSaveEnabled(m_data.saveEnabled || m_data.unsavedChanges);
    FormResize();
}

void TMainForm::SpeedSaveClick() {
    m_data.save();
    setSaveEnabled(m_data.saveEnabled);
}

void TMainForm::SpeedOptionsClick() {
    PauseCountdown();
    m_optionsForm->exec();
    // Also when the window was closed without OK or Annuleren.
    m_checkUitgebreid->setChecked(Working().uitgebreid);
}

void TMainForm::SpeedBackupClick() {
    PauseCountdown();
    m_backUpPopup->popup(m_speedSave->mapToGlobal(QPoint(gap, 50)));
}

void TMainForm::SpeedUpdateClick() {
    PauseCountdown();
    Ui::instance().processEvents();
    m_versionsForm->ManualCheck(frameGeometry());
}

void TMainForm::SpeedInfoClick() {
    PauseCountdown();
    m_aboutPopUp->popup(m_speedInfo->mapToGlobal(QPoint(0, 0)));
}

void TMainForm::SpeedEindeClick() {
    close();
}

void TMainForm::CheckUitgebreidClick() {
    m_optionsForm->SetUitgebreid(m_checkUitgebreid->isChecked());
}

void TMainForm::BtnUitlegClick() {
    PauseCountdown();
    m_uitlegForm->ShowUitleg();
    m_dagenMemo->setFocus();
}

void TMainForm::DagenMemoMouseDown(int line) {
    if (!m_data.painted || line < 0 || line >= m_pictureOfLine.size() || m_pictureOfLine[line].isEmpty())
        return;
    m_currentPicture = m_pictureOfLine[line];
    m_pictureClickRefresh = true;
    FormResize();
    m_dagenMemo->setFocus();
}

void TMainForm::BringToFront() {
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
    } else {
        show();
        raise();
    }
    activateWindow();
}

void TMainForm::helpKeyReleased(QWidget* focus) {
    PauseCountdown();
    ShowHelpFor(focus ? focus : this);
}

void TMainForm::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && !event->isAutoRepeat()) {
        helpKeyReleased(focusWidget());
        return;
    }
    QWidget::keyReleaseEvent(event);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (!m_dagenMemo) // still being built
        return QWidget::eventFilter(watched, event);
    if (watched == m_dagenMemo && event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && !key->isAutoRepeat()) {
            helpKeyReleased(m_dagenMemo);
            return true;
        }
    } else if (watched == m_dagenMemo->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            DagenMemoMouseDown(m_dagenMemo->cursorForPosition(mouse->position().toPoint()).blockNumber());
    } else if (event->type() == QEvent::MouseButtonPress) {
        auto* button = qobject_cast<QToolButton*>(watched);
        if (button && m_toolButtons.contains(button) &&
            static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            // SpeedButtonMouseDown: the right button opens the button's help page.
            PauseCountdown();
            ShowHelp(button->property("helpContext").toInt());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ------------------------------------------------------------------ closing

void TMainForm::closeEvent(QCloseEvent* event) {
    if (m_closed) {
        event->accept();
        return;
    }
    // The exchange is bounded: closing follows once it has ended.
    if (m_exchanging) {
        m_closeAfterExchange = true;
        event->ignore();
        return;
    }
    LogScope log("MainForm", "FormClose");
    bool cancelled = false;
    if (m_speedSave->isEnabled()) {
        cancelled = m_data.askSaveChanges(true);
        if (!cancelled)
            CloseHelp();
    } else {
        CloseHelp();
        m_mainPanel->move(0, outOfSight);
    }
    writePlacement(false);
    if (cancelled) {
        event->ignore();
        return;
    }
    m_closed = true;
    m_timer->stop();
    m_updateTimer->stop();
    m_timerDatum->stop();
    event->accept();
    Q_EMIT closed();
}

void TMainForm::writePlacement(bool atDestruction) {
    int top = y();
    int left = x();
    if (atDestruction) {
        if (top < 0)
            top = 100;
        if (left < 0)
            left = 100;
    }
    if (PositionsAreOurs()) {
        writeIfChanged(Keys::Top, QString::number(top));
        writeIfChanged(Keys::Left, QString::number(left));
    }
    writeIfChanged(Keys::Height, QString::number(height()));
    writeIfChanged(Keys::Width, QString::number(width()));
    if (!atDestruction)
        writeIfChanged(Keys::UitgebreidCheck,
                       m_checkUitgebreid->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void TMainForm::endProgram() {
    // Nothing has been read yet, so there is nothing to ask about.
    m_closed = true;
    m_timer->stop();
    hide();
    Q_EMIT closed();
}
