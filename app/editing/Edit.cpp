#include "editing/Edit.h"
#include "lists/Resize.h"
#include "lists/ShowPicture.h"

#include "Ui.h"
#include "editing/Datum.h"
#include "editing/Sorting.h"
#include "exchange/ExchangeDialogs.h"
#include "kit/Clock.h"
#include "kit/ClrBtn.h"
#include "kit/Desktop.h"
#include "kit/Help.h"
#include "kit/Log.h"
#include "kit/Shades.h"
#include "kit/Store.h"
#include "records/Dates.h"
#include "settings/Working.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QValidator>

#include <algorithm>
#include <cmath>

namespace {
const QString programName = QStringLiteral("Brolt");
constexpr int speedPanelHeight = 41;
constexpr int statusPanelHeight = 34;
constexpr int minimumFormHeight = 479;
// The grid shows the columns up to this one.  The record's other cells
// (addresses, sort keys, working cells) are not typed here and are no part of
// the grid at all: never selected or edited, and never read out by a screen
// reader.
constexpr int lastVisibleColumn = Col::Picture;

// The help line for a cell of a record row while typing or pointing.
QString columnHelp(int column) {
    switch (column) {
    case 0:
        return QStringLiteral("Geef de Naam");
    case 1:
        return QStringLiteral("Dubbelklik voor kalender");
    case 2:
        return QStringLiteral("Klik rechts voor keuzemenu");
    case 3:
        return QStringLiteral("Huidige leeftijd (wordt berekend)");
    case 4:
        return QStringLiteral("Dubbelklik voor fotobestand");
    default:
        return {};
    }
}

// Ctrl+Tab and Ctrl+Shift+Tab take the focus out of the grid, as in Qt's
// tables; Tab alone moves between cells.
bool leavesTheGrid(const QKeyEvent* key) {
    return (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
           (key->modifiers() & Qt::ControlModifier);
}

// Keeps ";" and line breaks out of a cell while it is typed.
class CellValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        const QString clean = CleanCellText(input);
        if (clean != input) {
            pos -= int(input.left(pos).size() - CleanCellText(input.left(pos)).size());
            input = clean;
        }
        return Acceptable;
    }
};

// The kind cell's editor.  The cell only ever holds one of the six kind
// words: letters choose one by type-ahead (KindTypeAhead) and are never added
// to it, and the text itself cannot be edited.  Backspace takes back the last
// letter that counted, so that a wrong first letter can be typed again.
class KindEditor : public QLineEdit {
public:
    explicit KindEditor(QWidget* parent) : QLineEdit(parent) {
        setReadOnly(true);
        setFrame(false);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const QString text = event->text();
        const bool typed = text.size() == 1 && text.at(0).isPrint() &&
                           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        if (typed) {
            const QString word = KindTypeAhead(m_typed, text.at(0));
            if (!word.isEmpty())
                setText(word);
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Backspace) {
            m_typed.chop(1);
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    QString m_typed;
};
} // namespace

// ---------------------------------------------------------------------------

RecordModel::RecordModel(RecordTable& table, QObject* parent) : QAbstractTableModel(parent), m_table(table) {}

int RecordModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(0, m_table.rowCount() - 1);
}

int RecordModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : lastVisibleColumn + 1;
}

QVariant RecordModel::data(const QModelIndex& index, int role) const {
    const int row = index.row() + 1;
    if (!index.isValid() || row >= m_table.rowCount() || index.column() > lastVisibleColumn)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_table.cell(row, index.column());
    return {};
}

QVariant RecordModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section <= lastVisibleColumn)
        return m_table.cell(0, section);
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

bool RecordModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid())
        return false;
    setCellText(index.row() + 1, index.column(), value.toString());
    return true;
}

Qt::ItemFlags RecordModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void RecordModel::setCellText(int row, int column, const QString& text) {
    if (row < 1 || row >= m_table.rowCount() || column < 0 || column >= Col::Count)
        return;
    const QString clean = CleanCellText(text);
    if (m_table.cell(row, column) == clean)
        return;
    m_table.setCell(row, column, clean);
    if (column > lastVisibleColumn)
        return; // no view shows it
    const QModelIndex at = index(row - 1, column);
    Q_EMIT dataChanged(at, at);
}

void RecordModel::clearRow(int row) {
    if (row < 1 || row >= m_table.rowCount())
        return;
    for (QString& cell : m_table.row(row))
        cell.clear();
    Q_EMIT dataChanged(index(row - 1, 0), index(row - 1, lastVisibleColumn));
}

