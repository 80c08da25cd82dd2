#include "WidgetUi.h"
#include "WindowKit.h"
#include "kit/Ask.h"
#include "kit/ClrBtn.h"
#include "kit/MessForm.h"
#include "kit/Store.h"
#include "kit/YesNo.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <cmath>

namespace {
// Verdana 14 pixels is 11 points; round(11 x 1.6) = 18 pixels per memo line.
constexpr int yesNoLine = 18;
const QRect mainRect(100, 50, 1000, 430);

int panelWidthFor(int textWidth) {
    return qMax(368, int(std::lround(std::sqrt(double(textWidth)) * 10.0)));
}

// Where a window of `own` (frame included) centred on `caller` starts: the
// halves are cut toward zero, also when the caller is the smaller.
QPoint centred(const QRect& caller, const QSize& own) {
    return caller.topLeft() + QPoint(int(std::trunc((caller.width() - own.width()) / 2.0)),
                                     int(std::trunc((caller.height() - own.height()) / 2.0)));
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void yesNoFirstUseLayout();
    void yesNoWidthFollowsMessage_data();
    void yesNoWidthFollowsMessage();
    void yesNoNeverNarrower();
    void yesNoLines_data();
    void yesNoLines();
    void yesNoLaterCallsKeepHeightAndPlace();
    void yesNoCentresTowardZero_data();
    void yesNoCentresTowardZero();
    void yesNoButtons_data();
    void yesNoButtons();
    void yesNoEnterGivesTheDefaultEveryTime();

    void askTextAnswers_data();
    void askTextAnswers();
    void askTextLayout_data();
    void askTextLayout();

    void noteSize_data();
    void noteSize();
    void noteHeightCappedByScreen();
    void noteClosesItself();
    void newNoteReplacesShown();

    void widgetUiRoutes();

private:
    QTemporaryDir m_home;
};

void TestDialogs::initTestCase() {
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (m_home.path() + "/data").toUtf8());
}

// --- Yes/no question -------------------------------------------------------

void TestDialogs::yesNoFirstUseLayout() {
    TYesNoDlg dlg;
    const QString message = QStringLiteral("Wilt u de wijzigingen bewaren?");
    const int textWidth = QFontMetrics(dlg.font()).horizontalAdvance(message);
    QVERIFY(std::lround(std::sqrt(double(textWidth)) * 10.0) < 368);

    bool cancel = false;
    dlg.answerNext(TYesNoDlg::Answer::Yes);
    QVERIFY(dlg.AskYesNo(mainRect, cancel, false, "Ja", "Nee", "Annuleren", message, "Bewaren"));
    QVERIFY(!cancel);

    auto* panel = child<QFrame>(&dlg, "MessagePanel");
    auto* memo = child<QTextEdit>(&dlg, "MessageMemo");
    QCOMPARE(panel->geometry(), QRect(16, 10, 368, yesNoLine * 2 + 15));
    QCOMPARE(memo->geometry(), QRect(8, 8, 352, yesNoLine * 2));
    QCOMPARE(dlg.size(), QSize(400, 78 + 30 + 20));
    QCOMPARE(child<TClrBtn>(&dlg, "BtnYes")->geometry(), QRect(16, 78, 111, 30));
    QCOMPARE(child<TClrBtn>(&dlg, "BtnNo")->geometry(), QRect(274, 78, 110, 30));
    QCOMPARE(child<TClrBtn>(&dlg, "BtnCancel")->geometry(), QRect(144, 78, 111, 30));
    QCOMPARE(dlg.pos(), centred(mainRect, dlg.size()));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Bewaren"));
    QCOMPARE(memo->toPlainText(), message);
    QCOMPARE(dlg.palette().color(QPalette::Window), QColor(255, 255, 227));
    QCOMPARE(child<TClrBtn>(&dlg, "BtnYes")->backColor(), quint32(0xE3FFFF));
    QCOMPARE(child<TClrBtn>(&dlg, "BtnNo")->hoverColor(), quint32(0xFFFF00));
}

