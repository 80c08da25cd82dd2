#include "kit/Browse.h"

#include "Ui.h"
#include "kit/Boom.h"
#include "kit/BrowsePaths.h"
#include "kit/ClrBtn.h"
#include "kit/Desktop.h"
#include "kit/Log.h"
#include "kit/Shades.h"
#include "kit/Store.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>

namespace {
std::function<void(const QString&, const QString&)> messageBoxHandler;

// The drive list tells when it drops down: the labels are brought up to date first.
class DriveBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> dropDown;
    void showPopup() override {
        if (dropDown)
            dropDown();
        QComboBox::showPopup();
    }
};

struct ModeKeys {
    const StoreKey& top;
    const StoreKey& left;
    const StoreKey& width;
    const StoreKey& height;
};
ModeKeys keysFor(bool fileMode) {
    if (fileMode)
        return {Keys::BrowseLargeTop, Keys::BrowseLargeLeft, Keys::BrowseLargeWidth, Keys::BrowseLargeHeight};
    return {Keys::BrowseSmallTop, Keys::BrowseSmallLeft, Keys::BrowseSmallWidth, Keys::BrowseSmallHeight};
}

constexpr int PanelTopHeight = 55;
constexpr int PanelBottomHeight = 86;
constexpr int PanelDirectoryHeight = 33;
} // namespace

TBrowseForm::TBrowseForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("BrowseForm"));
    setFont(KitFont(QStringLiteral("Verdana"), 14));
    SetKitBackground(this, KitColor::Window);
    setWindowIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    setSizeGripEnabled(true);

    m_panelTop = new QFrame(this);
    m_panelTop->setObjectName(QStringLiteral("PanelTop"));
    m_labelHeading = new QLabel(m_panelTop);
    m_labelHeading->setObjectName(QStringLiteral("LabelHeading"));
    m_labelHeading->setAlignment(Qt::AlignCenter);
    m_labelHeading->setGeometry(0, 8, 513, 39);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("Splitter1"));
    m_splitter->setHandleWidth(7);
    m_splitter->setChildrenCollapsible(false);

    m_panelBoom = new QWidget(m_splitter);
    m_panelBoom->setObjectName(QStringLiteral("PanelBoom"));
    m_panelBoom->setMinimumWidth(60);
    auto* drives = new DriveBox(m_panelBoom);
    drives->dropDown = [this] { DriveComboBoxDropDown(); };
    m_driveComboBox = drives;
    m_driveComboBox->setObjectName(QStringLiteral("DriveComboBox"));
    m_speedNew = new QToolButton(m_panelBoom);
    m_speedNew->setObjectName(QStringLiteral("SpeedNew"));
    m_speedNew->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    m_speedNew->setToolTip(QStringLiteral("Nieuwe Map"));
    m_speedNew->setAutoRaise(true);
    m_speedNew->resize(25, 25);
    MakeKeyboardButton(m_speedNew, {});
    m_boom = new TBoom(m_panelBoom);
    m_panelBoom->installEventFilter(this);

    m_fileListBox = new QListWidget(m_splitter);
    m_fileListBox->setObjectName(QStringLiteral("FileListBox"));
    m_fileListBox->setUniformItemSizes(true);
    m_splitter->addWidget(m_panelBoom);
    m_splitter->addWidget(m_fileListBox);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);

    m_panelBottom = new QFrame(this);
    m_panelBottom->setObjectName(QStringLiteral("PanelBottom"));
    m_panelDirectory = new QLabel(m_panelBottom);
    m_panelDirectory->setObjectName(QStringLiteral("PanelDirectory"));
    m_panelDirectory->setAutoFillBackground(true);
    QPalette pal = m_panelDirectory->palette();
    pal.setColor(QPalette::Window, Shade(QColor(255, 255, 160)));
    MakeTextReadable(pal, pal.color(QPalette::Window));
    m_panelDirectory->setPalette(pal);
    m_panelDirectory->setFrameShape(QFrame::Panel);
    m_panelDirectory->setFrameShadow(QFrame::Sunken);
    m_panelDirectory->setContentsMargins(4, 0, 4, 0);
    m_labelCount = new QLabel(m_panelBottom);
    m_labelCount->setObjectName(QStringLiteral("LabelCount"));
    m_btnOk = new TClrBtn(QStringLiteral("Ok"), m_panelBottom);
    m_btnOk->setObjectName(QStringLiteral("BtnOk"));
    m_btnCancel = new TClrBtn(QStringLiteral("Annuleren"), m_panelBottom);
    m_btnCancel->setObjectName(QStringLiteral("BtnCancel"));
    for (TClrBtn* b : {m_btnOk, m_btnCancel}) {
        b->useKitColors();
        b->setFont(KitFont(QStringLiteral("Verdana"), 16));
        b->resize(110, 30);
    }
    m_btnOk->setDefault(true);
    FitCaptions(m_panelBottom);

    connect(m_driveComboBox, &QComboBox::activated, this, &TBrowseForm::DriveComboBoxChange);
    connect(m_speedNew, &QToolButton::clicked, this, &TBrowseForm::SpeedNewClick);
    connect(m_boom, &TBoom::folderChanged, this, &TBrowseForm::BoomChange);
    m_boom->viewport()->installEventFilter(this);
    connect(m_fileListBox, &QListWidget::itemSelectionChanged, this, &TBrowseForm::FileListBoxClick);
    connect(m_fileListBox, &QListWidget::itemDoubleClicked, this, &TBrowseForm::FileListBoxDblClick);
    connect(m_splitter, &QSplitter::splitterMoved, this, &TBrowseForm::FormResize);
    connect(m_btnOk, &TClrBtn::clicked, this, &TBrowseForm::BtnOkClick);
    connect(m_btnCancel, &TClrBtn::clicked, this, &TBrowseForm::BtnCancelClick);

    readGeometry();
}

