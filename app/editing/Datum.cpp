#include "editing/Datum.h"

#include "editing/Days.h"
#include "kit/Clock.h"
#include "kit/ClrBtn.h"
#include "kit/Desktop.h"
#include "kit/Help.h"
#include "records/Dates.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

TMonthGrid::TMonthGrid(QWidget* parent) : QWidget(parent), m_date(Clock::today()) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(210, 140);
}

void TMonthGrid::setDate(const QDate& date) {
    if (!date.isValid() || date == m_date)
        return;
    m_date = date;
    update();
    Q_EMIT dateChanged();
}

QRect TMonthGrid::cellRect(int row, int column) const {
    // Columns and rows share the control's size equally.
    const int x0 = width() * column / 7, x1 = width() * (column + 1) / 7;
    const int y0 = height() * row / 7, y1 = height() * (row + 1) / 7;
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

void TMonthGrid::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QLocale locale;
    for (int c = 0; c < 7; ++c) {
        const int weekday = c == 0 ? 7 : c; // Sunday first
        p.drawText(cellRect(0, c), Qt::AlignCenter, locale.dayName(weekday, QLocale::ShortFormat));
    }
    for (int r = 1; r <= 6; ++r)
        for (int c = 0; c < 7; ++c) {
            const QDate d = DateOfGridCell(m_date, r, c);
            if (!d.isValid())
                continue;
            const QRect cell = cellRect(r, c);
            if (d == m_date) {
                p.fillRect(cell, palette().highlight());
                p.setPen(palette().highlightedText().color());
            } else {
                p.setPen(palette().text().color());
            }
            p.drawText(cell, Qt::AlignCenter, QString::number(d.day()));
        }
}

void TMonthGrid::mousePressEvent(QMouseEvent* event) {
    for (int r = 1; r <= 6; ++r)
        for (int c = 0; c < 7; ++c)
            if (cellRect(r, c).contains(event->position().toPoint())) {
                setDate(DateOfGridCell(m_date, r, c)); // an empty cell gives no date
                return;
            }
}

void TMonthGrid::keyPressEvent(QKeyEvent* event) {
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        step = -1;
        break;
    case Qt::Key_Right:
        step = 1;
        break;
    case Qt::Key_Up:
        step = -7;
        break;
    case Qt::Key_Down:
        step = 7;
        break;
    // Page keys turn the month, with Ctrl the year, as in the desktop's date pickers.
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int direction = event->key() == Qt::Key_PageUp ? -1 : 1;
        setDate(event->modifiers() & Qt::ControlModifier ? StepYear(m_date, direction)
                                                         : StepMonth(m_date, direction));
        return;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT chosen();
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    // The arrows stay within the month shown.
    const QDate next = m_date.addDays(step);
    if (next.month() == m_date.month())
        setDate(next);
}

TSpinButton::TSpinButton(QWidget* parent) : QWidget(parent) {
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    m_up = new QToolButton(this);
    m_up->setArrowType(Qt::UpArrow);
    m_up->setObjectName(QStringLiteral("Up"));
    m_down = new QToolButton(this);
    m_down->setArrowType(Qt::DownArrow);
    m_down->setObjectName(QStringLiteral("Down"));
    for (QToolButton* b : {m_up, m_down}) {
        b->setFixedSize(18, 12);
        b->setFocusPolicy(Qt::NoFocus);
        box->addWidget(b);
    }
    connect(m_up, &QToolButton::clicked, this, &TSpinButton::upClicked);
    connect(m_down, &QToolButton::clicked, this, &TSpinButton::downClicked);
}

namespace {
QLabel* makePanel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(60);
    return label;
}

QLabel* makeLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

// A time field: the arrows stop at the limits, a typed number above the
// maximum is taken as the maximum.
class TimeSpin : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString& input, int&) const override {
        if (input.isEmpty())
            return QValidator::Intermediate;
        for (const QChar c : input)
            if (!c.isDigit())
                return QValidator::Invalid;
        return input.size() <= 6 ? QValidator::Acceptable : QValidator::Invalid;
    }
    int valueFromText(const QString& text) const override { return ClampTimeField(text.toInt(), maximum()); }
};

QSpinBox* makeTimeSpin(const char* name, int maximum, QWidget* parent) {
    auto* spin = new TimeSpin(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(0, maximum);
    spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    return spin;
}
} // namespace

