#include "exchange/ExchangeDialogs.h"

#include "Ui.h"
#include "editing/Edit.h"
#include "exchange/Dav.h"
#include "exchange/Exchange.h"
#include "exchange/ICalendar.h"
#include "exchange/Import.h"
#include "exchange/Secrets.h"
#include "kit/Clock.h"
#include "kit/ClrBtn.h"
#include "kit/Icons.h"
#include "kit/Log.h"
#include "kit/Support.h"
#include "records/DataFile.h"
#include "records/Reminders.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString importTitle = QStringLiteral("Importeer contacten");
const QString exportTitle = QStringLiteral("Exporteer agenda");

} // namespace

TExchangeProgress::TExchangeProgress(QWidget* window, const QString& title)
    : QDialog(window), m_label(new QLabel(this)), m_bar(new QProgressBar(this)),
      m_cancel(new QPushButton(QStringLiteral("Annuleren"), this)) {
    setObjectName(QStringLiteral("ExchangeProgress"));
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    m_label->setObjectName(QStringLiteral("ProgressText"));
    m_label->setMinimumWidth(360);
    m_label->setText(QStringLiteral("Verbinden..."));
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setAccessibleName(title);
    m_bar->setRange(0, 0); // busy until a step says how much
    m_cancel->setObjectName(QStringLiteral("ProgressCancel"));
    m_cancel->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    connect(m_cancel, &QPushButton::clicked, this, &TExchangeProgress::reject);
}

void TExchangeProgress::setStep(const ExchangeStep& step) {
    if (!m_cancel->isEnabled())
        return;
    m_label->setText(step.text());
    if (step.total <= 0) {
        m_bar->setRange(0, 0);
        return;
    }
    // Per mille: byte counts do not fit the bar's int.
    m_bar->setRange(0, 1000);
    m_bar->setValue(int(std::min<qint64>(1000, step.done * 1000 / step.total)));
}

void TExchangeProgress::reject() {
    // The window stays until the job has ended: what it did is then known.
    if (!m_cancel->isEnabled())
        return;
    m_cancel->setEnabled(false);
    m_label->setText(QStringLiteral("Stoppen..."));
    Q_EMIT cancelRequested();
}

TExchangeButtons::TExchangeButtons(RecordModel& model, DataFile& data, QWidget* panel, int left)
    : QObject(panel), m_model(model), m_data(data), m_window(panel->window()), m_client(new DavClient(this)),
      m_cards(new CardImport(this)) {
    m_import = MakeToolButton(panel, "SpeedImport", QStringLiteral("Importeer contacten..."),
                              ThemeIcon("x-office-address-book", AddressBookIcon()));
    m_export = MakeToolButton(panel, "SpeedExport", QStringLiteral("Exporteer agenda..."),
                              ThemeIcon("x-office-calendar", CalendarIcon()));
    m_import->setGeometry(left, 4, 33, 33);
    m_export->setGeometry(left + 36, 4, 33, 33);
    connect(m_import, &QToolButton::clicked, this, &TExchangeButtons::ImportContactsClick);
    connect(m_export, &QToolButton::clicked, this, &TExchangeButtons::ExportCalendarClick);
    connect(m_cards, &CardImport::finished, this, &TExchangeButtons::cardsImported);
}

int TExchangeButtons::right() const {
    return m_export->x() + m_export->width();
}

bool TExchangeButtons::busy() const {
    return m_client->busy() || m_cards->busy();
}

QRect TExchangeButtons::caller() const {
    return m_window->frameGeometry();
}

void TExchangeButtons::setBusy(bool busy) {
    m_import->setEnabled(!busy);
    m_export->setEnabled(!busy);
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
    Q_EMIT busyChanged(busy);
}

