#pragma once

#include <QDate>
#include <QDialog>
#include <QString>
#include <QTime>

class QLabel;
class QSpinBox;
class QToolButton;
class TClrBtn;

// The month grid of the date picker: 7 columns (Sunday first) and 7 rows, the
// short day names in row 0 and the days of one month in rows 1 to 6.  Cells
// outside the month are empty and cannot be chosen.
class TMonthGrid : public QWidget {
    Q_OBJECT
public:
    explicit TMonthGrid(QWidget* parent = nullptr);

    QDate date() const { return m_date; }
    void setDate(const QDate& date);
    // The rectangle of a cell, for drawing and for tests that click a day.
    QRect cellRect(int row, int column) const;

    QSize sizeHint() const override { return {280, 175}; }

Q_SIGNALS:
    void dateChanged();
    // Return or Enter: the day in focus is the one.
    void chosen();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QDate m_date;
};

// Two arrow buttons, as beside the month and the year.
class TSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TSpinButton(QWidget* parent = nullptr);
    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

Q_SIGNALS:
    void upClicked();
    void downClicked();

private:
    QToolButton* m_up;
    QToolButton* m_down;
};

// The date picker: a month grid with the year, quarter, month name, week
// number and the picked date in the program's notation, and a time of day.
// Created once; it keeps its date between showings.
class TCalendarDlg : public QDialog {
    Q_OBJECT
public:
    explicit TCalendarDlg(QWidget* parent = nullptr);

    // Moves the grid to the day of `moment` and the time fields to its time.
    void SetStartDate(const QDateTime& moment);
    // Shows the dialog modally; true after OK or "Vandaag".
    bool PickDate(bool focusOK, const QString& titlePrefix);
    // The picked date in the program's short date format.
    QString PickedDateText() const;

    QDate pickedDate() const;
    QTime timeOfDay() const { return m_time; }
    bool accepted() const { return m_accepted; }
    bool pickedToday() const { return m_today; }
    TMonthGrid* grid() const { return m_calendar; }

public Q_SLOTS:
    void Calendar1Change();
    void MaandSpinDownClick();
    void MaandSpinUpClick();
    void JaarSpinDownClick();
    void JaarSpinUpClick();
    void SpinUurChange();
    void SpinMinuutChange();
    void SpinSecondeChange();
    void BtnOKClick();
    void BtnVandaagClick();
    void BtnCancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refreshPanels();
    void stepTo(const QDate& date);

    QLabel* m_maandPanel;
    QLabel* m_jaarPanel;
    QLabel* m_weekPanel;
    QLabel* m_kwartaalPanel;
    QLabel* m_datumPanel;
    TMonthGrid* m_calendar;
    QSpinBox* m_spinUur;
    QSpinBox* m_spinMinuut;
    QSpinBox* m_spinSeconde;
    TClrBtn* m_btnOK;
    TClrBtn* m_btnVandaag;
    TClrBtn* m_btnCancel;

    QTime m_time{12, 0, 0};
    bool m_accepted = false;
    bool m_today = false;
    bool m_focusOK = false;
    QString m_titlePrefix;
};
