#pragma once

#include "editing/Datum.h"
#include "records/DataFile.h"
#include "records/RecordTable.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>
#include <optional>

class QLabel;
class TPictureImage;
class QMenu;
class QToolButton;
class TClrBtn;
class TExchangeButtons;

// The record table as the grid sees it: grid row r is table row r + 1 (the
// table's row 0 holds the titles, shown as the header), and only the columns
// the grid shows, Naam to Fotobestand.  The record's other cells stay in the
// table, reached through table() and setCellText().  Reads and writes the
// table in place; there is no copy.
class RecordModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordModel(RecordTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    RecordTable& table() { return m_table; }
    // Table row numbers.
    void setCellText(int row, int column, const QString& text);
    void clearRow(int row);
    // Runs `change` (which may move, add or remove rows) as one reset of the grid.
    void rearrange(const std::function<void()>& change);
    void removeTableRow(int row);
    void insertTableRow(int row);
    void appendBlankRow();
    // The table was changed behind the grid's back (read, sorted, ...).
    void reload();

private:
    RecordTable& m_table;
};

// The grid, with the one thing the form needs to know that QTableView keeps
// to itself: whether a cell is being edited.
class TBroltGrid : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;
    bool editing() const { return state() == QAbstractItemView::EditingState; }
    // The editor of the cell being edited, if any.
    QWidget* cellEditor() const;
    // Takes the text being typed into the cell and closes the editor.
    void finishEditing();
    // Closes the editor and drops what was typed into it.
    void cancelEditing();

protected:
    // Keys move past the computed age (never typed), as a click on it moves
    // on to the kind: Tab and the arrows do not stop there.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
};

// Cell editors that refuse ";" and line breaks while typing, and let the form
// see their keys.
class TCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TCellDelegate(QObject* keyFilter, QObject* parent);
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

protected:
    // Ctrl+Tab is no Tab to the next cell: it is left to the form, which leaves the grid.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* m_keyFilter;
};

// The edit window: all records in a grid, to type, add, delete, sort and check.
// Created once; the main window shows it modally with EditRecords().
class TEditForm : public QDialog {
    Q_OBJECT
public:
    TEditForm(RecordTable& table, DataFile& data, QWidget* parent = nullptr);
    ~TEditForm() override;

    // Shows the window modally.  True when it was closed with OK and the data
    // is now marked as changed (DataFile::unsavedChanges, saveEnabled).
    bool EditRecords();

    // Operations other windows call (table row numbers).
    void ClearRow(int row);
    void DeleteRow(int row);
    // Sorts by the sort order choice; nothing until the main window was painted.
    void SortByOption();
    void OpenProperties();
    void ShowPicture(const QString& name);

    // The current cell in table rows (1 = first record) and columns.
    int Row() const;
    int Column() const;
    void SelectCell(int row, int column);
    bool gridChanged() const { return m_gridChanged; }
    QString statusText() const;

    RecordModel* model() const { return m_model; }
    TBroltGrid* grid() const { return m_grid; }
    TExchangeButtons* exchangeButtons() const { return m_exchange; }
    // The calendar dialog the window uses; its own one unless one was given.
    TCalendarDlg* calendarDlg();
    void setCalendarDlg(TCalendarDlg* dialog) { m_calendar = dialog; }

    // Hooks for the windows that come from elsewhere; unset they do nothing.
    std::function<void()> openProperties;   // empty the name list and show the properties window
    std::function<bool()> propsChanged;     // the properties window's propsChanged
    std::function<void()> showYearCalendar; // the year calendar list
    std::function<void()> showAllNames;     // the list of all names
    // A header click chose the sort order (0 name, 1 date, 2 age).
    std::function<void(int order)> sortOrderChosen;
    std::function<void(const QString& source, const QString& target, int maxWidth)> importPicture;
    // The picture file chooser (OpenDialog1); tests answer it.  Empty: cancelled.
    std::function<QString()> choosePictureFile;

public Q_SLOTS:
    void FormPaint();
    void FormResize();
    void BroltGridClick();
    void BroltGridDblClick();
    void BroltGridKeyDown(int key);
    void BroltGridKeyUp(int key);
    // Mouse handlers get the cell in table rows; -1 outside every cell.
    void BroltGridMouseDown(Qt::MouseButton button, int row, int column, const QPoint& gridPos);
    void BroltGridMouseMove(int row, int column);
    // The cell (row, column) became the selected one.
    void BroltGridSelectCell(int row, int column);
    void FormMouseMove();
    void SpeedMouseDown(QToolButton* button);
    void GeboorteClick(const QString& caption);
    void SpeedAddClick();
    void SpeedDeleteClick();
    void SpeedListsClick();
    void YearCalendarClick();
    void AllNamesClick();
    void BtnOKClick();
    void BtnCancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int wantedGridWidth() const;
    void writeSettings();
    void setStatus(const QString& text);
    void scrollToColumn0();
    QString cellText(int row, int column) const;
    QRect screenRect() const;
    // Ctrl+Tab and Ctrl+Shift+Tab: the focus leaves the grid, the cell being
    // typed is kept as leaving it with Tab keeps it.
    void leaveGrid(bool forward);
    // What Annuleren goes back to: the rows and the data's flags as they are now.
    void keepForCancel();

    RecordTable& m_table;
    DataFile& m_data;
    RecordModel* m_model;
    TBroltGrid* m_grid;
    QWidget* m_speedPanel;
    QToolButton* m_speedAdd;
    QToolButton* m_speedDelete;
    QToolButton* m_speedLists;
    TExchangeButtons* m_exchange;
    QLabel* m_labelFormaat;
    TClrBtn* m_btnOK;
    TClrBtn* m_btnCancel;
    QWidget* m_imagePanel;
    TPictureImage* m_image;
    QLabel* m_statusPanel;
    QMenu* m_popupMenu1;
    QMenu* m_listPopup;
    QPointer<TCalendarDlg> m_calendar;

    bool m_gridChanged = false;
    bool m_painted = false;
    bool m_startUp = true;
    bool m_quiet = false;    // the selection moves by our own hand: no date-cell check
    bool m_clickRan = false; // the press already ran the click handling
    // The Escape memory: the text of a cell before the first key.
    QString m_escText;
    bool m_escapePressed = false; // the Escape being released was pressed on the grid
    int m_escColumn = 0;
    int m_escRow = 0;
    int m_previousRow = 0;
    int m_previousColumn = 0;
    // The text of the selected cell when it was selected: a date that the
    // calendar was cancelled for goes back to it.
    QString m_enteredText;
    // The rows and flags when the window was shown, for Annuleren; whether the
    // data file was saved since (the rows on disk then differ from them).
    std::optional<RecordTable> m_rowsAtShow;
    bool m_unsavedAtShow = false;
    bool m_saveEnabledAtShow = false;
    bool m_savedWhileShown = false;
};