void TestDialogs::yesNoWidthFollowsMessage_data() {
    QTest::addColumn<QString>("message");
    QTest::newRow("short") << QStringLiteral("Doorgaan?");
    QTest::newRow("medium") << QString(QStringLiteral("Het bestand bestaat al. ")).repeated(4);
    QTest::newRow("long") << QString(QStringLiteral("Het bestand bestaat al. ")).repeated(20);
    QTest::newRow("very long") << QString(QStringLiteral("Het bestand bestaat al. ")).repeated(80);
}

void TestDialogs::yesNoWidthFollowsMessage() {
    QFETCH(QString, message);
    TYesNoDlg dlg;
    const int panel = panelWidthFor(QFontMetrics(dlg.font()).horizontalAdvance(message));
    bool cancel = false;
    dlg.answerNext(TYesNoDlg::Answer::No);
    QVERIFY(!dlg.AskYesNo(mainRect, cancel, true, "Ja", "Nee", "", message, "Vraag"));
    QCOMPARE(child<QFrame>(&dlg, "MessagePanel")->width(), panel);
    QCOMPARE(dlg.width(), panel + 32);
    QCOMPARE(child<TClrBtn>(&dlg, "BtnNo")->x(), panel + 32 - 110 - 16);
    QCOMPARE(child<QTextEdit>(&dlg, "MessageMemo")->width(), panel - 16);
}

void TestDialogs::yesNoNeverNarrower() {
    TYesNoDlg dlg;
    const QString wide = QString(QStringLiteral("Het bestand bestaat al. ")).repeated(30);
    const QString wider = QString(QStringLiteral("Het bestand bestaat al. ")).repeated(60);
    const QFontMetrics metrics(dlg.font());
    bool cancel = false;
    dlg.answerNext(TYesNoDlg::Answer::Yes);
    dlg.AskYesNo(mainRect, cancel, true, "Ja", "Nee", "", wide, "Vraag");
    const int first = panelWidthFor(metrics.horizontalAdvance(wide));
    QVERIFY(first > 368);
    QCOMPARE(dlg.width(), first + 32);

    dlg.answerNext(TYesNoDlg::Answer::Yes);
    dlg.AskYesNo(mainRect, cancel, true, "Ja", "Nee", "", "Kort?", "Vraag");
    QCOMPARE(dlg.width(), first + 32);
    QCOMPARE(child<QFrame>(&dlg, "MessagePanel")->width(), first);

    dlg.answerNext(TYesNoDlg::Answer::Yes);
    dlg.AskYesNo(mainRect, cancel, true, "Ja", "Nee", "", wider, "Vraag");
    QCOMPARE(dlg.width(), panelWidthFor(metrics.horizontalAdvance(wider)) + 32);
}

void TestDialogs::yesNoLines_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("lines");

    QTest::newRow("one line") << "Verwijderen?"
                              << "Verwijderen?" << 1;
    QTest::newRow("CR") << "Eerste regel\rTweede regel"
                        << "Eerste regel\nTweede regel" << 2;
    QTest::newRow("CR LF keeps no stray line") << "Een\r\nTwee\r\nDrie"
                                               << "Een\nTwee\nDrie" << 3;
    QTest::newRow("LF") << "Een\nTwee"
                        << "Een\nTwee" << 2;
    QTest::newRow("empty line between") << "Een\r\rDrie"
                                        << "Een\n\nDrie" << 3;
}