void RecordModel::removeTableRow(int row) {
    if (row < 1 || row > m_table.recordCount())
        return;
    beginRemoveRows({}, row - 1, row - 1);
    m_table.removeRow(row);
    endRemoveRows();
}

void RecordModel::insertTableRow(int row) {
    row = std::clamp(row, 1, m_table.rowCount() - 1);
    beginInsertRows({}, row - 1, row - 1);
    m_table.insertRow(row);
    endInsertRows();
}

void RecordModel::appendBlankRow() {
    const int last = m_table.rowCount() - 1;
    beginInsertRows({}, last, last);
    m_table.insertRow(last);          // a blank row before the last ...
    m_table.swapRows(last, last + 1); // ... which then goes to the end
    endInsertRows();
}

void RecordModel::rearrange(const std::function<void()>& change) {
    beginResetModel();
    change();
    endResetModel();
}

void RecordModel::reload() {
    beginResetModel();
    endResetModel();
}

// ---------------------------------------------------------------------------

QWidget* TBroltGrid::cellEditor() const {
    return editing() ? indexWidget(currentIndex()) : nullptr;
}

void TBroltGrid::finishEditing() {
    if (QWidget* editor = cellEditor()) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

QModelIndex TBroltGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = QTableView::moveCursor(action, modifiers);
    if (!next.isValid() || next.column() != Col::Age)
        return next;
    const bool forward = action == MoveRight || action == MoveNext;
    return next.siblingAtColumn(forward ? Col::Picture : Col::Kind);
}

void TBroltGrid::cancelEditing() {
    if (QWidget* editor = cellEditor())
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

TCellDelegate::TCellDelegate(QObject* keyFilter, QObject* parent)
    : QStyledItemDelegate(parent), m_keyFilter(keyFilter) {}

QWidget* TCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QWidget* editor = index.column() == Col::Kind ? new KindEditor(parent)
                                                  : QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setObjectName(QStringLiteral("CellEditor"));
        line->setValidator(new CellValidator(line));
    }
    if (editor)
        editor->installEventFilter(m_keyFilter);
    return editor;
}

bool TCellDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && leavesTheGrid(static_cast<QKeyEvent*>(event)))
        return false;
    return QStyledItemDelegate::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------

