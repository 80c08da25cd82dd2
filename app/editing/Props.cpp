#include "editing/Props.h"

#include "Ui.h"
#include "editing/Datum.h" // Edit.h keeps the calendar in a QPointer
#include "editing/Edit.h"
#include "editing/Sorting.h"
#include "kit/ClrBtn.h"
#include "kit/Desktop.h"
#include "kit/Log.h"
#include "kit/Mail.h"
#include "kit/Shades.h"
#include "kit/Store.h"
#include "lists/ShowPicture.h"

#include <QButtonGroup>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <algorithm>

namespace {

const QString programName = QStringLiteral("Brolt");
constexpr int windowFontPixels = 15;
constexpr int lowerButtonFontPixels = 19;
constexpr int panelLeftWidth = 200;
constexpr int lowerButtonWidth = 110;
constexpr int lowerButtonHeight = 36;
constexpr int fieldsLeft = 190; // the fields stand right of the 170-pixel picture box
constexpr int fieldStep = 48;
constexpr int sideButtonWidth = 110;

// The radio items and the kind each writes: "Te Doen" writes "Te doen".
const QStringList kindCaptions = {QStringLiteral("Feest"),      QStringLiteral("Geboorte"),
                                  QStringLiteral("Huwelijk"),   QStringLiteral("Jubileum"),
                                  QStringLiteral("Overlijden"), QStringLiteral("Te Doen")};
const QStringList kindWords = {Kind::Feest,    Kind::Geboorte,   Kind::Huwelijk,
                               Kind::Jubileum, Kind::Overlijden, Kind::TeDoen};

const QStringList mailTemplate = {QStringLiteral("Lieve, Beste, Geachte ..."),
                                  QString(),
                                  QStringLiteral("Hartelijk gefeliciteerd met ..."),
                                  QString(),
                                  QString(),
                                  QString(),
                                  QString(),
                                  QStringLiteral("Met vriendelijke, hartelijke, collegiale ... groet"),
                                  QString(),
                                  QString(),
                                  QString(),
                                  QString(),
                                  QString()};

} // namespace