TCalendarDlg::TCalendarDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CalendarDlg"));
    // A fixed dialog border without title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    SetKitBackground(this, KitColor::Window);
    SetHelpContext(this, 60000);

    auto* grid = new QGridLayout;
    grid->addWidget(makeLabel("MaandLabel", QStringLiteral("Maand"), this), 0, 0);
    m_maandPanel = makePanel("MaandPanel", this);
    m_maandPanel->setMinimumWidth(100);
    grid->addWidget(m_maandPanel, 0, 1);
    auto* maandSpin = new TSpinButton(this);
    maandSpin->setObjectName(QStringLiteral("MaandSpin"));
    grid->addWidget(maandSpin, 0, 2);
    m_datumPanel = makePanel("DatumPanel", this);
    m_datumPanel->setMinimumWidth(100);
    grid->addWidget(m_datumPanel, 0, 3, 1, 2);

    grid->addWidget(makeLabel("JaarLabel", QStringLiteral("Jaar"), this), 1, 0);
    m_jaarPanel = makePanel("JaarPanel", this);
    grid->addWidget(m_jaarPanel, 1, 1);
    auto* jaarSpin = new TSpinButton(this);
    jaarSpin->setObjectName(QStringLiteral("JaarSpin"));
    grid->addWidget(jaarSpin, 1, 2);
    grid->addWidget(makeLabel("WeekLabel", QStringLiteral("Week"), this), 1, 3);
    m_weekPanel = makePanel("WeekPanel", this);
    grid->addWidget(m_weekPanel, 1, 4);
    grid->addWidget(makeLabel("KwartaalLabel", QStringLiteral("Kwartaal"), this), 2, 3);
    m_kwartaalPanel = makePanel("KwartaalPanel", this);
    grid->addWidget(m_kwartaalPanel, 2, 4);

    m_calendar = new TMonthGrid(this);
    m_calendar->setObjectName(QStringLiteral("Calendar1"));

    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(makeLabel("LabelTime", QStringLiteral("Tijd"), this));
    m_spinUur = makeTimeSpin("SpinUur", 23, this);
    m_spinMinuut = makeTimeSpin("SpinMinuut", 59, this);
    m_spinSeconde = makeTimeSpin("SpinSeconde", 59, this);
    timeRow->addWidget(m_spinUur);
    timeRow->addWidget(new QLabel(QStringLiteral(":"), this));
    timeRow->addWidget(m_spinMinuut);
    timeRow->addWidget(new QLabel(QStringLiteral(":"), this));
    timeRow->addWidget(m_spinSeconde);
    timeRow->addStretch();

    m_btnOK = new TClrBtn(QStringLiteral("OK"), this);
    m_btnOK->setObjectName(QStringLiteral("BtnOK"));
    m_btnVandaag = new TClrBtn(QStringLiteral("Vandaag"), this);
    m_btnVandaag->setObjectName(QStringLiteral("BtnVandaag"));
    m_btnCancel = new TClrBtn(QStringLiteral("Annuleren"), this);
    m_btnCancel->setObjectName(QStringLiteral("BtnCancel"));
    auto* buttons = new QHBoxLayout;
    for (TClrBtn* b : {m_btnOK, m_btnVandaag, m_btnCancel}) {
        b->useKitColors();
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }

    auto* all = new QVBoxLayout(this);
    all->addLayout(grid);
    all->addWidget(m_calendar, 1);
    all->addLayout(timeRow);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_calendar, &TMonthGrid::dateChanged, this, &TCalendarDlg::Calendar1Change);
    connect(m_calendar, &TMonthGrid::chosen, this, &TCalendarDlg::BtnOKClick);
    connect(maandSpin, &TSpinButton::downClicked, this, &TCalendarDlg::MaandSpinDownClick);
    connect(maandSpin, &TSpinButton::upClicked, this, &TCalendarDlg::MaandSpinUpClick);
    connect(jaarSpin, &TSpinButton::downClicked, this, &TCalendarDlg::JaarSpinDownClick);
    connect(jaarSpin, &TSpinButton::upClicked, this, &TCalendarDlg::JaarSpinUpClick);
    connect(m_spinUur, &QSpinBox::valueChanged, this, &TCalendarDlg::SpinUurChange);
    connect(m_spinMinuut, &QSpinBox::valueChanged, this, &TCalendarDlg::SpinMinuutChange);
    connect(m_spinSeconde, &QSpinBox::valueChanged, this, &TCalendarDlg::SpinSecondeChange);
    connect(m_btnOK, &QPushButton::clicked, this, &TCalendarDlg::BtnOKClick);
    connect(m_btnVandaag, &QPushButton::clicked, this, &TCalendarDlg::BtnVandaagClick);
    connect(m_btnCancel, &QPushButton::clicked, this, &TCalendarDlg::BtnCancelClick);

    // Keyboard and screen readers.
    NameControl(m_calendar, QStringLiteral("Kalender"));
    NameControl(maandSpin->upButton(), QStringLiteral("Volgende maand"));
    NameControl(maandSpin->downButton(), QStringLiteral("Vorige maand"));
    NameControl(jaarSpin->upButton(), QStringLiteral("Volgend jaar"));
    NameControl(jaarSpin->downButton(), QStringLiteral("Vorig jaar"));
    NameControl(m_spinUur, QStringLiteral("Uur"));
    NameControl(m_spinMinuut, QStringLiteral("Minuut"));
    NameControl(m_spinSeconde, QStringLiteral("Seconde"));
    AddMnemonics(this);

    m_spinUur->setValue(12);
    m_spinMinuut->setValue(0);
    m_spinSeconde->setValue(0);
    Calendar1Change();
}