TEditForm::TEditForm(RecordTable& table, DataFile& data, QWidget* parent)
    : QDialog(parent), m_table(table), m_data(data) {
    setObjectName(QStringLiteral("EditForm"));
    setWindowTitle(programName + QStringLiteral(" - Wijzigen"));
    SetKitBackground(this, KitColor::Window);
    SetHelpContext(this, 40000);
    setMinimumHeight(minimumFormHeight);
    setMouseTracking(true);

    m_speedPanel = new QWidget(this);
    m_speedPanel->setObjectName(QStringLiteral("SpeedPanel"));
    auto makeTool = [this](const char* name, const QString& hint, const char* theme,
                           QStyle::StandardPixmap sp) {
        QToolButton* b =
            MakeToolButton(m_speedPanel, name, hint + QStringLiteral("\nKlik rechts voor Hulp"), theme, sp);
        b->installEventFilter(this);
        return b;
    };
    m_speedAdd = makeTool("SpeedAdd", QStringLiteral("Voeg regel toe BOVEN huidige"), "list-add",
                          QStyle::SP_FileDialogNewFolder);
    m_speedDelete = makeTool("SpeedDelete", QStringLiteral("Verwijder huidige regel"), "list-remove",
                             QStyle::SP_TrashIcon);
    m_speedLists = makeTool("SpeedLists", QStringLiteral("Toon/print verjaardagenlijst"), "document-print",
                            QStyle::SP_FileDialogDetailedView);
    m_speedAdd->setGeometry(4, 4, 33, 33);
    m_speedDelete->setGeometry(40, 4, 33, 33);
    m_speedLists->setGeometry(76, 4, 33, 33);

    m_labelFormaat = new QLabel(m_data.formatLabel, m_speedPanel);
    m_labelFormaat->setObjectName(QStringLiteral("LabelFormaat"));

    m_btnOK = new TClrBtn(QStringLiteral("OK"), m_speedPanel);
    m_btnOK->setObjectName(QStringLiteral("BtnOK"));
    m_btnOK->setToolTip(QStringLiteral("Accepteer de wijzigingen en sluit dit venster"));
    m_btnCancel = new TClrBtn(QStringLiteral("Annuleren"), m_speedPanel);
    m_btnCancel->setObjectName(QStringLiteral("BtnCancel"));
    m_btnCancel->setToolTip(QStringLiteral("Sluit dit venster en vergeet de wijzigingen"));
    for (TClrBtn* b : {m_btnOK, m_btnCancel}) {
        b->useKitColors();
        b->setAutoDefault(false);
        b->resize(90, 29);
    }

    m_model = new RecordModel(m_table, this);
    // Contacts in and the calendar out, beside the lists button.
    m_exchange = new TExchangeButtons(*m_model, m_data, m_speedPanel, 112);
    connect(m_exchange, &TExchangeButtons::recordsAdded, this, [this](int firstRow) {
        // Imported records are changes of the data itself, marked at once;
        // Annuleren takes them back with everything else.
        m_data.unsavedChanges = m_data.saveEnabled = true;
        SelectCell(firstRow, 0);
    });
    m_grid = new TBroltGrid(this);
    m_grid->setObjectName(QStringLiteral("BroltGrid"));
    m_grid->setModel(m_model);
    m_grid->setItemDelegate(new TCellDelegate(this, m_grid));
    m_grid->setFont(KitFont(QStringLiteral("Verdana"), 15));
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // The default row height is twice the grid font's point size.
    m_grid->verticalHeader()->setDefaultSectionSize(2 * PointsOfPixels(ScaledPixels(15)));
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->horizontalHeader()->setSectionsClickable(false);
    m_grid->horizontalHeader()->setStretchLastSection(false);
    m_grid->horizontalHeader()->setMinimumSectionSize(1);
    m_grid->horizontalHeader()->setStyleSheet(KitHeaderStyle());
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
    m_grid->setTabKeyNavigation(true);
    m_grid->setWordWrap(false);
    m_grid->setMouseTracking(true);
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    m_grid->horizontalHeader()->viewport()->installEventFilter(this);
    m_grid->horizontalHeader()->viewport()->setMouseTracking(true);

    for (int c = 0; c < 5; ++c)
        m_grid->setColumnWidth(c, Store::readInteger(Keys::ColWidths[c]));

    m_imagePanel = new QWidget(this);
    m_imagePanel->setObjectName(QStringLiteral("ImagePanel"));
    m_imagePanel->setAutoFillBackground(true);
    QPalette white = m_imagePanel->palette();
    white.setColor(QPalette::Window, Shade(Qt::white));
    m_imagePanel->setPalette(white);
    m_image = new TPictureImage(m_imagePanel);

    m_statusPanel = new QLabel(this);
    m_statusPanel->setObjectName(QStringLiteral("StatusPanel"));
    m_statusPanel->setIndent(8);

    for (QWidget* w : {static_cast<QWidget*>(m_speedPanel), static_cast<QWidget*>(m_statusPanel),
                       m_imagePanel, static_cast<QWidget*>(m_image)}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }

    m_popupMenu1 = new QMenu(this);
    m_popupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    const std::pair<const char*, QString> kinds[] = {
        {"Feest", Kind::Feest},       {"Geboorte", Kind::Geboorte},     {"Huwelijk", Kind::Huwelijk},
        {"Jubileum", Kind::Jubileum}, {"Overlijden", Kind::Overlijden}, {"Tedoen", Kind::TeDoen}};
    for (const auto& [name, caption] : kinds) {
        QAction* a = m_popupMenu1->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, [this, a] { GeboorteClick(a->text()); });
    }
    m_listPopup = new QMenu(this);
    m_listPopup->setObjectName(QStringLiteral("ListPopup"));
    QAction* year = m_listPopup->addAction(QStringLiteral("Jaarkalender"));
    year->setObjectName(QStringLiteral("YearCalendar"));
    QAction* all = m_listPopup->addAction(QStringLiteral("Alle namen"));
    all->setObjectName(QStringLiteral("AllNames"));
    connect(year, &QAction::triggered, this, &TEditForm::YearCalendarClick);
    connect(all, &QAction::triggered, this, &TEditForm::AllNamesClick);

    connect(m_speedAdd, &QToolButton::clicked, this, &TEditForm::SpeedAddClick);
    connect(m_speedDelete, &QToolButton::clicked, this, &TEditForm::SpeedDeleteClick);
    connect(m_speedLists, &QToolButton::clicked, this, &TEditForm::SpeedListsClick);
    connect(m_btnOK, &QPushButton::clicked, this, &TEditForm::BtnOKClick);
    connect(m_btnCancel, &QPushButton::clicked, this, &TEditForm::BtnCancelClick);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (m_quiet || !current.isValid())
                    return;
                BroltGridSelectCell(current.row() + 1, current.column());
                BroltGridClick();
                m_clickRan = true;
            });
    connect(m_grid, &QAbstractItemView::clicked, this, [this] {
        if (!m_clickRan)
            BroltGridClick();
        m_clickRan = false;
    });
    connect(m_grid, &QAbstractItemView::doubleClicked, this, &TEditForm::BroltGridDblClick);

    // The data file sorts through the grid before saving, so that the grid
    // hears about the new order.  A save while the window is up (a list asks
    // for one) puts rows on disk that Annuleren may take back.
    m_data.sortByOption = [this] {
        if (isVisible())
            m_savedWhileShown = true;
        SortByOption();
    };
    // A save may read the file again instead (it changed on disk): the grid
    // must not look at the rows while they are replaced, and what was typed
    // into the old rows is no change to the new ones; Annuleren goes back to
    // the rows read.
    m_data.aroundTableChange = [this](const std::function<void()>& change) {
        m_model->rearrange(change);
        m_gridChanged = false;
        m_escText.clear();
        if (isVisible())
            keepForCancel();
    };

    resize(Store::readInteger(Keys::EditWidth), Store::readInteger(Keys::EditHeight));

    // Keyboard, screen readers and a larger desktop font.
    DescribeControls(this, {{"SpeedAdd", nullptr, Qt::CTRL | Qt::Key_N},
                            {"SpeedDelete", nullptr, Qt::CTRL | Qt::Key_Delete},
                            {"SpeedLists", nullptr, QKeySequence::Print},
                            {"SpeedImport", nullptr, Qt::CTRL | Qt::Key_I},
                            {"SpeedExport", nullptr, Qt::CTRL | Qt::Key_E},
                            {"BroltGrid", "Gegevens"}});
    SetTabOrder(this, {"SpeedAdd", "SpeedDelete", "SpeedLists", "SpeedImport", "SpeedExport", "BtnOK",
                       "BtnCancel", "BroltGrid"});
    AddMnemonics(this);
    FitCaptions(this);
    FitHeaderSections(m_grid, Keys::ColWidths, 5);
    // The kind cell shows a whole kind word: "Overlijden" cut to "Overlij..."
    // reads as no kind at all.
    int kindWidth = 0;
    for (const QString* kind : Kind::All)
        kindWidth = std::max(kindWidth, m_grid->fontMetrics().horizontalAdvance(*kind) + 12);
    if (m_grid->columnWidth(Col::Kind) < kindWidth)
        m_grid->setColumnWidth(Col::Kind, kindWidth);
}