TPropertiesForm::TPropertiesForm(RecordTable& table, DataFile& data, QWidget* parent)
    : QDialog(parent), m_table(table), m_data(data) {
    // FormCreate
    setObjectName(QStringLiteral("PropertiesForm"));
    setModal(true);
    setWindowTitle(programName + QStringLiteral(" - Wijzigen, uitgebeide versie"));
    setFont(KitFont(QStringLiteral("Verdana"), windowFontPixels));
    SetKitBackground(this, KitColor::Window);

    m_panelLeft = new QWidget(this);
    m_panelLeft->setObjectName(QStringLiteral("PanelLeft"));
    m_listBox = new QListWidget(m_panelLeft);
    m_listBox->setObjectName(QStringLiteral("ListBox"));
    SetKitBase(m_listBox, ColorFromBgr(KitColor::Window));

    m_panelMain = new QWidget(this);
    m_panelMain->setObjectName(QStringLiteral("PanelMain"));

    int y = 8;
    auto addField = [&](const char* name, const QString& caption) {
        auto* label = new QLabel(caption, m_panelMain);
        label->move(fieldsLeft, y);
        label->adjustSize();
        auto* edit = new QLineEdit(m_panelMain);
        edit->setObjectName(QString::fromLatin1(name));
        edit->move(fieldsLeft, y + 20);
        edit->installEventFilter(this);
        label->setBuddy(edit);
        y += fieldStep;
        return edit;
    };
    m_editNaam = addField("EditNaam", QStringLiteral("Naam"));
    m_editDatum = addField("EditDatum", QStringLiteral("Datum"));
    m_editFoto = addField("EditFoto", QStringLiteral("Foto"));
    m_editMail = addField("EditMail", QStringLiteral("e-mail"));
    m_editTelefoon = addField("EditTelefoon", QStringLiteral("Telefoonnummer"));
    m_editStraat = addField("EditStraat", QStringLiteral("Straat, Huisnummer"));
    m_editPostcode = addField("EditPostcode", QStringLiteral("Postcode, Stad"));
    m_editLand = addField("EditLand", QStringLiteral("Land"));

    auto* labelLeeftijd = new QLabel(QStringLiteral("Leeftijd"), m_panelMain);
    labelLeeftijd->setObjectName(QStringLiteral("LabelLeeftijd"));
    labelLeeftijd->move(8, 28);
    m_labelLeeftijd2 = new QLabel(m_panelMain);
    m_labelLeeftijd2->setObjectName(QStringLiteral("LabelLeeftijd2"));
    m_labelLeeftijd2->setGeometry(90, 28, 40, 20);
    m_labelLeeftijd2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* labelJaar = new QLabel(QStringLiteral("Jaar"), m_panelMain);
    labelJaar->setObjectName(QStringLiteral("LabelJaar"));
    labelJaar->move(136, 28);

    m_image = new TPictureImage(m_panelMain);
    m_image->setGeometry(4, 65, 170, 170);

    m_gebeurtenis = new QGroupBox(QStringLiteral(" Gebeurtenis "), m_panelMain);
    m_gebeurtenis->setObjectName(QStringLiteral("Gebeurtenis"));
    m_gebeurtenis->setGeometry(4, 245, 176, 200);
    m_kinds = new QButtonGroup(this);
    for (int i = 0; i < kindCaptions.size(); ++i) {
        auto* radio = new QRadioButton(kindCaptions[i], m_gebeurtenis);
        radio->setObjectName(QStringLiteral("Gebeurtenis%1").arg(i));
        radio->move(10, 24 + i * 28);
        radio->adjustSize();
        m_kinds->addButton(radio, i);
    }
    connect(m_kinds, &QButtonGroup::idClicked, this, &TPropertiesForm::GebeurtenisClick);

    m_memoMail = new QPlainTextEdit(this);
    m_memoMail->setObjectName(QStringLiteral("MemoMail"));
    m_memoMail->setPlainText(mailTemplate.join(QLatin1Char('\n')));
    m_memoMail->hide();

    auto makeButton = [&](QWidget* parentWidget, const char* name, const QString& caption,
                          const QString& hint) {
        auto* button = new TClrBtn(caption, parentWidget);
        button->setObjectName(QString::fromLatin1(name));
        button->setToolTip(hint);
        button->useKitColors();
        button->setAutoDefault(false);
        return button;
    };
    m_btnKalender = makeButton(m_panelMain, "BtnKalender", QStringLiteral("Kalender"),
                               QStringLiteral("Toon de kalender"));
    m_btnFoto = makeButton(m_panelMain, "BtnFoto", QStringLiteral("Kies foto"),
                           QStringLiteral("Blader door de uw foto's"));
    const QFont lowerFont = KitFont(QStringLiteral("Verdana"), lowerButtonFontPixels);
    m_btnDelete = makeButton(this, "BtnDelete", QStringLiteral("Verwijder"),
                             QStringLiteral("Verwijder de geselecteerde naam"));
    m_btnNew = makeButton(this, "BtnNew", QStringLiteral("Nieuw"), QStringLiteral("Voeg een naam toe"));
    m_btnMail =
        makeButton(this, "BtnMail", QStringLiteral("Mail"), QStringLiteral("Stuur een e-mail naar de naam"));
    m_btnCancel =
        makeButton(this, "BtnCancel", QStringLiteral("Annuleren"), QStringLiteral("Sluit het venster"));
    m_btnOK = makeButton(this, "BtnOK", QStringLiteral("OK"), QStringLiteral("Accepteer de wijzigingen"));
    for (TClrBtn* b : {m_btnDelete, m_btnNew, m_btnMail, m_btnCancel, m_btnOK}) {
        b->setFont(lowerFont);
        b->resize(lowerButtonWidth, lowerButtonHeight);
    }

    connect(m_listBox, &QListWidget::currentRowChanged, this, [this] {
        if (!m_quiet)
            ListBoxClick();
    });
    connect(m_listBox, &QListWidget::itemClicked, this, [this] {
        if (!m_quiet)
            ListBoxClick();
    });
    connect(m_btnKalender, &QPushButton::clicked, this, &TPropertiesForm::BtnKalenderClick);
    connect(m_btnFoto, &QPushButton::clicked, this, &TPropertiesForm::BtnFotoClick);
    connect(m_btnDelete, &QPushButton::clicked, this, &TPropertiesForm::BtnDeleteClick);
    connect(m_btnNew, &QPushButton::clicked, this, &TPropertiesForm::BtnNewClick);
    connect(m_btnMail, &QPushButton::clicked, this, &TPropertiesForm::BtnMailClick);
    connect(m_btnCancel, &QPushButton::clicked, this, &TPropertiesForm::BtnCancelClick);
    connect(m_btnOK, &QPushButton::clicked, this, &TPropertiesForm::BtnOKClick);

    // Keyboard, screen readers and a larger desktop font.
    NameControl(m_listBox, QStringLiteral("Namen"));
    AddMnemonics(this);
    ScaleFixedLayout(this);
    FitCaptions(this);
    for (TClrBtn* b : {m_btnDelete, m_btnNew, m_btnMail, m_btnCancel, m_btnOK})
        b->resize(ScaledPixels(lowerButtonWidth), ScaledPixels(lowerButtonHeight));
    PlaceFitted(this, QPoint(Store::readInteger(Keys::PropsLeft), Store::readInteger(Keys::PropsTop)),
                StoredSize(Keys::PropsWidth, Keys::PropsHeight));
    m_newNameMode = false;
    m_listFilled = false;
    m_skipKind = false;
}