void TExchangeButtons::askAccount(const StoreKey& addressKey, const StoreKey& userKey, const QString& title,
                                  const QString& prompt, std::function<void(const Account&)> job) {
    QString address = Store::readText(addressKey);
    if (!Ui::instance().askText(address, prompt, title, caller()))
        return;
    address = address.trimmed();
    const DavAddress parsed = IsDavAddress(address) ? ParseDavAddress(address) : DavAddress();
    QUrl url = parsed.url;
    if (!url.isValid()) {
        // Never the password that may have been typed into it.
        Ui::instance().showTimedMessage(
            5000, QStringLiteral("Geen geldig adres:"),
            parsed.shown.isEmpty() ? address.section(QLatin1Char('@'), -1) : parsed.shown, caller());
        return;
    }
    // Address book and calendar mostly live on one server under one name.
    QString user = url.userName();
    for (const StoreKey& key : {userKey, Keys::AdresboekGebruiker, Keys::AgendaGebruiker})
        if (user.isEmpty())
            user = Store::readText(key);
    if (!Ui::instance().askText(user, QStringLiteral("Gebruikersnaam:"), title, caller()))
        return;
    // The address and user name are remembered; a password typed into the address is not.
    url.setUserInfo(QString());
    Store::writeText(addressKey.name, url.toString());
    Store::writeText(userKey.name, user.trimmed());

    Account account{url, user.trimmed(), {}, Secrets::keyFor(user.trimmed(), DavClient::shownUrl(url))};
    QPointer<TExchangeButtons> self(this);
    setBusy(true); // the secret store may take a moment to answer
    Secrets::instance().read(account.secretKey, [self, account, title, job](std::optional<QString> stored) {
        if (!self)
            return;
        self->setBusy(false);
        Account asked = account;
        if (stored) {
            asked.password = *stored;
            asked.stored = true;
        } else if (!Ui::instance().askPassword(asked.password,
                                               QStringLiteral("Wachtwoord van %1:").arg(account.user), title,
                                               self->caller())) {
            return;
        }
        self->m_account = asked;
        self->m_client->setCredentials(asked.user, asked.password);
        self->setBusy(true);
        job(asked);
    });
}

TExchangeProgress* TExchangeButtons::showProgress(const QString& title) {
    if (!m_progress) {
        m_progress = new TExchangeProgress(m_window, title);
        m_progress->follow(m_client);
        m_progress->follow(m_cards);
        m_progress->show();
    }
    return m_progress;
}

void TExchangeButtons::closeProgress() {
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
    }
}

bool TExchangeButtons::jobDone(bool ok, const QString& what) {
    setBusy(false);
    m_client->setCredentials({}, {});
    if (ok && !m_account.stored)
        Secrets::instance().write(m_account.secretKey, m_account.password);
    else if (m_client->refused() && m_account.stored)
        Secrets::instance().forget(m_account.secretKey);
    m_account.password.clear();
    if (!ok)
        closeProgress();
    if (!ok && m_client->cancelled()) {
        WriteLog(what + QStringLiteral(" geannuleerd"));
    } else if (!ok) {
        const QString title = what + QStringLiteral(" mislukt");
        WriteLog(title + QStringLiteral(": ") + m_client->errorText());
        Ui::instance().showTimedMessage(8000, title, m_client->errorText(), caller());
    }
    return ok;
}

void TExchangeButtons::ImportContactsClick() {
    LogScope log("EditForm", "ImportContactsClick");
    if (busy())
        return;
    bool cancel = true;
    const bool fromFile = Ui::instance().askYesNo(
        cancel, true, QStringLiteral("Bestand"), QStringLiteral("Adresboek"), QStringLiteral("Annuleren"),
        QStringLiteral("Waar staan de contacten?\n\"Bestand\": een .vcf-bestand van de telefoon, Google, "
                       "Apple, Thunderbird of Outlook.\n\"Adresboek\": een adresboek op een server "
                       "(CardDAV, bijvoorbeeld Nextcloud)."),
        importTitle, caller());
    if (cancel)
        return;
    if (fromFile) {
        QString path;
        if (!Ui::instance().browse({DownloadsFolder(), QStringLiteral("Kies het bestand met de contacten"),
                                    importTitle, QStringLiteral("*.vcf")},
                                   path))
            return;
        QByteArray bytes;
        QString error;
        if (!ReadCardSource(path, bytes, error)) {
            Ui::instance().showTimedMessage(5000, importTitle, error, caller());
            return;
        }
        importCards({{CardFileBook(path), bytes}}, QFileInfo(path).fileName());
        return;
    }
    askAccount(Keys::AdresboekAdres, Keys::AdresboekGebruiker, importTitle,
               QStringLiteral("Adres van de server of van het adresboek (CardDAV):"),
               [this](const Account& account) {
                   auto connection = std::make_shared<QMetaObject::Connection>();
                   *connection =
                       connect(m_client, &DavClient::finished, this, [this, account, connection](bool ok) {
                           disconnect(*connection);
                           if (!jobDone(ok, QStringLiteral("Importeren")))
                               return;
                           QList<CardSource> sources;
                           QStringList books;
                           for (const DavBook& book : m_client->books()) {
                               QByteArray bytes;
                               for (const QByteArray& card : book.cards)
                                   bytes += card + "\r\n";
                               sources.append({ServerBook(book.url), bytes});
                               if (m_client->discovered())
                                   books << BookLine(book);
                           }
                           importCards(sources, DavClient::shownUrl(account.url), books);
                       });
                   showProgress(importTitle);
                   m_client->fetchCards(account.url);
               });
}

