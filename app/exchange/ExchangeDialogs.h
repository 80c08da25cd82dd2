#pragma once

#include "kit/Store.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class DataFile;
struct CardSource;
class DavClient;
class QToolButton;
class QWidget;
class RecordModel;

// The edit window's two exchange buttons: "Importeer contacten..." (a .vcf
// file or a CardDAV address book) and "Exporteer agenda..." (an .ics file or a
// CalDAV calendar).  Everything is asked through the Ui seam; the network work
// runs on the event loop under a busy cursor, so the window never freezes.
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
    // After a network job: keeps a password that worked, forgets one that was refused.
    bool jobDone(bool ok, const QString& failureTitle);
    void importCards(const CardSource& source, const QString& where);
    QRect caller() const;

    RecordModel& m_model;
    DataFile& m_data;
    QWidget* m_window;
    QToolButton* m_import;
    QToolButton* m_export;
    DavClient* m_client;
    Account m_account;
};