void TestDialogs::yesNoLines() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QFETCH(int, lines);
    TYesNoDlg dlg;
    bool cancel = false;
    dlg.answerNext(TYesNoDlg::Answer::Yes);
    dlg.AskYesNo(mainRect, cancel, true, "Ja", "Nee", "", message, "Vraag");
    auto* memo = child<QTextEdit>(&dlg, "MessageMemo");
    QCOMPARE(memo->toPlainText(), shown);
    const int memoHeight = (lines + 1) * yesNoLine;
    QCOMPARE(memo->height(), memoHeight);
    QCOMPARE(child<QFrame>(&dlg, "MessagePanel")->height(), memoHeight + 15);
    QCOMPARE(child<TClrBtn>(&dlg, "BtnYes")->y(), memoHeight + 15 + 27);
    QCOMPARE(dlg.height(), memoHeight + 15 + 27 + 30 + 20);
}

void TestDialogs::yesNoLaterCallsKeepHeightAndPlace() {
    TYesNoDlg dlg;
    bool cancel = false;
    dlg.answerNext(TYesNoDlg::Answer::Yes);
    dlg.AskYesNo(mainRect, cancel, true, "Ja", "Nee", "", "Een\rTwee", "Vraag");
    const int height = dlg.height();
    const QPoint place = dlg.pos();
    dlg.answerNext(TYesNoDlg::Answer::Yes);
    dlg.AskYesNo(QRect(0, 0, 200, 200), cancel, true, "Ja", "Nee", "", "Een\rTwee\rDrie\rVier", "Vraag");
    QCOMPARE(dlg.height(), height);
    QCOMPARE(dlg.pos(), place);
    QCOMPARE(child<QTextEdit>(&dlg, "MessageMemo")->toPlainText(), QStringLiteral("Een\nTwee\nDrie\nVier"));
}

void TestDialogs::yesNoCentresTowardZero_data() {
    QTest::addColumn<QRect>("caller");
    QTest::newRow("odd halves") << QRect(10, 20, 401, 131);
    QTest::newRow("even") << QRect(0, 0, 800, 600);
    // Narrower and lower than the dialog: -299 / 2 and -127 / 2 are cut to -149 and -63.
    QTest::newRow("smaller caller rounds toward zero") << QRect(500, 300, 101, 1);
}

void TestDialogs::yesNoCentresTowardZero() {
    QFETCH(QRect, caller);
    TYesNoDlg dlg;
    bool cancel = false;
    dlg.answerNext(TYesNoDlg::Answer::Yes);
    dlg.AskYesNo(caller, cancel, true, "Ja", "Nee", "", "Doorgaan?", "Vraag");
    QCOMPARE(dlg.size(), QSize(400, 128));
    QCOMPARE(dlg.pos(), centred(caller, dlg.size()));
    if (caller.width() == 101)
        QCOMPARE(dlg.pos(), QPoint(351, 237));
}

void TestDialogs::yesNoButtons_data() {
    QTest::addColumn<bool>("cancelIn");
    QTest::addColumn<bool>("defaultAnswer");
    QTest::addColumn<QString>("action"); // a button to click, or "Escape"
    QTest::addColumn<bool>("cancelShown");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("cancelOut");

    QTest::newRow("yes, no cancel button") << false << false << "BtnYes" << false << true << false;
    QTest::newRow("no, no cancel button") << false << true << "BtnNo" << false << false << false;
    QTest::newRow("yes with cancel button") << true << false << "BtnYes" << true << true << false;
    QTest::newRow("no with cancel button") << true << true << "BtnNo" << true << false << false;
    QTest::newRow("cancel") << true << true << "BtnCancel" << true << false << true;
    QTest::newRow("escape with cancel button is cancel") << true << true << "Escape" << true << false << true;
    QTest::newRow("escape without cancel button gives the default yes")
        << false << true << "Escape" << false << true << false;
    QTest::newRow("escape without cancel button gives the default no")
        << false << false << "Escape" << false << false << false;
}