TEditForm::~TEditForm() {
    // Only the window's own state: the table and the data file may be gone.
    writeSettings();
}

bool TEditForm::EditRecords() {
    return exec() == QDialog::Accepted && m_data.unsavedChanges;
}

TCalendarDlg* TEditForm::calendarDlg() {
    if (!m_calendar)
        m_calendar = new TCalendarDlg(this);
    return m_calendar;
}

int TEditForm::Row() const {
    const QModelIndex i = m_grid->currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

int TEditForm::Column() const {
    const QModelIndex i = m_grid->currentIndex();
    return i.isValid() ? i.column() : 0;
}

void TEditForm::SelectCell(int row, int column) {
    const bool wasQuiet = m_quiet;
    m_quiet = true;
    row = std::clamp(row, 1, std::max(1, m_table.rowCount() - 1));
    column = std::clamp(column, 0, lastVisibleColumn);
    m_grid->setCurrentIndex(m_model->index(row - 1, column));
    m_quiet = wasQuiet;
    m_previousRow = row;
    m_previousColumn = column;
    m_enteredText = cellText(row, column);
}

QString TEditForm::statusText() const {
    return m_statusPanel->text();
}

QString TEditForm::cellText(int row, int column) const {
    if (row < 0 || row >= m_table.rowCount() || column < 0 || column >= Col::Count)
        return {};
    return m_table.cell(row, column);
}

QRect TEditForm::screenRect() const {
    return frameGeometry();
}

void TEditForm::setStatus(const QString& text) {
    m_statusPanel->setText(text);
}

void TEditForm::scrollToColumn0() {
    m_grid->horizontalScrollBar()->setValue(0);
}

int TEditForm::wantedGridWidth() const {
    int width = 1;
    for (int c = 0; c < 5; ++c)
        width += m_grid->columnWidth(c) + 5;
    return width;
}

void TEditForm::writeSettings() {
    Store::writeInteger(QLatin1String(Keys::EditHeight.name), height());
    Store::writeInteger(QLatin1String(Keys::EditWidth.name), width());
    for (int c = 0; c < 5; ++c)
        Store::writeInteger(QLatin1String(Keys::ColWidths[c].name), m_grid->columnWidth(c));
}

// ---------------------------------------------------------------------------

void TEditForm::showEvent(QShowEvent* event) {
    // The table may have been read or changed by other windows meanwhile.
    const int row = Row(), column = Column();
    m_escText.clear(); // the Escape memory belongs to one showing
    if (!event->spontaneous()) {
        keepForCancel();
        m_savedWhileShown = false;
    }
    m_model->reload();
    SelectCell(row > 0 ? row : 1, column);
    m_labelFormaat->setText(m_data.formatLabel);
    m_labelFormaat->adjustSize();
    QDialog::showEvent(event);
    FormPaint();
    FormResize();
}

void TEditForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TEditForm::done(int result) {
    writeSettings();
    m_rowsAtShow.reset();
    QDialog::done(result);
}

void TEditForm::keepForCancel() {
    m_rowsAtShow = m_table;
    m_unsavedAtShow = m_data.unsavedChanges;
    m_saveEnabledAtShow = m_data.saveEnabled;
}

void TEditForm::FormPaint() {
    if (m_painted)
        return;
    m_painted = true;
    ResizeFitted(this, StoredSize(Keys::EditWidth, Keys::EditHeight));
    SetShortDateFormat(NotationFormat(m_data.dateNotation));
    if (m_startUp) {
        m_startUp = false;
        if (Row() <= 0)
            SelectCell(1, 0);
        if (isVisible())
            m_grid->setFocus();
        BroltGridClick();
        ShowPicture(cellText(Row(), Col::Picture));
    }
}

void TEditForm::FormResize() {
    if (height() < minimumFormHeight) {
        resize(width(), minimumFormHeight);
        return;
    }
    const int w = width(), h = height();
    m_speedPanel->setGeometry(0, 0, w, speedPanelHeight);
    m_statusPanel->setGeometry(0, h - statusPanelHeight, w, statusPanelHeight);
    const int gridWidth = wantedGridWidth();
    const int gridHeight = h - speedPanelHeight - statusPanelHeight;
    m_grid->setGeometry(0, speedPanelHeight, gridWidth, gridHeight);

    const int buttonTop = (speedPanelHeight - m_btnCancel->height()) / 2;
    m_btnCancel->move(w - 10 - m_btnCancel->width(), buttonTop);
    m_btnOK->move(m_btnCancel->x() - 10 - m_btnOK->width(), buttonTop);
    const int listsRight = m_exchange->right();
    m_labelFormaat->move((listsRight + m_btnOK->x() - m_labelFormaat->width()) / 2,
                         (speedPanelHeight - m_labelFormaat->height()) / 2);

    int panelWidth = m_imagePanel->width();
    if (panelWidth < EditPicturePanelFloor)
        panelWidth = std::max(EditPicturePanelFloor, w - gridWidth);
    m_imagePanel->setGeometry(gridWidth, speedPanelHeight, panelWidth, gridHeight);
    m_image->move(m_image->x(), (gridHeight - m_image->height()) / 2 + 3);
}

void TEditForm::ShowPicture(const QString& name) {
    const int gridWidth = wantedGridWidth();
    m_grid->resize(gridWidth, m_grid->height());
    m_imagePanel->move(gridWidth, m_grid->y());
    ShowPictureEdit(m_image, m_imagePanel, m_grid->height(), m_data.dataFolder, name);
    // The picture panel decides the width, within the screen.
    ResizeFitted(this, QSize(gridWidth + m_imagePanel->width(), height()));
}

// ---------------------------------------------------------------------------

void TEditForm::BroltGridClick() {
    const int last = m_table.rowCount() - 1;
    if (HasNonSpace(m_table.cell(last, Col::Name))) {
        m_model->appendBlankRow();
        m_model->clearRow(m_table.rowCount() - 1);
    }
    const int row = Row();
    if (row > 0) {
        if (Column() == Col::Age)
            SelectCell(row, Col::Kind);
        ShowPicture(cellText(row, Col::Picture));
    }
    scrollToColumn0();
}

void TEditForm::BroltGridKeyDown(int) {
    if (m_escText.isEmpty()) {
        m_escRow = Row();
        m_escColumn = Column();
        m_escText = cellText(m_escRow, m_escColumn);
    }
}

void TEditForm::BroltGridKeyUp(int key) {
    if (key == Qt::Key_Escape) {
        // Only an Escape pressed on the grid: the release of one that closed
        // the calendar or a question arrives here too, and must not undo it.
        if (m_escapePressed && cellText(m_escRow, m_escColumn).size() <= 1 && !m_escText.isEmpty())
            m_model->setCellText(m_escRow, m_escColumn, m_escText);
        m_escapePressed = false;
        m_escText.clear();
    } else if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        return;
    }
    if (m_grid->editing()) {
        // (The kind cell's editor chooses the kind word itself.)
        m_gridChanged = true;
        setStatus(columnHelp(Column()));
    } else if (key == Qt::Key_Delete) {
        SpeedDeleteClick();
    } else if (key == Qt::Key_Insert) {
        SpeedAddClick();
    }
}