void TExchangeButtons::importCards(const QList<CardSource>& sources, const QString& where,
                                   const QStringList& books) {
    // The window was closed while the address book was read: nothing to add to.
    if (!m_window->isVisible()) {
        closeProgress();
        WriteLog(QStringLiteral("Importeer contacten: het venster was al gesloten, niets toegevoegd"));
        return;
    }
    if (std::none_of(sources.begin(), sources.end(),
                     [](const CardSource& source) { return ContainsVCard(source.cards); })) {
        closeProgress();
        Ui::instance().showTimedMessage(5000, QStringLiteral("Geen contactkaarten gevonden in"), where,
                                        caller());
        return;
    }
    m_where = where;
    m_books = books;
    m_records = std::make_unique<RecordTable>(m_model.table());
    showProgress(importTitle);
    setBusy(true);
    m_cards->start(sources, {m_records.get(), m_data.dateNotation, m_data.utf8, m_data.dataFolder});
}

void TExchangeButtons::cardsImported() {
    setBusy(false);
    closeProgress();
    ImportSummary& summary = m_cards->summary();
    const std::unique_ptr<RecordTable> records = std::move(m_records);
    // Stopped, or the window closed meanwhile: the records stay as they were.
    if (summary.cancelled || !m_window->isVisible()) {
        TakeBackPictures(summary);
        WriteLog(QStringLiteral("Importeer contacten: ") +
                 (summary.cancelled ? QStringLiteral("geannuleerd")
                                    : QStringLiteral("het venster was al gesloten")) +
                 QStringLiteral(", niets toegevoegd"));
        return;
    }
    const int firstRow = m_model.table().recordCount() + 1;
    m_model.rearrange([&] {
        m_model.table() = std::move(*records);
        // The new rows show their age at once, as the others do.
        ComputeDerivedColumns(m_model.table(), m_data.dateNotation, Clock::today());
    });
    for (const QString& line : m_books + summary.reasons + summary.notes)
        WriteLog(QStringLiteral("Importeer contacten: ") + line);
    if (summary.added > 0)
        Q_EMIT recordsAdded(firstRow);
    else if (summary.updated > 0)
        m_data.unsavedChanges = m_data.saveEnabled = true; // renamed or re-dated records
    Ui::instance().showTimedMessage(5000, QStringLiteral("Contacten uit ") + m_where,
                                    (m_books + QStringList{summary.line()}).join(u'\n'), caller());
}

void TExchangeButtons::ExportCalendarClick() {
    LogScope log("EditForm", "ExportCalendarClick");
    if (busy())
        return;
    bool cancel = true;
    const bool toFile = Ui::instance().askYesNo(
        cancel, true, QStringLiteral("Bestand"), QStringLiteral("Agenda"), QStringLiteral("Annuleren"),
        QStringLiteral("Waarheen met de verjaardagen?\n\"Bestand\": Brolt.ics, om in een agendaprogramma te "
                       "openen.\n\"Agenda\": een agenda op een server (CalDAV), om op te abonneren."),
        exportTitle, caller());
    if (cancel)
        return;
    if (toFile) {
        QString folder;
        if (!Ui::instance().browse(
                {DownloadsFolder(), QStringLiteral("Kies de map voor Brolt.ics"), exportTitle, QString()},
                folder))
            return;
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        const QString path = folder + QStringLiteral("Brolt.ics");
        const QString refused = DataFile::refusedExportTarget(path, m_data.defaultFilePath());
        if (!refused.isEmpty()) {
            Ui::instance().showTimedMessage(8000, exportTitle, refused, caller());
            return;
        }
        const QByteArray bytes =
            CalendarFile(m_model.table(), m_data.dateNotation, Clock::now(), StoredAlarmDays());
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
            Ui::instance().showTimedMessage(5000, path, QStringLiteral("kan niet worden geschreven"),
                                            caller());
            return;
        }
        Ui::instance().showTimedMessage(5000, QStringLiteral("Agenda geschreven:"), path, caller());
        return;
    }
    askAccount(
        Keys::AgendaAdres, Keys::AgendaGebruiker, exportTitle,
        QStringLiteral("Adres van de server of van de agenda (CalDAV):"), [this](const Account& account) {
            auto connection = std::make_shared<QMetaObject::Connection>();
            *connection = connect(m_client, &DavClient::finished, this, [this, connection](bool ok) {
                disconnect(*connection);
                if (!jobDone(ok, QStringLiteral("Publiceren")))
                    return;
                closeProgress();
                Ui::instance().showTimedMessage(5000, QStringLiteral("Agenda gepubliceerd:"),
                                                PublishLine(m_client->counts()), caller());
            });
            DavClient::PublishOptions options;
            options.stateFile = PublishStateFile();
            showProgress(exportTitle);
            m_client->publish(
                account.url,
                CalendarEvents(m_model.table(), m_data.dateNotation, Clock::now(), StoredAlarmDays()).events,
                options);
        });
}
