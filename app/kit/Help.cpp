#include "Help.h"

#include "kit/ClrBtn.h"
#include "kit/Desktop.h"
#include "kit/Shades.h"
#include "kit/Support.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPointer>
#include <QShortcut>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QVariant>

#include <algorithm>
#include <iterator>

namespace {

struct HelpTopic {
    int context;
    const char* page;
};

// Every context number the windows use, with its page.  Numbers that share a
// subject share a page and point at their own place on it.
constexpr HelpTopic helpTopics[] = {
    {314, "instellingen.html#logbestand"},
    {1000, "hoofdvenster.html"},
    {20350, "invoer.html#kolommen"},
    {32020, "openen.html"},
    {32030, "wijzigen.html"},
    {32040, "bewaren.html"},
    {32045, "backup.html"},
    {32050, "instellingen.html"},
    {32051, "instellingen.html#datum"},
    {32054, "instellingen.html#timer"},
    {32055, "instellingen.html#duur"},
    {32056, "instellingen.html#achteraf"},
    {32058, "instellingen.html#sorteren"},
    {32059, "instellingen.html#tijdvenster"},
    {32060, "updates.html"},
    {32070, "informatie.html"},
    {32080, "afsluiten.html"},
    {32150, "instellingen.html#updates"},
    {32157, "instellingen.html#vooraf"},
    {32160, "instellingen.html#adresboek"},
    {40000, "invoer.html"},
    {41300, "invoer.html#toevoegen"},
    {41400, "invoer.html#verwijderen"},
    {41500, "invoer.html#lijsten"},
    {41600, "lijsten.html"},
    {60000, "kalender.html"},
};

const char* const helpContextProperty = "brolt_helpContext";

QString helpFolderOverride;
bool missingReported = false;
std::function<void(const QString&)> messageHandler;
QPointer<THelpForm> programHelp;

void ShowHelpMessage(const QString& text) {
    if (messageHandler) {
        messageHandler(text);
        return;
    }
    // A plain message: the "\r" line break means a new line on screen.
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Brolt"), shown, QMessageBox::Ok);
    box.exec();
}

} // namespace

QString HelpFolder() {
    QString folder =
        helpFolderOverride.isEmpty() ? ProgramFolder() + QStringLiteral("help/") : helpFolderOverride;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

void SetHelpFolder(const QString& folder) {
    helpFolderOverride = folder;
    missingReported = false;
}

QString HelpIndexPage() {
    return QStringLiteral("index.html");
}

QString HelpPageFor(int context) {
    const auto* end = std::end(helpTopics);
    const auto* found = std::find_if(std::begin(helpTopics), end,
                                     [context](const HelpTopic& topic) { return topic.context == context; });
    return found == end ? HelpIndexPage() : QString::fromLatin1(found->page);
}

QList<int> HelpContexts() {
    QList<int> contexts;
    for (const HelpTopic& topic : helpTopics)
        contexts.append(topic.context);
    std::sort(contexts.begin(), contexts.end());
    return contexts;
}

bool HelpAvailable() {
    const QString index = HelpFolder() + HelpIndexPage();
    if (QFileInfo(index).isFile())
        return true;
    if (!missingReported) {
        missingReported = true;
        ShowHelpMessage(QStringLiteral("Help file not found\r") + index);
    }
    return false;
}

void SetHelpMessageHandler(std::function<void(const QString&)> handler) {
    messageHandler = std::move(handler);
}

void SetHelpContext(QWidget* widget, int context) {
    if (widget)
        widget->setProperty(helpContextProperty, context);
}

int HelpContextFor(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const int context = w->property(helpContextProperty).toInt();
        if (context != 0)
            return context;
    }
    return 0;
}

void ShowHelp(int context) {
    if (!HelpAvailable())
        return;
    THelpForm::instance()->ShowContext(context);
}

void ShowHelpFor(const QWidget* widget) {
    ShowHelp(HelpContextFor(widget));
}