void TEditForm::BroltGridMouseDown(Qt::MouseButton button, int row, int column, const QPoint& gridPos) {
    unsetCursor();
    if (button == Qt::LeftButton && row == 0) {
        int order;
        if (column == Col::Name)
            order = 0;
        else if (column == Col::Date)
            order = 1;
        else if (column == Col::Age)
            order = 2;
        else
            return;
        if (sortOrderChosen)
            sortOrderChosen(order); // the options' choice, so that their OK changes nothing
        Working().sortOrder = order;
        SortByOption();
    } else if (button == Qt::RightButton && row > 0) {
        SelectCell(row, Column());
        const QRect frame = frameGeometry();
        m_popupMenu1->popup(QPoint(gridPos.x() + frame.left() + 20, gridPos.y() + frame.top() + 80));
    } else if (button == Qt::RightButton && row == 0) {
        ShowHelp(20350);
    } else if (button == Qt::LeftButton && row > 0 && column == Col::Name && Working().uitgebreid) {
        OpenProperties();
    }
}

void TEditForm::BroltGridMouseMove(int row, int column) {
    if (m_grid->width() != wantedGridWidth()) {
        // A column border was dragged: no visible column narrower than 40.
        for (int c = 0; c < 5; ++c)
            if (m_grid->columnWidth(c) < 40)
                m_grid->setColumnWidth(c, 40);
        FormResize();
    }
    QString text;
    if (row > 0) {
        if (column == Col::Name && Working().uitgebreid)
            text = QStringLiteral("Klik voor Invulformulier");
        else
            text = columnHelp(column);
    } else if (row == 0) {
        if (column == Col::Name)
            text = QStringLiteral("Sorteer op Naam");
        else if (column == Col::Date)
            text = QStringLiteral("Sorteer op Datum");
    }
    setStatus(text);
}

