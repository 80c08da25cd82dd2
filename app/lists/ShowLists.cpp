#include "lists/ShowLists.h"

#include "Ui.h"
#include "editing/Days.h"
#include "editing/Sorting.h"
#include "kit/Clock.h"
#include "kit/ClrBtn.h"
#include "kit/Desktop.h"
#include "kit/Help.h"
#include "kit/Log.h"
#include "kit/Store.h"
#include "kit/Support.h"
#include "records/Dates.h"
#include "settings/Working.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLocale>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>

#include <memory>

namespace {

constexpr int buttonWidth = 120;
constexpr int buttonHeight = 25;
constexpr int editLeft = 50;
constexpr int editTop = 50;
constexpr int editWidth = 580;
constexpr quint32 listColor = 0xC8FFFF; // RGB(255,255,200)

// Tab stops are given in points; the document measures in pixels of 96 per inch.
qreal pixelsOfPoints(int points) {
    return points * 96.0 / 72.0;
}

Qt::Alignment alignmentOf(ListAlign align) {
    switch (align) {
    case ListAlign::Center:
        return Qt::AlignHCenter;
    case ListAlign::Right:
        return Qt::AlignRight;
    case ListAlign::Left:
        break;
    }
    return Qt::AlignLeft;
}

QTextCharFormat charFormat(int points, bool bold) {
    QTextCharFormat format;
    format.setFontPointSize(points);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return format;
}

// The document shown, printed and saved from one model.
void render(const ListDocument& list, QTextDocument* document) {
    document->clear();
    QTextCursor cursor(document);
    bool first = true;
    for (const ListParagraph& p : list.paragraphs) {
        QTextBlockFormat block;
        block.setAlignment(alignmentOf(p.align));
        QList<QTextOption::Tab> tabs;
        for (const int stop : p.tabStops)
            tabs << QTextOption::Tab(pixelsOfPoints(stop), QTextOption::LeftTab);
        block.setTabPositions(tabs);
        const QTextCharFormat mark = charFormat(p.points, p.bold);
        if (first) {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(mark);
            first = false;
        } else {
            cursor.insertBlock(block, mark);
        }
        for (const ListRun& run : p.runs)
            cursor.insertText(run.text, charFormat(run.points, run.bold));
    }
}

} // namespace

TShowListsForm::TShowListsForm(RecordTable& table, DataFile& data, QWidget* parent)
    : QDialog(parent), m_table(table), m_data(data) {
    setObjectName(QStringLiteral("ShowListsForm"));
    SetHelpContext(this, 41600);

    hasPrinter = [] { return !QPrinterInfo::availablePrinters().isEmpty(); };
    canWritePdf = [] {
        QPrinter pdf;
        pdf.setOutputFormat(QPrinter::PdfFormat);
        return pdf.isValid();
    };
    printDialog = [this](QPrinter& printer) {
        QPrintDialog dialog(&printer, this);
        dialog.setObjectName(QStringLiteral("PrintDialog1"));
        return dialog.exec() == QDialog::Accepted;
    };
    findProgram = [](const QString& name) { return QStandardPaths::findExecutable(name); };
    startProgram = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };

    m_panel1 = new QWidget(this);
    m_panel1->setObjectName(QStringLiteral("Panel1"));
    SetKitBackground(m_panel1, listColor);
    SetKitBackground(this, listColor);

    m_printBtn = new TClrBtn(QStringLiteral("Druk af"), m_panel1);
    m_printBtn->setObjectName(QStringLiteral("PrintBtn"));
    m_printBtn->setDefault(true);
    m_wordBtn = new TClrBtn(QStringLiteral("Open in WordPad"), m_panel1);
    m_wordBtn->setObjectName(QStringLiteral("WordBtn"));
    m_mailBtn = new TClrBtn(QStringLiteral("Mail"), m_panel1);
    m_mailBtn->setObjectName(QStringLiteral("MailBtn"));
    m_mailBtn->setToolTip(QStringLiteral("Mail"));
    m_mailBtn->setForeColor(0xFF0000); // blue
    QFont underlined = m_mailBtn->font();
    underlined.setUnderline(true);
    m_mailBtn->setFont(underlined);
    m_closeBtn = new TClrBtn(QStringLiteral("Sluit venster"), m_panel1);
    m_closeBtn->setObjectName(QStringLiteral("CloseBtn"));
    for (TClrBtn* button : {m_printBtn, m_wordBtn, m_mailBtn, m_closeBtn}) {
        button->useKitColors();
        button->resize(buttonWidth, buttonHeight);
        button->setAutoDefault(false);
    }
    m_printBtn->setDefault(true);

    m_richEdit = new QTextEdit(this);
    m_richEdit->setObjectName(QStringLiteral("RichEdit"));
    m_richEdit->setFrameShape(QFrame::NoFrame);
    m_richEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_richEdit->setTabChangesFocus(false);
    // What is printed and saved is the list as built, so it is not edited here.
    m_richEdit->setReadOnly(true);
    m_richEdit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Calibri is rarely there outside Windows; Carlito has the same widths, so
    // the names, dots and tab stops fall where they would in Calibri, where a
    // wider face pushes the dates past their tab stop and the ages onto a line
    // of their own.
    QFont::insertSubstitution(QStringLiteral("Calibri"), QStringLiteral("Carlito"));
    m_richEdit->setFont(KitFont(QStringLiteral("Calibri"), 16));

    connect(m_printBtn, &QPushButton::clicked, this, &TShowListsForm::PrintBtnClick);
    connect(m_wordBtn, &QPushButton::clicked, this, &TShowListsForm::WordBtnClick);
    connect(m_mailBtn, &QPushButton::clicked, this, &TShowListsForm::MailBtnClick);
    connect(m_closeBtn, &QPushButton::clicked, this, &QDialog::reject);

    // FormCreate.
    ResizeFitted(this, QSize(Store::readInteger(Keys::ListsWidth), Store::readInteger(Keys::ListsHeight)));
    setWindowTitle(QStringLiteral("Brolt - Toon/Mail/Print Lijsten"));
    m_richEdit->setGeometry(editLeft, editTop, editWidth, qMax(0, height() - 100));
    resize(editLeft + editWidth + 37, height());
    AddMnemonics(this);
    // The design's width, or what the widest caption needs at a larger desktop font.
    FitCaptions(m_panel1);
    int width = buttonWidth;
    for (TClrBtn* button : {m_printBtn, m_wordBtn, m_mailBtn, m_closeBtn})
        width = std::max(width, button->width());
    if (width > buttonWidth)
        resize(std::max(this->width(), 4 * width + 64), height());
    int left = (this->width() - 4 * width - 40) / 2 + 12;
    for (TClrBtn* button : {m_printBtn, m_wordBtn, m_mailBtn, m_closeBtn}) {
        button->resize(width, button->height());
        button->move(left, (40 - button->height()) / 2);
        left += width + 10;
    }
}

