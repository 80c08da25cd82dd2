#pragma once

#include "exchange/Import.h"
#include "exchange/Progress.h"
#include "kit/Store.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>

class CardImport;
class DataFile;
struct CardSource;
class DavClient;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;
class QWidget;
class RecordModel;

// A progress bar with "Annuleren" for a long exchange job, modal to its
// window so that nothing changes the records meanwhile.  Annuleren, Escape
// and the close box ask the job to stop; whoever started the job closes the
// window when it has ended.
class TExchangeProgress : public QDialog {
    Q_OBJECT
public:
    TExchangeProgress(QWidget* window, const QString& title);
    void setStep(const ExchangeStep& step);
    // Shows the steps of `job` (a DavClient, CardImport or ExchangeRun) and stops it on Annuleren.
    template <class Job> void follow(Job* job) {
        connect(job, &Job::progress, this, &TExchangeProgress::setStep);
        connect(this, &TExchangeProgress::cancelRequested, job, &Job::cancel);
    }

Q_SIGNALS:
    void cancelRequested();

protected:
    void reject() override;

private:
    QLabel* m_label;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
};

// The edit window's two exchange buttons: "Importeer contacten..." (a .vcf
// file or a CardDAV address book) and "Exporteer agenda..." (an .ics file or a
// CalDAV calendar).  Everything is asked through the Ui seam; the network work
// runs on the event loop and the cards are read on a thread of their own,
// under a progress bar with "Annuleren", so the window never freezes.
class TExchangeButtons : public QObject {
    Q_OBJECT
public:
    // Makes the buttons on `panel` at `left`, side by side.
    TExchangeButtons(RecordModel& model, DataFile& data, QWidget* panel, int left);

    QToolButton* importButton() const { return m_import; }
    QToolButton* exportButton() const { return m_export; }
    // The right edge of the last button, for the window's layout.
    int right() const;
    bool busy() const;
    DavClient* client() const { return m_client; }
    // The progress window while a job runs, else nullptr.
    TExchangeProgress* progressWindow() const { return m_progress; }

public Q_SLOTS:
    void ImportContactsClick();
    void ExportCalendarClick();

Q_SIGNALS:
    // Records were added to the table from table row `firstRow` on.
    void recordsAdded(int firstRow);
    // A job started or ended (the window may want to know, tests wait for it).
    void busyChanged(bool busy);

private:
    struct Account {
        QUrl url;
        QString user;
        QString password;
        QString secretKey;
        bool stored = false; // the password came from the secret store
    };
    // Asks the address, user name and password (or takes the stored one), then runs `job`.
    void askAccount(const StoreKey& addressKey, const StoreKey& userKey, const QString& title,
                    const QString& prompt, std::function<void(const Account&)> job);
    void setBusy(bool busy);
    // The progress window of the job now starting.
    TExchangeProgress* showProgress(const QString& title);
    void closeProgress();
    // After a network job: keeps a password that worked, forgets one that was
    // refused, and says why `what` ("Importeren") failed.
    bool jobDone(bool ok, const QString& what);
    // Reads the cards into a copy of the records; they take its place when done.
    void importCards(const QList<CardSource>& sources, const QString& where, const QStringList& books = {});
    void cardsImported();
    QRect caller() const;

    RecordModel& m_model;
    DataFile& m_data;
    QWidget* m_window;
    QToolButton* m_import;
    QToolButton* m_export;
    DavClient* m_client;
    CardImport* m_cards;
    QPointer<TExchangeProgress> m_progress;
    Account m_account;
    // The import under way: the records it goes into, and what to say when done.
    std::unique_ptr<RecordTable> m_records;
    QString m_where;
    QStringList m_books;
};
