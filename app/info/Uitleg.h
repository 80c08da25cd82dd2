#pragma once

#include <QDialog>
#include <QStringList>

class QTextEdit;
class TClrBtn;

// The explanation window: what each line of the main window's list says.
class TFormUitleg : public QDialog {
    Q_OBJECT

public:
    static constexpr int RichLeft = 20;
    static constexpr int RichHeight = 485;
    static constexpr int PanelHeight = 55;
    static constexpr int TextPoints = 15;

    // `mainWindow`: the window this one is centred on.
    explicit TFormUitleg(QWidget* mainWindow = nullptr);

    // The main window's `BtnUitleg`: shown modally, centred on the main window.
    // The caller puts the focus back on its list afterwards.
    void ShowUitleg();

    // The 27 lines of the explanation.
    static QStringList ExplanationLines();

public Q_SLOTS:
    void BtnCloseClick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeControls();

    QTextEdit* m_richEdit;
    QWidget* m_panelBottom;
    TClrBtn* m_btnClose;
};