void TestDialogs::yesNoButtons() {
    QFETCH(bool, cancelIn);
    QFETCH(bool, defaultAnswer);
    QFETCH(QString, action);
    QFETCH(bool, cancelShown);
    QFETCH(bool, result);
    QFETCH(bool, cancelOut);

    TYesNoDlg dlg;
    // An earlier cancel does not leak into this question.
    bool cancel = true;
    dlg.answerNext(TYesNoDlg::Answer::Cancel);
    dlg.AskYesNo(mainRect, cancel, true, "Ja", "Nee", "Annuleren", "Eerst", "Vraag");
    QVERIFY(cancel);

    bool wasShown = false;
    bool cancelVisible = false;
    QString cancelCaption;
    whenShown([&] {
        wasShown = dlg.isVisible();
        auto* cancelButton = child<TClrBtn>(&dlg, "BtnCancel");
        cancelVisible = cancelButton->isVisible();
        cancelCaption = cancelButton->text();
        if (action == "Escape")
            QTest::keyClick(&dlg, Qt::Key_Escape);
        else
            QTest::mouseClick(child<TClrBtn>(&dlg, action.toLatin1().constData()), Qt::LeftButton);
    });
    cancel = cancelIn;
    const bool answer =
        dlg.AskYesNo(mainRect, cancel, defaultAnswer, "Wel", "Niet", "Stop", "Zeker?", "Vraag");
    QVERIFY(wasShown);
    QCOMPARE(cancelVisible, cancelShown);
    QCOMPARE(cancelCaption, QStringLiteral("Stop"));
    QCOMPARE(answer, result);
    QCOMPARE(cancel, cancelOut);
    QCOMPARE(child<TClrBtn>(&dlg, "BtnYes")->text(), QStringLiteral("Wel"));
    QCOMPARE(child<TClrBtn>(&dlg, "BtnNo")->text(), QStringLiteral("Niet"));
}

void TestDialogs::yesNoEnterGivesTheDefaultEveryTime() {
    TYesNoDlg dlg;
    for (const bool defaultAnswer : {true, false, true}) {
        QString focused;
        whenShown([&] {
            focused = dlg.focusWidget() ? dlg.focusWidget()->objectName() : QString();
            QTest::keyClick(dlg.focusWidget(), Qt::Key_Return);
        });
        bool cancel = false;
        QCOMPARE(dlg.AskYesNo(mainRect, cancel, defaultAnswer, "Ja", "Nee", "", "Zeker?", "Vraag"),
                 defaultAnswer);
        QCOMPARE(focused, defaultAnswer ? QStringLiteral("BtnYes") : QStringLiteral("BtnNo"));
    }
}

// --- Text question ---------------------------------------------------------

void TestDialogs::askTextAnswers_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("text");

    QTest::newRow("ok with typed text") << "" << true << "Nieuwe map" << true << "Nieuwe map";
    QTest::newRow("ok keeps the start text") << "Brolt" << true << "" << true << "Brolt";
    QTest::newRow("cancel still returns the field") << "Oud" << false << "Nieuw" << false << "OudNieuw";
}

void TestDialogs::askTextAnswers() {
    QFETCH(QString, start);
    QFETCH(bool, ok);
    QFETCH(QString, typed);
    QFETCH(bool, result);
    QFETCH(QString, text);

    TAskDlg dlg;
    bool editFocused = false;
    bool selected = true;
    QString shownText;
    whenShown([&] {
        auto* edit = child<QLineEdit>(&dlg, "AskEdit");
        editFocused = dlg.focusWidget() == edit;
        selected = edit->hasSelectedText();
        shownText = edit->text();
        QTest::keyClicks(edit, typed);
        QTest::mouseClick(child<TClrBtn>(&dlg, ok ? "BtnOK" : "BtnCancel"), Qt::LeftButton);
    });
    QString value = start;
    QCOMPARE(dlg.AskText(mainRect, value, "Naam van de map:", "Nieuwe map"), result);
    QVERIFY(editFocused);
    QVERIFY(!selected);
    QCOMPARE(shownText, start);
    QCOMPARE(value, text);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Nieuwe map - Brolt"));
    QCOMPARE(child<QLabel>(&dlg, "AskLabel")->text(), QStringLiteral("Naam van de map:"));

    // The unattended seam answers the same way.
    dlg.answerNext(true, QStringLiteral("Vooraf"));
    QVERIFY(dlg.AskText(mainRect, value, "Naam:", "Titel"));
    QCOMPARE(value, QStringLiteral("Vooraf"));
}