TPropertiesForm::~TPropertiesForm() {
    // FormDestroy
    if (PositionsAreOurs()) {
        Store::writeInteger(QString::fromLatin1(Keys::PropsTop.name), pos().y());
        Store::writeInteger(QString::fromLatin1(Keys::PropsLeft.name), pos().x());
    }
    Store::writeInteger(QString::fromLatin1(Keys::PropsHeight.name), height());
    Store::writeInteger(QString::fromLatin1(Keys::PropsWidth.name), width());
}

// ------------------------------------------------------------------ showing

void TPropertiesForm::PrepareShowing() {
    m_quiet = true;
    m_listBox->clear();
    m_quiet = false;
    m_listFilled = false;
    // A flag left from the last OK must not swallow the first exit of this showing.
    m_okFlag = false;
}

void TPropertiesForm::OpenProperties() {
    LogScope log("PropertiesForm", "OpenProperties");
    PrepareShowing();
    exec();
}

void TPropertiesForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormPaint();
}

void TPropertiesForm::FormPaint() {
    if (m_listFilled)
        return;
    m_listFilled = true;
    LogScope log("PropertiesForm", "FormPaint");
    m_quiet = true;
    m_listBox->clear();
    for (int row = 1; row < m_table.rowCount(); ++row)
        m_listBox->addItem(m_table.cell(row, Col::Name));
    m_shownRow = 0;
    if (m_listBox->currentRow() < 0 && m_listBox->count() > 0)
        m_listBox->setCurrentRow(0);
    m_quiet = false;
    ListBoxClick();
}

void TPropertiesForm::ListBoxClick() {
    const int index = m_listBox->currentRow();
    if (index < 0)
        return;
    m_newNameMode = m_listBox->item(index)->text().isEmpty();
    m_currentRow = index + 1;
    ShowRecord(m_currentRow);
    focusName();
}

void TPropertiesForm::focusName() {
    // Also inside the name field's exit: a new name just typed is followed by
    // the name field again, ready for the next one.
    m_editNaam->setFocus(Qt::OtherFocusReason);
}

void TPropertiesForm::ShowRecord(int row) {
    if (row < 1 || row >= m_table.rowCount())
        return;
    m_editNaam->setText(cell(row, Col::Name));
    m_editDatum->setText(cell(row, Col::Date));
    // A kind that is none of the six clears the choice, so that closing the
    // window cannot give this record the kind of the one shown before.
    setKindIndex(int(kindWords.indexOf(cell(row, Col::Kind))));
    m_editFoto->setText(cell(row, Col::Picture));
    ShowPicture();
    m_editMail->setText(cell(row, Col::Mail));
    m_editTelefoon->setText(cell(row, Col::Phone));
    m_editStraat->setText(cell(row, Col::Street));
    m_editPostcode->setText(cell(row, Col::PostcodeCity));
    m_editLand->setText(cell(row, Col::Country));
    m_labelLeeftijd2->setText(cell(row, Col::Age));
    m_shownRow = row;
}

