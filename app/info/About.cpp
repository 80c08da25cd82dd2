#include "info/About.h"

#include "Ui.h"
#include "kit/ClrBtn.h"
#include "kit/Desktop.h"
#include "kit/Mail.h"
#include "kit/Maker.h"
#include "maintenance/Version.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>

namespace {
const QString programName = QStringLiteral("Brolt");

QLabel* centredLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                     const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    label->setFont(font);
    label->setGeometry(geometry);
    return label;
}

TClrBtn* button(QWidget* parent, const char* name, const QString& caption, const QString& hint, int left) {
    auto* b = new TClrBtn(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setFont(KitFont(QStringLiteral("Verdana"), 16));
    b->setGeometry(left, 235, 85, 35);
    b->setBackColor(KitColor::Window);
    b->setHoverColor(KitColor::ButtonHover);
    return b;
}
} // namespace

TAboutForm::TAboutForm(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("AboutForm"));
    setModal(true);
    // The summary frame's width plus twice its left margin; the button row's bottom plus 15.
    setFixedSize(ClientWidth, ClientHeight);
    SetKitBackground(this, KitColor::Window);

    m_panelMain = new QWidget(this);
    m_panelMain->setObjectName(QStringLiteral("PanelMain"));
    m_panelMain->setGeometry(0, 0, ClientWidth, ClientHeight);

    QFont nameFont = KitFont(QStringLiteral("Arial"), 55);
    nameFont.setBold(true);
    nameFont.setItalic(true);
    const QFont verdana15 = KitFont(QStringLiteral("Verdana"), 15);
    m_labelProgNam = centredLabel(m_panelMain, "LabelProgNam", programName, nameFont, {5, 18, 156, 63});
    m_labelVersion =
        centredLabel(m_panelMain, "LabelVersion", RunningVersionLabel(), verdana15, {5, 91, 156, 20});

    m_bevel2 = new QFrame(m_panelMain);
    m_bevel2->setObjectName(QStringLiteral("Bevel2"));
    m_bevel2->setFrameShape(QFrame::Box);
    m_bevel2->setFrameShadow(QFrame::Sunken);
    m_bevel2->setGeometry(20, 169, 384, 48);
    m_label1 =
        centredLabel(m_panelMain, "Label1", QStringLiteral("Brolt herinnert u op tijd aan verjaardagen."),
                     verdana15, {22, 173, 380, 20});
    m_label2 = centredLabel(m_panelMain, "Label2",
                            QStringLiteral("Vul als jaar 3000 in als de leeftijd onbekend is."), verdana15,
                            {22, 193, 380, 20});

    m_memoMail = new QPlainTextEdit(m_panelMain);
    m_memoMail->setObjectName(QStringLiteral("MemoMail"));
    m_memoMail->setPlainText(QStringList{QStringLiteral("Hallo Darvo"), QString(),
                                         QStringLiteral("Ik vond op je Home Page het programma Brolt."),
                                         QStringLiteral("Ik wil hierover het volgende kwijt:"), QString(),
                                         QString(), QString(), QString(), QString(),
                                         QStringLiteral("Met vriendelijke groet,"), QStringLiteral(" ")}
                                 .join(u'\n'));
    m_memoMail->hide();

    m_btnMail = button(m_panelMain, "BtnMail", QStringLiteral("Mail"),
                       QStringLiteral("Stuur uw opmerkingen naar de auteur van Brolt"), 20);
    m_btnHome = button(m_panelMain, "BtnHome", QStringLiteral("Home"),
                       QStringLiteral("Bezoek de site van Brolt"), (ClientWidth - 85) / 2);
    m_btnOK = button(m_panelMain, "BtnOK", QStringLiteral("OK"), QStringLiteral("Sluit dit venster"),
                     ClientWidth - 20 - 85);
    m_btnOK->setDefault(true);
    connect(m_btnMail, &TClrBtn::clicked, this, &TAboutForm::BtnMailClick);
    connect(m_btnHome, &TClrBtn::clicked, this, &TAboutForm::BtnHomeClick);
    connect(m_btnOK, &TClrBtn::clicked, this, &TAboutForm::BtnOKClick);

    setWindowTitle(mainCaption() + QStringLiteral(" - Informatie"));
    ScaleFixedLayout(this);
}

QString TAboutForm::mainCaption() const {
    const QWidget* main = parentWidget() ? parentWidget()->window() : nullptr;
    return main && !main->windowTitle().isEmpty() ? main->windowTitle() : programName;
}

QString TAboutForm::HomePageUrl() {
    return QStringLiteral("https://") + Maker::ServerHost() + QStringLiteral("/index_n.php");
}

QStringList TAboutForm::mailLines() const {
    return m_memoMail->toPlainText().split(u'\n');
}

void TAboutForm::AboutClick() {
    setWindowTitle(programName + QStringLiteral(" - Informatie"));
    if (const QWidget* main = parentWidget() ? parentWidget()->window() : nullptr) {
        const QRect frame = main->frameGeometry();
        move(frame.left() + (frame.width() - width()) / 2, frame.top() + (frame.height() - height()) / 2);
    }
    exec();
}

void TAboutForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_panelMain->show();
    m_btnOK->setFocus();
}

void TAboutForm::BtnMailClick() {
    const int code = HandOffMail(mailLines(), programName, RunningVersionLabel(), Maker::SupportAddress());
    if (code != 0)
        Ui::instance().showTimedMessage(
            5000, QStringLiteral("Het verzenden van de mail is niet gelukt (Fout %1).").arg(code),
            QStringLiteral("Verstuur de mail op een andere manier s.v.p."), frameGeometry());
}

void TAboutForm::BtnHomeClick() {
    if (!Ui::instance().openUrl(HomePageUrl()))
        Ui::instance().showTimedMessage(3000, QStringLiteral("Browser niet geopend."), QString(),
                                        frameGeometry());
}

void TAboutForm::BtnOKClick() {
    setWindowTitle(mainCaption() + QStringLiteral(" - Informatie"));
    accept();
}