void TEditForm::FormMouseMove() {
    setStatus({});
}

void TEditForm::SpeedMouseDown(QToolButton* button) {
    if (button == m_speedAdd)
        ShowHelp(41300);
    else if (button == m_speedDelete)
        ShowHelp(41400);
    else if (button == m_speedLists)
        ShowHelp(41500);
}

void TEditForm::BroltGridDblClick() {
    const int row = Row(), column = Column();
    if (row < 1)
        return;
    const QString name = cellText(row, Col::Name);
    if (column != Col::Date && column != Col::Picture) {
        m_grid->edit(m_grid->currentIndex());
        return;
    }
    if (!HasNonSpace(name)) {
        Ui::instance().showTimedMessage(5000, QStringLiteral("De naam is nog niet ingevuld."),
                                        QStringLiteral("Vul een naam in aub."), screenRect());
        return;
    }
    if (column == Col::Date) {
        TCalendarDlg* calendar = calendarDlg();
        const QString dateText = cellText(row, Col::Date);
        if (!dateText.isEmpty()) {
            const QDate date = ParseDate(dateText, m_data.dateNotation);
            if (date.isValid())
                calendar->SetStartDate(QDateTime(date, QTime(0, 0)));
            else
                m_model->setCellText(row, Col::Date, QString());
        }
        if (calendar->PickDate(true, programName)) {
            m_model->setCellText(row, Col::Date, calendar->PickedDateText());
            m_gridChanged = true;
        }
        return;
    }
    const QString source =
        choosePictureFile
            ? choosePictureFile()
            : QFileDialog::getOpenFileName(
                  this, QString(), m_data.dataFolder,
                  QStringLiteral("Foto-bestanden (*.jpg *.jpeg *.bmp *.png);;Alle bestanden (*)"));
    if (source.isEmpty())
        return;
    const QString picture = PictureFileName(name, source);
    if (importPicture)
        importPicture(source, m_data.dataFolder + picture, 200);
    m_model->setCellText(row, Col::Picture, picture);
    ShowPicture(picture);
    m_gridChanged = true;
}