void TestDialogs::askTextLayout_data() {
    QTest::addColumn<QString>("prompt");
    QTest::newRow("short prompt gets one line") << QStringLiteral("Naam:");
    QTest::newRow("long prompt")
        << QString(QStringLiteral("Geef de naam van het nieuwe bestand in de gekozen map. ")).repeated(3);
}

void TestDialogs::askTextLayout() {
    QFETCH(QString, prompt);
    TAskDlg dlg;
    const QFontMetrics metrics(dlg.font());
    const int byLength = metrics.horizontalAdvance(prompt) * 30 / 301;
    const int labelHeight = qMax(byLength, metrics.height());
    dlg.answerNext(false);
    QString value;
    dlg.AskText(QRect(0, 0, 1001, 801), value, prompt, "Titel");
    QCOMPARE(child<QLabel>(&dlg, "AskLabel")->geometry(), QRect(9, 8, 301, labelHeight));
    const int editTop = 8 + labelHeight + 10;
    QCOMPARE(child<QLineEdit>(&dlg, "AskEdit")->geometry().top(), editTop);
    QCOMPARE(child<QLineEdit>(&dlg, "AskEdit")->size(), QSize(291, 25));
    QCOMPARE(child<TClrBtn>(&dlg, "BtnOK")->geometry().top(), editTop + 35);
    QCOMPARE(child<TClrBtn>(&dlg, "BtnCancel")->geometry().top(), editTop + 35);
    QCOMPARE(child<TClrBtn>(&dlg, "BtnOK")->size(), QSize(104, 28));
    QCOMPARE(dlg.height(), editTop + 35 + 28 + 10);
    QCOMPARE(dlg.pos(), centred(QRect(0, 0, 1001, 801), dlg.size()));
}

// --- Timed note ------------------------------------------------------------

void TestDialogs::noteSize_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("measured"); // the line whose width counts
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("height");

    // Verdana 16 pixels is 12 points: (lines + 4) x 12.
    QTest::newRow("two lines") << "Bestand bewaard"
                               << "Brolt.dat"
                               << "Bestand bewaard"
                               << "\nBestand bewaard\nBrolt.dat" << 84;
    QTest::newRow("first line only") << "Geen printer"
                                     << ""
                                     << "Geen printer"
                                     << "\nGeen printer" << 72;
    QTest::newRow("second line only") << ""
                                      << "Klaar"
                                      << "Klaar"
                                      << "\nKlaar" << 72;
    QTest::newRow("equal length: the second is measured") << "iiii"
                                                          << "WWWW"
                                                          << "WWWW"
                                                          << "\niiii\nWWWW" << 84;
}

void TestDialogs::noteSize() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, measured);
    QFETCH(QString, shown);
    QFETCH(int, height);

    TMessageForm note;
    auto* memo = child<QTextEdit>(&note, "MessageMemo");
    const int textWidth = QFontMetrics(memo->font()).horizontalAdvance(measured);
    QVERIFY(textWidth <= 500);
    note.ShowTimedMessage(QRect(100, 100, 1000, 400), 5000, first, second);
    QVERIFY(note.isVisible());
    QCOMPARE(note.size(), QSize(textWidth + 50, height));
    QCOMPARE(note.pos(), centred(QRect(100, 100, 1000, 400), note.size()));
    QCOMPARE(memo->toPlainText(), shown);
    QCOMPARE(memo->geometry(), note.rect());
    QCOMPARE(memo->textCursor().position(), shown.size());
    QVERIFY(!memo->textCursor().hasSelection());
    QCOMPARE(note.palette().color(QPalette::Window), QColor(255, 255, 224));
    note.CloseMessage();
    QVERIFY(!note.isVisible());
}

