#pragma once

#include "lists/ListDocument.h"
#include "records/DataFile.h"
#include "records/RecordTable.h"

#include <QDialog>

#include <functional>

class QPrinter;
class QTextEdit;
class QWidget;
class TClrBtn;

// The lists window: the year calendar or the list of all names, built from
// the record table, shown as formatted text to print, open in a word
// processor or hand to the mail program.  Created once; each list call
// rebuilds the text and shows the window modally.  Centred over its parent
// (the edit window).
class TShowListsForm : public QDialog {
    Q_OBJECT
public:
    TShowListsForm(RecordTable& table, DataFile& data, QWidget* parent = nullptr);
    ~TShowListsForm() override;

    // Build a list (sorting the table for it and back) and show it modally.
    void ShowYearCalendar();
    void ShowAllNames();

    const ListDocument& document() const { return m_document; }
    QTextEdit* richEdit() const { return m_richEdit; }

    // The main window: its save button follows DataFile::saveEnabled again.
    std::function<void()> saveStateChanged;

    // Seams, set to the real thing at creation; tests replace them.
    std::function<bool()> hasPrinter;                   // is there any printer at all
    std::function<bool()> canWritePdf;                  // can the print dialog make a PDF file
    std::function<bool(QPrinter& printer)> printDialog; // the print dialog; false when cancelled
    std::function<QString(const QString& name)> findProgram;
    std::function<bool(const QString& program, const QStringList& arguments)> startProgram;

public Q_SLOTS:
    void FormPaint();
    void PrintBtnClick();
    void WordBtnClick();
    void MailBtnClick();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void startList(int sortOrder);
    void showDocument();
    QString saveList();
    QRect screenRect() const;

    RecordTable& m_table;
    DataFile& m_data;
    ListDocument m_document;
    QWidget* m_panel1;
    TClrBtn* m_printBtn;
    TClrBtn* m_wordBtn;
    TClrBtn* m_mailBtn;
    TClrBtn* m_closeBtn;
    QTextEdit* m_richEdit;
    int m_rememberedSort = 0;
};