void TEditForm::BroltGridSelectCell(int row, int column) {
    const int previousRow = m_previousRow, previousColumn = m_previousColumn;
    const QString enteredText = m_enteredText;
    m_previousRow = row;
    m_previousColumn = column;
    m_enteredText = cellText(row, column);
    if (previousColumn != Col::Date || previousRow < 1 || previousRow >= m_table.rowCount())
        return;
    const QString text = cellText(previousRow, Col::Date);
    if (text.isEmpty())
        return;
    const QString rewritten = RewriteDateText(text);
    m_model->setCellText(previousRow, Col::Date, rewritten);
    if (!ParseDate(rewritten, m_data.dateNotation).isValid()) {
        // OK or "Vandaag" write the calendar's date; Annuleren (or Escape)
        // puts back what the cell held before it was typed in.
        TCalendarDlg* calendar = calendarDlg();
        const bool accepted = calendar->exec() == QDialog::Accepted;
        m_model->setCellText(previousRow, Col::Date, accepted ? calendar->PickedDateText() : enteredText);
    }
}

void TEditForm::GeboorteClick(const QString& caption) {
    QString kind = caption;
    kind.remove(u'&');
    m_model->setCellText(Row(), Col::Kind, kind);
    m_grid->viewport()->update();
    m_gridChanged = true;
}

// ---------------------------------------------------------------------------

void TEditForm::ClearRow(int row) {
    m_model->clearRow(row);
}

void TEditForm::DeleteRow(int row) {
    // The blank row at the end stays: deleting it only empties it.
    if (row >= m_table.rowCount() - 1)
        m_model->clearRow(row);
    else
        m_model->removeTableRow(row);
}

void TEditForm::SpeedAddClick() {
    m_grid->finishEditing();
    const int row = std::max(1, Row());
    m_model->insertTableRow(row);
    // What is typed next is the new record's name.
    SelectCell(row, Col::Name);
    m_gridChanged = true;
}

void TEditForm::SpeedDeleteClick() {
    m_grid->finishEditing();
    const int row = Row(), column = Column();
    if (row >= 1) {
        bool cancel = false;
        const QString message = QStringLiteral("Wil u inderdaad de gegevens van \"") +
                                cellText(row, Col::Name) + QStringLiteral("\" verwijderen?");
        if (Ui::instance().askYesNo(cancel, false, QStringLiteral("Ja"), QStringLiteral("Nee"), QString(),
                                    message, programName + QStringLiteral(" - Wijzigen"), screenRect())) {
            DeleteRow(row);
            SelectCell(std::min(row, m_table.rowCount() - 1), column);
        }
    }
    m_gridChanged = true;
}

void TEditForm::SpeedListsClick() {
    m_btnCancel->setFocus();
    LogScope log("EditForm", "SpeedListsClick");
    const QRect frame = frameGeometry();
    m_listPopup->popup(QPoint(m_speedLists->x() + frame.left() + 10, m_speedLists->y() + frame.top() + 50));
}

void TEditForm::YearCalendarClick() {
    m_btnCancel->setFocus();
    LogScope log("EditForm", "YearCalendarClick");
    if (showYearCalendar) {
        const int row = Row(), column = Column();
        m_model->rearrange(showYearCalendar); // the list sorts the records
        SelectCell(row, column);
        m_gridChanged = true; // as any sort of the records is
    }
}

void TEditForm::AllNamesClick() {
    LogScope log("EditForm", "AllNamesClick");
    if (showAllNames) {
        const int row = Row(), column = Column();
        m_model->rearrange(showAllNames);
        SelectCell(row, column);
        m_gridChanged = true; // as any sort of the records is
    }
}

void TEditForm::SortByOption() {
    if (!m_data.painted)
        return;
    m_grid->finishEditing();
    const int row = Row(), column = Column();
    m_model->rearrange([this] { ::SortByOption(m_table, Working().sortOrder, m_data.dateNotation); });
    SelectCell(row, column);
    m_gridChanged = true;
}