QDate TCalendarDlg::pickedDate() const {
    return m_calendar->date();
}

void TCalendarDlg::SetStartDate(const QDateTime& moment) {
    if (moment.date().isValid())
        m_calendar->setDate(moment.date());
    const QTime t = moment.time().isValid() ? moment.time() : QTime(0, 0);
    m_spinUur->setValue(t.hour());
    m_spinMinuut->setValue(t.minute());
    m_spinSeconde->setValue(t.second());
    Calendar1Change();
}

bool TCalendarDlg::PickDate(bool focusOK, const QString& titlePrefix) {
    m_titlePrefix = titlePrefix;
    m_focusOK = focusOK;
    m_today = false;
    m_accepted = false; // Escape closes without either button
    exec();
    return m_accepted;
}

QString TCalendarDlg::PickedDateText() const {
    return FormatDateShort(pickedDate(), ShortDateFormat());
}

void TCalendarDlg::refreshPanels() {
    const QDate d = pickedDate();
    m_jaarPanel->setText(QString::number(d.year()));
    m_kwartaalPanel->setText(QString::number(QuarterOf(d.month())));
    m_maandPanel->setText(QLocale().monthName(d.month(), QLocale::LongFormat));
    m_weekPanel->setText(QString::number(WeekOfYear(d)));
    m_datumPanel->setText(PickedDateText());
}

void TCalendarDlg::Calendar1Change() {
    refreshPanels();
    m_time = QTime(ClampTimeField(m_spinUur->value(), 23), ClampTimeField(m_spinMinuut->value(), 59),
                   ClampTimeField(m_spinSeconde->value(), 59));
}

void TCalendarDlg::SpinUurChange() {
    refreshPanels();
    m_time.setHMS(ClampTimeField(m_spinUur->value(), 23), m_time.minute(), m_time.second());
}

void TCalendarDlg::SpinMinuutChange() {
    refreshPanels();
    m_time.setHMS(m_time.hour(), ClampTimeField(m_spinMinuut->value(), 59), m_time.second());
}

void TCalendarDlg::SpinSecondeChange() {
    refreshPanels();
    m_time.setHMS(m_time.hour(), m_time.minute(), ClampTimeField(m_spinSeconde->value(), 59));
}

void TCalendarDlg::stepTo(const QDate& date) {
    if (date.isValid())
        m_calendar->setDate(date);
}

void TCalendarDlg::MaandSpinDownClick() {
    stepTo(StepMonth(pickedDate(), -1));
}

void TCalendarDlg::MaandSpinUpClick() {
    stepTo(StepMonth(pickedDate(), 1));
}

void TCalendarDlg::JaarSpinDownClick() {
    stepTo(StepYear(pickedDate(), -1));
}

void TCalendarDlg::JaarSpinUpClick() {
    stepTo(StepYear(pickedDate(), 1));
}

void TCalendarDlg::BtnOKClick() {
    m_accepted = true;
    m_today = false;
    accept();
}

void TCalendarDlg::BtnVandaagClick() {
    const QDateTime now = Clock::now();
    m_calendar->setDate(now.date());
    m_spinUur->setValue(now.time().hour());
    m_spinMinuut->setValue(now.time().minute());
    m_spinSeconde->setValue(now.time().second());
    Calendar1Change();
    m_accepted = true;
    m_today = true;
    accept();
}

void TCalendarDlg::BtnCancelClick() {
    m_accepted = false;
    m_today = false;
    reject();
}

void TCalendarDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    setWindowTitle(m_titlePrefix + QStringLiteral(" - Kalender"));
    refreshPanels(); // the notation may have changed since the last showing
    if (m_focusOK)
        m_btnOK->setFocus();
    else
        m_btnCancel->setFocus();
}