void TPropertiesForm::ShowPicture() {
    ShowPictureProps(m_image, m_data.dataFolder, m_editFoto->text());
}

// ------------------------------------------------------------------ fields

bool TPropertiesForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Only a move of the focus inside this window leaves a field; another
        // window coming forward (the calendar, a note) does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            runExit(watched);
    }
    return QDialog::eventFilter(watched, event);
}

void TPropertiesForm::runExit(QObject* field) {
    if (field == m_editNaam)
        EditNaamExit();
    else if (field == m_editDatum)
        EditDatumExit();
    else if (field == m_editFoto)
        EditFotoExit();
    else if (field == m_editMail)
        EditMailExit();
    else if (field == m_editTelefoon)
        EditTelefoonExit();
    else if (field == m_editStraat)
        EditStraatExit();
    else if (field == m_editPostcode)
        EditPostcodeExit();
    else if (field == m_editLand)
        EditLandExit();
}

void TPropertiesForm::fieldExit(QLineEdit* field, int column) {
    if (m_currentRow < 1 || m_currentRow >= m_table.rowCount())
        return;
    // What the data file cannot hold (";", line breaks) never reaches the table.
    const QString text = CleanCellText(field->text());
    if (text != field->text())
        field->setText(text);
    if (text == cell(m_currentRow, column))
        return;
    setCell(m_currentRow, column, text);
    m_propsChanged = true;
}

void TPropertiesForm::EditDatumExit() {
    // An empty field stays empty: the rewrite would turn it into "0-0-0".
    if (!m_editDatum->text().isEmpty())
        m_editDatum->setText(RewriteDateText(m_editDatum->text()));
    fieldExit(m_editDatum, Col::Date);
}

void TPropertiesForm::EditFotoExit() {
    fieldExit(m_editFoto, Col::Picture);
}

void TPropertiesForm::EditMailExit() {
    fieldExit(m_editMail, Col::Mail);
}

void TPropertiesForm::EditTelefoonExit() {
    fieldExit(m_editTelefoon, Col::Phone);
}

void TPropertiesForm::EditStraatExit() {
    fieldExit(m_editStraat, Col::Street);
}

void TPropertiesForm::EditPostcodeExit() {
    fieldExit(m_editPostcode, Col::PostcodeCity);
}

void TPropertiesForm::EditLandExit() {
    fieldExit(m_editLand, Col::Country);
}

void TPropertiesForm::EditNaamExit() {
    if (m_okFlag) {
        m_okFlag = false;
        return;
    }
    const int index = m_listBox->currentRow();
    if (index >= 0 && m_listBox->item(index)->text().isEmpty())
        m_newNameMode = true;
    const QString name = CleanCellText(m_editNaam->text());
    if (name.isEmpty())
        return; // a name cannot be removed here
    if (name != m_editNaam->text())
        m_editNaam->setText(name);
    if (m_currentRow < 1 || m_currentRow >= m_table.rowCount())
        return;
    QListWidgetItem* shownItem = m_shownRow >= 1 ? m_listBox->item(m_shownRow - 1) : nullptr;

    if (!m_newNameMode) {
        if (cell(m_currentRow, Col::Name) != name) {
            setCell(m_currentRow, Col::Name, name);
            if (shownItem)
                shownItem->setText(name);
            m_propsChanged = true;
        }
        return;
    }
    setCell(m_currentRow, Col::Name, name);
    if (shownItem)
        shownItem->setText(name);
    BtnNewClick();
    selectItem(index);
    ListBoxClick();
    m_propsChanged = true;
    m_newNameMode = false;
}

// ------------------------------------------------------------------ kind

int TPropertiesForm::kindIndex() const {
    return m_kinds->checkedId();
}

void TPropertiesForm::setKindIndex(int index) {
    if (index >= 0 && index < kindCaptions.size()) {
        m_kinds->button(index)->setChecked(true);
        return;
    }
    // An exclusive group keeps one item checked; no selection needs it lifted for a moment.
    m_kinds->setExclusive(false);
    for (QAbstractButton* b : m_kinds->buttons())
        b->setChecked(false);
    m_kinds->setExclusive(true);
}

void TPropertiesForm::GebeurtenisClick() {
    GebeurtenisToText();
}