void TEditForm::OpenProperties() {
    if (!openProperties)
        return;
    const int row = Row(), column = Column();
    m_model->rearrange(openProperties); // the properties window edits the rows in place
    SelectCell(row, column);
}

void TEditForm::BtnOKClick() {
    m_grid->finishEditing();
    const bool props = propsChanged && propsChanged();
    m_data.unsavedChanges = m_data.unsavedChanges || props || m_gridChanged;
    if (m_data.unsavedChanges)
        m_data.saveEnabled = true;
    m_gridChanged = false;
    const DateReport report = ValidateDates(m_table, m_data.dateNotation, Clock::today());
    if (!report.ok)
        Ui::instance().showTimedMessage(5000, report.firstLine, report.secondLine, screenRect());
    accept();
}

void TEditForm::BtnCancelClick() {
    reject();
}

void TEditForm::reject() {
    // Annuleren, the close box and Escape outside the grid forget everything
    // done since the window was shown: typing, added and deleted rows, imported
    // records, the properties window's changes.
    m_grid->cancelEditing();
    if (m_rowsAtShow) {
        const int row = Row(), column = Column();
        m_model->rearrange([this] { m_table = *m_rowsAtShow; });
        // Rows saved meanwhile are on disk: the rows put back are a change to them.
        m_data.unsavedChanges = m_unsavedAtShow || m_savedWhileShown;
        m_data.saveEnabled = m_saveEnabledAtShow || m_savedWhileShown;
        SelectCell(row, column);
    }
    m_gridChanged = false;
    m_escText.clear();
    QDialog::reject();
}

void TEditForm::leaveGrid(bool forward) {
    m_grid->finishEditing();
    focusNextPrevChild(forward);
}

void TEditForm::keyPressEvent(QKeyEvent* event) {
    // Escape on the grid brings a cleared cell back (on key up); it does not close the window.
    QWidget* focus = focusWidget();
    if (event->key() == Qt::Key_Escape && focus && (focus == m_grid || m_grid->isAncestorOf(focus))) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---------------------------------------------------------------------------

bool TEditForm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    QWidget* editor = m_grid->cellEditor();
    if (watched == m_grid || (editor && watched == editor) || qobject_cast<QLineEdit*>(watched)) {
        if (type == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (leavesTheGrid(key)) {
                leaveGrid(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
                return true;
            }
            if (key->key() == Qt::Key_Escape)
                m_escapePressed = watched == m_grid;
            BroltGridKeyDown(key->key());
        } else if (type == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat())
                BroltGridKeyUp(key->key());
        }
        return QDialog::eventFilter(watched, event);
    }
    if (watched == m_grid->viewport()) {
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseMove) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint pos = mouse->position().toPoint();
            const QModelIndex index = m_grid->indexAt(pos);
            const int row = index.isValid() ? index.row() + 1 : -1;
            const int column = index.isValid() ? index.column() : -1;
            if (type == QEvent::MouseMove) {
                BroltGridMouseMove(row, column);
                return false;
            }
            m_clickRan = false;
            const QPoint gridPos = m_grid->viewport()->mapTo(m_grid, pos);
            BroltGridMouseDown(mouse->button(), row, column, gridPos);
            return mouse->button() == Qt::RightButton; // the menu chose the row already
        }
        return false;
    }
    if (watched == m_grid->horizontalHeader()->viewport()) {
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseMove) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint pos = mouse->position().toPoint();
            QHeaderView* header = m_grid->horizontalHeader();
            const int column = header->logicalIndexAt(pos);
            if (type == QEvent::MouseMove) {
                BroltGridMouseMove(column < 0 ? -1 : 0, column);
                return false;
            }
            // A press on a border starts dragging the column width, not sorting.
            if (header->logicalIndexAt(pos.x() - 4) != header->logicalIndexAt(pos.x() + 4))
                return false;
            BroltGridMouseDown(mouse->button(), column < 0 ? -1 : 0, column,
                               header->viewport()->mapTo(m_grid, pos));
        }
        return false;
    }
    if (type == QEvent::MouseButtonPress) {
        auto* button = qobject_cast<QToolButton*>(watched);
        if (button && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            SpeedMouseDown(button);
            return true;
        }
    }
    if (type == QEvent::MouseMove && (watched == m_speedPanel || watched == m_statusPanel ||
                                      watched == m_imagePanel || watched == m_image))
        FormMouseMove();
    return QDialog::eventFilter(watched, event);
}