void TestDialogs::noteHeightCappedByScreen() {
    TMessageForm note;
    const QString longLine = QString(QStringLiteral("Een heel lange melding zonder einde. ")).repeated(200);
    note.ShowTimedMessage(QRect(0, 0, 800, 600), 5000, "Fout", longLine);
    QCOMPARE(note.width(), 500);
    QCOMPARE(note.height(), QGuiApplication::primaryScreen()->geometry().height() - 200);
    note.CloseMessage();

    // A wide line wraps, so the note grows by whole lines.
    const QString wide = QString(QStringLiteral("Bestand niet gevonden. ")).repeated(3);
    note.ShowTimedMessage(QRect(0, 0, 800, 600), 5000, wide, "");
    QCOMPARE(note.width(), 500);
    QVERIFY(note.height() > 72);
    QCOMPARE(note.height() % 12, 0);
    note.CloseMessage();
}

void TestDialogs::noteClosesItself() {
    TMessageForm note;
    auto* timer = child<QTimer>(&note, "Timer");
    note.ShowTimedMessage(QRect(0, 0, 800, 600), 5000, "Een", "Twee");
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 5000);
    note.CloseMessage();
    QVERIFY(!timer->isActive());

    note.ShowTimedMessage(QRect(0, 0, 800, 600), 20, "Een", "Twee");
    QVERIFY(note.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!note.isVisible(), 2000);
    QVERIFY(!timer->isActive());
}

void TestDialogs::newNoteReplacesShown() {
    TMessageForm note;
    auto* memo = child<QTextEdit>(&note, "MessageMemo");
    note.ShowTimedMessage(QRect(0, 0, 800, 600), 30, "Eerste melding", "");
    note.ShowTimedMessage(QRect(0, 0, 800, 600), 5000, "Tweede", "regel");
    QCOMPARE(memo->toPlainText(), QStringLiteral("\nTweede\nregel"));
    QCOMPARE(note.height(), 84);
    QCOMPARE(child<QTimer>(&note, "Timer")->interval(), 5000);
    QTest::qWait(150);
    QVERIFY(note.isVisible()); // the new note's own time runs

    note.ShowTimedMessage(QRect(0, 0, 800, 600), 20, "Derde", "");
    QCOMPARE(memo->toPlainText(), QStringLiteral("\nDerde"));
    QTRY_VERIFY_WITH_TIMEOUT(!note.isVisible(), 2000);
}

// --- The windows' Ui -------------------------------------------------------

void TestDialogs::widgetUiRoutes() {
    QWidget mainWindow;
    mainWindow.setGeometry(200, 100, 800, 500);
    WidgetUi ui;
    ui.setMainWindow(&mainWindow);
    Ui::install(&ui);

    bool cancel = false;
    ui.yesNoDlg()->answerNext(TYesNoDlg::Answer::No);
    QVERIFY(!Ui::instance().askYesNo(cancel, true, "Ja", "Nee", "", "Opslaan?", "Brolt"));
    QCOMPARE(ui.yesNoDlg()->pos(), centred(mainWindow.geometry(), ui.yesNoDlg()->size()));

    QString text = "a";
    ui.askDlg()->answerNext(true, QStringLiteral("Piet"));
    QVERIFY(Ui::instance().askText(text, "Naam:", "Nieuw", QRect(0, 0, 320, 300)));
    QCOMPARE(text, QStringLiteral("Piet"));
    QCOMPARE(ui.askDlg()->pos(), centred(QRect(0, 0, 320, 300), ui.askDlg()->size()));

    Ui::instance().showTimedMessage(5000, "Bewaard", "");
    TMessageForm* note = ui.messageForm();
    QVERIFY(note->isVisible());
    QCOMPARE(note->pos(), centred(mainWindow.geometry(), note->size()));
    Ui::instance().closeTimedMessage();
    QVERIFY(!note->isVisible());

    Ui::install(nullptr);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