void TPropertiesForm::GebeurtenisToText() {
    const int index = kindIndex();
    if (index < 0)
        return; // no choice made: the record keeps the kind it has
    if (m_currentRow < 1 || m_currentRow >= m_table.rowCount())
        return;
    const QString& word = kindWords[index];
    if (cell(m_currentRow, Col::Kind) != word) {
        setCell(m_currentRow, Col::Kind, word);
        m_propsChanged = true;
    }
}

// ------------------------------------------------------------------ buttons

void TPropertiesForm::selectItem(int index) {
    m_quiet = true;
    m_listBox->setCurrentRow(index);
    if (QListWidgetItem* item = m_listBox->item(index))
        m_listBox->scrollToItem(item);
    m_quiet = false;
}

void TPropertiesForm::BtnNewClick() {
    LogScope log("PropertiesForm", "BtnNewClick");
    const int last = m_listBox->count() - 1;
    if (last < 0)
        return;
    selectItem(last);
    if (!m_listBox->item(last)->text().isEmpty()) {
        m_listBox->addItem(QString());
        appendRow();
        clearRow(m_table.rowCount() - 1);
        m_propsChanged = true;
    }
    selectItem(m_listBox->count() - 1);
    ListBoxClick();
    setKindIndex(-1);
    focusName();
}

void TPropertiesForm::BtnDeleteClick() {
    LogScope log("PropertiesForm", "BtnDeleteClick");
    const int index = m_listBox->currentRow();
    if (index < 0)
        return;
    // The empty item at the end stands for the table's blank row, which stays.
    if (index == m_listBox->count() - 1) {
        ShowRecord(index + 1);
        return;
    }
    m_skipKind = true;
    m_quiet = true;
    delete m_listBox->takeItem(index);
    m_quiet = false;
    deleteRow(index + 1);
    selectItem(index);
    m_currentRow = index + 1;
    ShowRecord(m_currentRow);
    m_propsChanged = true;
}

void TPropertiesForm::BtnKalenderClick() {
    LogScope log("PropertiesForm", "BtnKalenderClick");
    if (!m_edit || m_currentRow < 1)
        return;
    m_edit->SelectCell(m_currentRow, Col::Date);
    m_edit->BroltGridDblClick();
    if (!m_propsChanged)
        m_propsChanged = m_editDatum->text() != cell(m_currentRow, Col::Date);
    m_editDatum->setText(cell(m_currentRow, Col::Date));
}

void TPropertiesForm::BtnFotoClick() {
    LogScope log("PropertiesForm", "BtnFotoClick");
    if (!m_edit || m_currentRow < 1)
        return;
    m_edit->SelectCell(m_currentRow, Col::Picture);
    m_edit->BroltGridDblClick();
    if (!m_propsChanged)
        m_propsChanged = cell(m_currentRow, Col::Picture) != m_editFoto->text();
    m_editFoto->setText(cell(m_currentRow, Col::Picture));
    ShowPicture();
}

QStringList TPropertiesForm::mailLines() const {
    return m_memoMail->toPlainText().split(QLatin1Char('\n'));
}

void TPropertiesForm::BtnMailClick() {
    LogScope log("PropertiesForm", "BtnMailClick");
    if (m_currentRow < 1 || m_currentRow >= m_table.rowCount())
        return;
    // The web form only reaches the maker, never the person congratulated.
    if (Mail::RouteFor(Mail::QueryMailHandler()) == Mail::Route::WebForm) {
        Ui::instance().showTimedMessage(5000, QStringLiteral("Er is geen e-mailprogramma ingesteld."),
                                        QStringLiteral("Verstuur de mail op een andere manier s.v.p."),
                                        screenRect());
        return;
    }
    const QString detail = QStringLiteral("Verjaardag, Huwelijk, ...");
    const QString addressee = cell(m_currentRow, Col::Mail);
    const int code = handOffMail
                         ? handOffMail(mailLines(), programName, detail, addressee)
                         : HandOffMail(mailLines(), programName, detail, addressee, Mail::Route::MailProgram);
    if (code != 0)
        Ui::instance().showTimedMessage(
            5000, QStringLiteral("Het verzenden van de mail is niet gelukt (Fout %1).").arg(code),
            QStringLiteral("Verstuur de mail op een andere manier s.v.p."), screenRect());
}

