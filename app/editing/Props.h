#pragma once

#include "records/DataFile.h"
#include "records/RecordTable.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QWidget;
class TClrBtn;
class TEditForm;
class TPictureImage;

// The extended way of editing: every name in a list and, for the selected
// one, all of its fields, its picture and its age.  Every field is written
// into its cell of the record table as soon as the user leaves it.  Created
// once; each showing starts from a fresh list.
class TPropertiesForm : public QDialog {
    Q_OBJECT

public:
    TPropertiesForm(RecordTable& table, DataFile& data, QWidget* parent = nullptr);
    ~TPropertiesForm() override;

    // The edit window whose grid shows the table: rows are added, cleared and
    // deleted through it, and its double-click handling picks dates and pictures.
    void setEditForm(TEditForm* form) { m_edit = form; }

    // Empties the name list and shows the window modally.
    void OpenProperties();
    // Empties the name list for the next showing.
    void PrepareShowing();

    // Some field was written into the table during this run.
    bool propsChanged() const { return m_propsChanged; }
    int currentRow() const { return m_currentRow; }
    int shownRow() const { return m_shownRow; }
    bool newNameMode() const { return m_newNameMode; }
    // The selected event kind: 0 "Feest" .. 5 "Te Doen", -1 none.
    int kindIndex() const;
    QStringList mailLines() const;

    // Hands the mail on; tests replace it.  Empty: HandOffMail to the mail program.
    std::function<int(const QStringList& lines, const QString& programName, const QString& detail,
                      const QString& addressee)>
        handOffMail;

public Q_SLOTS:
    void FormPaint();
    void FormResize();
    void ListBoxClick();
    void EditNaamExit();
    void EditDatumExit();
    void EditFotoExit();
    void EditMailExit();
    void EditTelefoonExit();
    void EditStraatExit();
    void EditPostcodeExit();
    void EditLandExit();
    void GebeurtenisClick();
    void GebeurtenisToText();
    void BtnKalenderClick();
    void BtnFotoClick();
    void BtnDeleteClick();
    void BtnNewClick();
    void BtnMailClick();
    void BtnOKClick();
    void BtnCancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormClose();
    // Runs the exit handler of `field` (nothing for another widget).
    void runExit(QObject* field);
    void ShowRecord(int row);
    void ShowPicture();
    void setKindIndex(int index);
    void selectItem(int index);
    void focusName();
    // Writes `field` into `column` of the current row when it differs.
    void fieldExit(QLineEdit* field, int column);
    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString& text);
    void clearRow(int row);
    void deleteRow(int row);
    void appendRow();
    void setModified();
    QRect screenRect() const;

    RecordTable& m_table;
    DataFile& m_data;
    QPointer<TEditForm> m_edit;

    QWidget* m_panelLeft;
    QListWidget* m_listBox;
    QWidget* m_panelMain;
    QLineEdit* m_editNaam;
    QLineEdit* m_editDatum;
    QLineEdit* m_editFoto;
    QLineEdit* m_editMail;
    QLineEdit* m_editTelefoon;
    QLineEdit* m_editStraat;
    QLineEdit* m_editPostcode;
    QLineEdit* m_editLand;
    QGroupBox* m_gebeurtenis;
    QButtonGroup* m_kinds;
    QLabel* m_labelLeeftijd2;
    TPictureImage* m_image;
    QPlainTextEdit* m_memoMail;
    TClrBtn* m_btnKalender;
    TClrBtn* m_btnFoto;
    TClrBtn* m_btnDelete;
    TClrBtn* m_btnNew;
    TClrBtn* m_btnMail;
    TClrBtn* m_btnCancel;
    TClrBtn* m_btnOK;

    int m_currentRow = 0;
    int m_shownRow = 0;
    bool m_propsChanged = false;
    bool m_newNameMode = false;
    bool m_skipKind = false;
    bool m_listFilled = false;
    bool m_okFlag = false;
    bool m_quiet = false; // the list selection moves by our own hand
};