void TBrowseForm::SetMessageBoxHandler(std::function<void(const QString&, const QString&)> handler) {
    messageBoxHandler = std::move(handler);
}

void TBrowseForm::SetMask(const QString& mask) {
    m_mask = mask;
}

void TBrowseForm::SetMultiple(bool multiple) {
    m_multiple = multiple;
    m_fileListBox->setSelectionMode(multiple ? QAbstractItemView::ExtendedSelection
                                             : QAbstractItemView::SingleSelection);
}

QStringList TBrowseForm::SelectedFiles() const {
    QStringList files;
    const QString folder = m_boom->SelectedFolder();
    for (int i = 0; i < m_fileListBox->count(); ++i)
        if (m_fileListBox->item(i)->isSelected())
            files << folder + m_fileListBox->item(i)->text();
    return files;
}

QString TBrowseForm::currentFileName() const {
    if (m_fileListBox->selectedItems().isEmpty())
        return {};
    // In a list where several files may be selected: the one that has the focus.
    const QListWidgetItem* item = m_fileListBox->currentItem();
    if (!item || !item->isSelected())
        item = m_fileListBox->selectedItems().constFirst();
    return item->text();
}

// ------------------------------------------------------------------ geometry

void TBrowseForm::readGeometry() {
    const ModeKeys keys = keysFor(FileMode);
    const int top = std::max(0, Store::readInteger(keys.top));
    const int left = std::max(0, Store::readInteger(keys.left));
    PlaceFitted(this, QPoint(left, top), StoredSize(keys.width, keys.height));
    if (FileMode)
        SplitterPos = SplitterPosition(Store::readInteger(Keys::BrowseSplitter));
}

void TBrowseForm::writeGeometry() {
    const ModeKeys keys = keysFor(FileMode);
    if (PositionsAreOurs()) {
        Store::writeInteger(keys.top.name, y());
        Store::writeInteger(keys.left.name, x());
    }
    Store::writeInteger(keys.width.name, width());
    Store::writeInteger(keys.height.name, height());
    if (FileMode) {
        SplitterPos = m_panelBoom->width();
        Store::writeInteger(Keys::BrowseSplitter.name, SplitterPos);
    }
}

void TBrowseForm::done(int result) {
    // Cancel, Escape and the title bar's close button all leave the path as it came.
    if (result == QDialog::Rejected)
        BrowsePath = StartPath;
    writeGeometry();
    QDialog::done(result);
}

// ------------------------------------------------------------------ initialisation

void TBrowseForm::showEvent(QShowEvent* event) {
    if (!Initialised)
        FormPaint();
    QDialog::showEvent(event);
}