void TPropertiesForm::BtnOKClick() {
    m_okFlag = true;
    if (m_skipKind)
        m_skipKind = false;
    else
        GebeurtenisToText();
    if (m_propsChanged)
        setModified();
    accept();
}

void TPropertiesForm::BtnCancelClick() {
    reject();
}

void TPropertiesForm::done(int result) {
    // Escape and the close box do not leave the field being typed in (a click
    // on a button does): only the fields already left are kept.
    FormClose();
    QDialog::done(result);
}

void TPropertiesForm::FormClose() {
    if (m_skipKind)
        m_skipKind = false;
    else
        GebeurtenisToText();
    if (m_propsChanged)
        setModified();
}

void TPropertiesForm::setModified() {
    m_data.unsavedChanges = true;
    m_data.saveEnabled = true;
}

// ------------------------------------------------------------------ layout

void TPropertiesForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TPropertiesForm::FormResize() {
    // The design's pixels, larger where the desktop's font is.
    const int leftWidth = ScaledPixels(panelLeftWidth), left = ScaledPixels(fieldsLeft);
    const int sideWidth = ScaledPixels(sideButtonWidth), fieldHeight = ScaledPixels(26);
    const int buttonWidth = ScaledPixels(lowerButtonWidth);
    const int clientWidth = width();
    const int clientHeight = height();
    m_panelLeft->setGeometry(0, 0, leftWidth, std::max(clientHeight - ScaledPixels(70), 0));
    m_listBox->setGeometry(8, 8, leftWidth - 16, std::max(m_panelLeft->height() - 16, 0));
    m_panelMain->setGeometry(m_panelLeft->width(), 0, std::max(clientWidth - m_panelLeft->width(), 0),
                             m_panelLeft->height());

    const int fieldWidth = std::max(m_panelMain->width() - left - 12, 120);
    const int narrowWidth = std::max(fieldWidth - sideWidth - 8, 80);
    for (QLineEdit* edit : {m_editNaam, m_editDatum, m_editFoto, m_editMail, m_editTelefoon, m_editStraat,
                            m_editPostcode, m_editLand})
        edit->resize(edit == m_editDatum || edit == m_editFoto ? narrowWidth : fieldWidth, fieldHeight);
    m_btnKalender->setGeometry(left + narrowWidth + 8, m_editDatum->y(), sideWidth, fieldHeight);
    m_btnFoto->setGeometry(left + narrowWidth + 8, m_editFoto->y(), sideWidth, fieldHeight);

    const int top = m_panelMain->y() + m_panelMain->height() + 20;
    const int gap = (clientWidth - 5 * buttonWidth) / 6;
    int x = gap;
    for (TClrBtn* b : {m_btnDelete, m_btnNew, m_btnMail, m_btnCancel, m_btnOK}) {
        b->move(x, top);
        x += buttonWidth + gap;
    }
}

// ------------------------------------------------------------------ the table

QString TPropertiesForm::cell(int row, int column) const {
    if (row < 1 || row >= m_table.rowCount())
        return {};
    return m_table.cell(row, column);
}

void TPropertiesForm::setCell(int row, int column, const QString& text) {
    if (m_edit)
        m_edit->model()->setCellText(row, column, text);
    else if (row >= 1 && row < m_table.rowCount())
        m_table.setCell(row, column, CleanCellText(text));
}

void TPropertiesForm::clearRow(int row) {
    if (m_edit) {
        m_edit->ClearRow(row);
    } else if (row >= 1 && row < m_table.rowCount()) {
        for (QString& c : m_table.row(row))
            c.clear();
    }
}

void TPropertiesForm::deleteRow(int row) {
    if (m_edit) {
        m_edit->DeleteRow(row);
    } else if (row >= 1 && row < m_table.rowCount() - 1) {
        m_table.removeRow(row);
    }
}

void TPropertiesForm::appendRow() {
    if (m_edit) {
        m_edit->model()->appendBlankRow();
        return;
    }
    const int last = m_table.rowCount() - 1;
    m_table.insertRow(last);
    m_table.swapRows(last, last + 1);
}

QRect TPropertiesForm::screenRect() const {
    return QRect(mapToGlobal(QPoint(0, 0)), size());
}