TShowListsForm::~TShowListsForm() {
    Store::writeInteger(QString::fromLatin1(Keys::ListsHeight.name), height());
    Store::writeInteger(QString::fromLatin1(Keys::ListsWidth.name), width());
}

QRect TShowListsForm::screenRect() const {
    const QScreen* s = screen();
    return s ? s->availableGeometry() : QRect(0, 0, 1920, 1080);
}

void TShowListsForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormPaint();
}

void TShowListsForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    m_panel1->setGeometry(0, 0, width(), 40);
    m_richEdit->setGeometry(editLeft, editTop, editWidth, qMax(0, height() - 100));
}

void TShowListsForm::FormPaint() {
    if (const QWidget* editForm = parentWidget()) {
        const QRect over = editForm->frameGeometry();
        int left = over.left() + over.width() / 2 - width() / 2;
        int top = over.top() + over.height() / 2 - height() / 2;
        const QRect screen = screenRect();
        if (top + height() > screen.height())
            top = screen.height() - height() - 35;
        PlaceFitted(this, QPoint(left, qMax(0, top)), size());
    }
    m_richEdit->setGeometry(editLeft, editTop, editWidth, qMax(0, height() - 100));
    // The margins of 2.5 cm are set on the printer when printing, on a PDF
    // page just as well; here only whether there is anything to print to
    // (asked at showing: the printer list can be slow).  Without a printer the
    // print dialog still writes a PDF file.
    if (!hasPrinter() && !canWritePdf()) {
        if (LogOn)
            WriteLog(QStringLiteral("ShowListsForm.FormPaint - SetRichEditMargins"));
        m_printBtn->setEnabled(false);
    } else {
        m_printBtn->setEnabled(true);
    }
}

void TShowListsForm::startList(int sortOrder) {
    const QRect caller = parentWidget() ? parentWidget()->frameGeometry() : QRect();
    AskSaveBeforeList(m_data, windowTitle(), caller);
    if (saveStateChanged)
        saveStateChanged();
    m_rememberedSort = Working().sortOrder;
    SortByOption(m_table, sortOrder, m_data.dateNotation);
    m_richEdit->hide();
    m_richEdit->clear();
    m_richEdit->setTabChangesFocus(false);
}

void TShowListsForm::showDocument() {
    ::render(m_document, m_richEdit->document());
    // The list's own choices of size and weight; the rest comes from RichEdit's font.
    m_richEdit->document()->setDefaultFont(m_richEdit->font());
    if (!m_data.unsavedChanges) // a failed save keeps its changes marked
        m_data.saveEnabled = false;
    if (saveStateChanged)
        saveStateChanged();
    m_richEdit->moveCursor(QTextCursor::Start);
    m_richEdit->ensureCursorVisible();
    m_richEdit->show();
    exec();
}