void TBrowseForm::FormPaint() {
    LogScope log("BrowseForm", "FormPaint");
    const QString home = QDir::homePath() + u'/';
    if (BrowsePath.isEmpty())
        BrowsePath = home;
    DoubleClicked = false;
    StartPath = BrowsePath;
    SetKitBackground(m_boom, KitColor::Window);

    m_labelCount->setVisible(FileMode);
    readGeometry();
    m_labelHeading->setText(Heading);
    m_speedNew->setToolTip(QStringLiteral("Maak nieuwe Map aan"));
    m_btnCancel->setText(QStringLiteral("Annuleren"));

    m_fileListBox->setVisible(FileMode);
    if (FileMode)
        m_splitter->setSizes({SplitterPos, std::max(1, width() - SplitterPos - m_splitter->handleWidth())});

    BrowsePath = BrowseStartFolder(BrowsePath, home);
    StartPath = BrowsePath;
    const QStringList mounts = m_boom->MountPoints();
    CurrentDrive = MountPointOf(BrowsePath, mounts);
    m_driveComboBox->clear();
    for (const QString& mount : mounts)
        m_driveComboBox->addItem(mount, mount);
    selectDrive(CurrentDrive);

    if (!m_boom->SetFolder(BrowsePath))
        WriteLog(QStringLiteral("BrowseForm.FormPaint - VulBoom exception"));

    showFiles(m_boom->SelectedFolder());
    if (isVisible())
        m_boom->setFocus();
    labelDrives(true);
    refreshCount();
    Initialised = true;
    FormResize();
}

void TBrowseForm::selectDrive(const QString& mountPoint) {
    int index = m_driveComboBox->findData(mountPoint);
    if (index < 0) {
        m_driveComboBox->addItem(mountPoint, mountPoint);
        index = m_driveComboBox->count() - 1;
    }
    m_driveComboBox->setCurrentIndex(index);
}

void TBrowseForm::labelDrives(bool dropDown) {
    const int selected = m_driveComboBox->currentIndex();
    for (int i = 0; i < m_driveComboBox->count(); ++i) {
        const QString mount = m_driveComboBox->itemData(i).toString();
        const QString entry = m_driveComboBox->itemText(i);
        if (entry != mount)
            continue; // labelled already: no need to ask the volume again
        m_driveComboBox->setItemText(i, LabelDriveEntry(entry, mount, MountLabel(mount), dropDown));
    }
    m_driveComboBox->setCurrentIndex(selected);
}

// ------------------------------------------------------------------ layout

void TBrowseForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

bool TBrowseForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_panelBoom && event->type() == QEvent::Resize)
        layoutBoomPanel();
    else if (watched == m_boom->viewport() && event->type() == QEvent::MouseButtonRelease)
        BoomMouseUp();
    return QDialog::eventFilter(watched, event);
}

void TBrowseForm::layoutBoomPanel() {
    const int panelWidth = m_panelBoom->width();
    m_speedNew->move(panelWidth - m_speedNew->width() - 10, 3);
    const int comboHeight = std::max(m_driveComboBox->sizeHint().height(), m_speedNew->height());
    m_driveComboBox->setGeometry(5, 3, std::max(20, m_speedNew->x() - 10), comboHeight);
    const int treeTop = m_driveComboBox->geometry().bottom() + 1 + 5;
    m_boom->setGeometry(0, treeTop, std::max(10, panelWidth - 2),
                        std::max(10, m_panelBoom->height() - treeTop - 1));
}

void TBrowseForm::FormResize() {
    const int cw = width();
    const int ch = height();
    m_panelTop->setGeometry(0, 0, cw, PanelTopHeight);
    m_splitter->setGeometry(0, PanelTopHeight, cw, std::max(10, ch - PanelTopHeight - PanelBottomHeight));
    m_fileListBox->setVisible(FileMode);
    layoutBoomPanel();

    m_panelBottom->setGeometry(0, ch - PanelBottomHeight, cw, PanelBottomHeight);
    m_panelDirectory->setGeometry(0, 0, cw, PanelDirectoryHeight);
    m_labelHeading->move((cw - m_labelHeading->width()) / 2, m_labelHeading->y());

    m_labelCount->adjustSize();
    const int countWidth = FileMode ? m_labelCount->width() : 0;
    const ButtonPlaces places =
        BrowseButtonPlaces(FileMode, cw, countWidth, m_btnOk->width(), m_btnCancel->width());
    const int buttonTop = PanelDirectoryHeight + (PanelBottomHeight - PanelDirectoryHeight - 30) / 2;
    m_labelCount->move(0, buttonTop + (30 - m_labelCount->height()) / 2);
    m_btnOk->move(places.okLeft, buttonTop);
    m_btnCancel->move(places.cancelLeft, buttonTop);
}