void CloseHelp() {
    if (programHelp)
        programHelp->close();
}

// ---------------------------------------------------------------------------
// The help window

namespace {
// The pages are written for the design's pale-yellow page; under a dark
// palette their colours take their dark variants.
class HelpBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int type, const QUrl& name) override {
        QVariant resource = QTextBrowser::loadResource(type, name);
        if (!DesktopIsDark() ||
            (type != QTextDocument::HtmlResource && type != QTextDocument::StyleSheetResource))
            return resource;
        const QString text = resource.typeId() == QMetaType::QByteArray
                                 ? QString::fromUtf8(resource.toByteArray())
                                 : resource.toString();
        return ShadeColoursIn(text);
    }
};
} // namespace

THelpForm::THelpForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpForm"));
    setWindowTitle(QStringLiteral("Brolt - Help"));
    SetKitBackground(this, KitColor::Window);
    GiveWindowRole(this);
    // Escape closes help, as it closes the program's dialogs.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    auto makeButton = [this](const char* name, const QString& text, QStyle::StandardPixmap icon) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(name));
        button->setText(text);
        button->setIcon(style()->standardIcon(icon));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        return button;
    };
    m_btnInhoud = makeButton("BtnInhoud", QStringLiteral("Inhoud"), QStyle::SP_DirHomeIcon);
    m_btnVorige = makeButton("BtnVorige", QStringLiteral("Vorige"), QStyle::SP_ArrowBack);
    m_btnVolgende = makeButton("BtnVolgende", QStringLiteral("Volgende"), QStyle::SP_ArrowForward);
    m_btnVorige->setEnabled(false);
    m_btnVolgende->setEnabled(false);

    m_browser = new HelpBrowser(this);
    // Links take the application palette's colour, which a dark palette makes
    // too dark for the pages' background.
    if (DesktopIsDark())
        m_browser->document()->setDefaultStyleSheet(
            QStringLiteral("a { color: %1; }")
                .arg(
                    ReadableOn(QGuiApplication::palette().color(QPalette::Link), Shade(QColor(255, 255, 227)))
                        .name()));
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    // Links to web sites go to the desktop's browser; our own pages stay here.
    m_browser->setOpenExternalLinks(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_btnInhoud);
    buttons->addWidget(m_btnVorige);
    buttons->addWidget(m_btnVolgende);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
    resize(720, 560);

    connect(m_btnInhoud, &QToolButton::clicked, this, &THelpForm::BtnInhoudClick);
    connect(m_btnVorige, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_btnVolgende, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_btnVorige, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_btnVolgende, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(QStringLiteral("Brolt - Help - ") + m_browser->documentTitle()); });
}

THelpForm* THelpForm::instance() {
    if (!programHelp) {
        auto* form = new THelpForm;
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, form, &QObject::deleteLater);
        programHelp = form;
    }
    return programHelp;
}

THelpForm* THelpForm::existing() {
    return programHelp;
}

bool THelpForm::ShowContext(int context) {
    if (!HelpAvailable())
        return false;
    m_context = context;
    const QString page = HelpPageFor(context);
    const QString file = page.section(QLatin1Char('#'), 0, 0);
    const QString place = page.section(QLatin1Char('#'), 1);
    QUrl url = QUrl::fromLocalFile(HelpFolder() + file);
    if (!place.isEmpty())
        url.setFragment(place);
    m_browser->setSearchPaths({HelpFolder()});
    m_browser->setSource(url);

    // A modal window blocks every other window but its own children, so help
    // asked for from inside one has to belong to it to be usable.
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* owner = modal && modal != this ? modal : nullptr;
    if (parentWidget() != owner) {
        const QRect placed = geometry();
        setParent(owner, Qt::Window);
        setGeometry(placed);
    }
    show();
    raise();
    activateWindow();
    return true;
}

void THelpForm::BtnInhoudClick() {
    m_browser->setSource(QUrl::fromLocalFile(HelpFolder() + HelpIndexPage()));
}