void TShowListsForm::ShowYearCalendar() {
    LogScope log("ShowListsForm", "ShowYearCalendar");
    startList(1);
    Ui::instance().processEvents();
    const QFontMetrics metrics(m_richEdit->font());
    const ListHeader header{m_data.caption, FormatDateShort(Clock::today(), ShortDateFormat())};
    m_document = BuildYearCalendar(
        m_table, header, m_data.dateNotation,
        [&](const QString& text) { return metrics.horizontalAdvance(text); },
        [](int month) { return QLocale().monthName(month, QLocale::LongFormat); });
    SortByOption(m_table, m_rememberedSort, m_data.dateNotation);
    showDocument();
}

void TShowListsForm::ShowAllNames() {
    LogScope log("ShowListsForm", "ShowAllNames");
    startList(0);
    const QFontMetrics metrics(m_richEdit->font());
    const ListHeader header{m_data.caption, FormatDateShort(Clock::today(), ShortDateFormat())};
    m_document = BuildAllNames(m_table, header, m_data.dateNotation, Clock::today().year(),
                               [&](const QString& text) { return metrics.horizontalAdvance(text); });
    if (m_rememberedSort != 0)
        SortByOption(m_table, m_rememberedSort, m_data.dateNotation);
    showDocument();
}

QString TShowListsForm::saveList() {
    const QString path = SaveListFile(m_document, m_data.dataFolder);
    if (path.isEmpty())
        Ui::instance().showTimedMessage(5000, QStringLiteral("De lijst kan niet worden bewaard in"),
                                        m_data.dataFolder + QStringLiteral("Temp/"), frameGeometry());
    return path;
}

void TShowListsForm::PrintBtnClick() {
    LogScope log("ShowListsForm", "PrintBtnClick");
    QPrinter printer(QPrinter::HighResolution);
    if (printDialog(printer)) {
        // The document goes straight to the printer chosen, so the system's
        // default printer stays as the user set it.
        saveList();
        Ui::instance().processEvents();
        printer.setPageMargins(QMarginsF(25, 25, 25, 25), QPageLayout::Millimeter);
        // The page is laid out here, in the document's own units of 96 per
        // inch, so that printing adds no margins of its own to the 2.5 cm.
        std::unique_ptr<QTextDocument> copy(m_richEdit->document()->clone());
        copy->setDefaultFont(m_richEdit->font());
        QTextFrameFormat frame = copy->rootFrame()->frameFormat();
        frame.setMargin(0);
        copy->rootFrame()->setFrameFormat(frame);
        copy->setPageSize(printer.pageRect(QPrinter::Point).size() * (96.0 / 72.0));
        copy->print(&printer);
        if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
            Ui::instance().showTimedMessage(
                5000, QStringLiteral("Afdrukken is niet gelukt."),
                QStringLiteral("Fout: ") + QString::number(int(printer.printerState())), frameGeometry());
    }
    accept();
}

void TShowListsForm::WordBtnClick() {
    LogScope log("ShowListsForm", "WordBtnClick");
    const QString path = saveList();
    if (path.isEmpty())
        return;
    struct Candidate {
        const char* name;
        QStringList arguments;
    };
    const Candidate candidates[] = {{"lowriter", {}},
                                    {"libreoffice", {QStringLiteral("--writer")}},
                                    {"soffice", {QStringLiteral("--writer")}},
                                    {"abiword", {}},
                                    {"wordpad", {}}};
    for (const Candidate& candidate : candidates) {
        const QString program = findProgram(QString::fromLatin1(candidate.name) + ExecutableSuffix());
        if (program.isEmpty())
            continue;
        if (startProgram(program, candidate.arguments + QStringList{path}))
            return;
        // A button that opens nothing visible says so.
        Ui::instance().showTimedMessage(5000,
                                        QStringLiteral("De tekstverwerker kan niet worden gestart: ") +
                                            QFileInfo(program).fileName(),
                                        QStringLiteral("De lijst staat in ") + path, frameGeometry());
        return;
    }
    Ui::instance().showTimedMessage(
        5000, QStringLiteral("Er is geen tekstverwerker gevonden (LibreOffice Writer of AbiWord)."),
        QStringLiteral("De lijst staat in ") + path, frameGeometry());
}

void TShowListsForm::MailBtnClick() {
    LogScope log("ShowListsForm", "MailBtnClick");
    if (saveList().isEmpty())
        return;
    const QString program = QDir::currentPath() + QStringLiteral("/Zendro") + ExecutableSuffix();
    if (!startProgram(program, {QStringLiteral("Brolt")}))
        Ui::instance().showTimedMessage(
            5000, QStringLiteral("Er is iets fout gegaan bij het versturen van de e-mail"), QString(),
            frameGeometry());
}