// ------------------------------------------------------------------ handlers

void TBrowseForm::showFiles(const QString& folder) {
    m_fileListBox->clear();
    if (folder.isEmpty())
        return;
    const QStringList masks = m_mask.isEmpty() ? QStringList() : QStringList{m_mask};
    const QStringList names = QDir(folder).entryList(masks, QDir::Files | QDir::Hidden | QDir::System,
                                                     QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    const QIcon icon = QFileIconProvider().icon(QFileIconProvider::File);
    for (const QString& name : names) {
        auto* item = new QListWidgetItem(icon, name, m_fileListBox);
        item->setSizeHint(QSize(item->sizeHint().width(), 17));
    }
}

void TBrowseForm::refreshCount() {
    m_labelCount->setText(QStringLiteral("  ") + QString::number(m_fileListBox->count()) +
                          QStringLiteral(" bestanden"));
    m_labelCount->adjustSize();
}

void TBrowseForm::DriveComboBoxChange(int index) {
    if (!Initialised || index < 0)
        return;
    const QString drive = m_driveComboBox->itemData(index).toString();
    if (drive != CurrentDrive) {
        if (!m_boom->SetFolder(drive))
            WriteLog(QStringLiteral("BrowseForm.DriveComboBoxChange - VulBoom exception"));
        labelDrives(false);
        CurrentDrive = drive;
        showFiles(m_boom->SelectedFolder());
        refreshCount();
        FormResize();
    }
    m_boom->setFocus();
}

void TBrowseForm::DriveComboBoxDropDown() {
    labelDrives(true);
}

void TBrowseForm::BoomChange() {
    const QString folder = m_boom->SelectedFolder();
    m_panelDirectory->setText(folder);
    BrowsePath = folder;
    // The file list always shows the selected folder, however it was chosen:
    // otherwise "Ok" would join this folder with a file name of another one.
    if (Initialised) {
        showFiles(folder);
        refreshCount();
    }
}

void TBrowseForm::BoomMouseUp() {
    if (!Initialised)
        return;
    showFiles(m_boom->SelectedFolder());
    refreshCount();
}

void TBrowseForm::FileListBoxClick() {
    if (!Initialised)
        return;
    m_panelDirectory->setText(m_boom->SelectedFolder() + currentFileName());
}

void TBrowseForm::FileListBoxDblClick() {
    DoubleClicked = true;
    BtnOkClick();
}

void TBrowseForm::BtnOkClick() {
    const BrowseOkResult result = BrowseOkPath(FileMode, m_fileListBox->count(), m_boom->SelectedFolder(),
                                               BrowsePath, FileMode ? currentFileName() : QString());
    if (result.noFilesNote)
        Ui::instance().showTimedMessage(10000, QStringLiteral("Er zijn geen bwestanden gevonden."), QString(),
                                        frameGeometry());
    BrowsePath = result.path;
    accept();
}

void TBrowseForm::BtnCancelClick() {
    reject();
}

void TBrowseForm::SpeedNewClick() {
    QString name;
    if (!Ui::instance().askText(name, QStringLiteral("Geef de naam van de nieuwe map:"), QString(),
                                frameGeometry()))
        return;
    const QString target = m_boom->SelectedFolder() + name;
    if (QFileInfo(target).isDir()) {
        const QString text = QStringLiteral("Deze map bestaat reeds.");
        const QString caption = QStringLiteral("Open Error");
        if (messageBoxHandler)
            messageBoxHandler(text, caption);
        else
            QMessageBox::critical(this, caption, text, QMessageBox::Ok);
        return;
    }
    if (!QDir().mkpath(target)) {
        Ui::instance().showTimedMessage(5000, QStringLiteral("De map kan niet worden aangemaakt:"), target,
                                        frameGeometry());
        return;
    }
    m_boom->SetFolder(target + u'/');
}
