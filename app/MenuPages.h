#pragma once

#include <QObject>
#include <QString>

#include <array>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// The five menu bars of the main window (MAIN, PRG, CAL, CFG, SYS) and the FILE
// pop-up. They live as long as the window: only one is installed at a time, and
// the others are kept rather than recreated. Every item reports its tag through
// itemChosen(); "Up" items report MenuTag::Up.
class MenuPages : public QObject {
    Q_OBJECT
public:
    enum Page { MainPage, ProgramPage, CalibrationPage, ConfigurationPage, SystemPage, PageCount };

    explicit MenuPages(QWidget *owner);
    ~MenuPages() override;

    QMenuBar *bar(Page page) const { return m_bars[page]; }
    static QString caption(Page page);
    QMenu *filePopup() const { return m_filePopup; }

    // Items whose state changes with the device model or the access level.
    QAction *viewOutputs = nullptr;
    QAction *viewNetOil = nullptr;
    QAction *calAnalog = nullptr;
    QAction *cfgBatch = nullptr;
    QAction *cfgDisplay = nullptr;
    QAction *cfgAnalogOutputs = nullptr;
    QAction *cfgOptionCard = nullptr;
    QMenu *processVariablesMenu = nullptr;
    QMenu *outputsMenu = nullptr;
    QMenu *systemDiagnosticsMenu = nullptr;
    QAction *openDiagnosticsWindow = nullptr;
    QAction *openModbusTest = nullptr;   // the raw test console, for administrators
    QAction *openTraffic = nullptr;      // the frames on the link, for programmers

    // The first action carrying tag on page, for tests and for the model rules.
    QAction *action(Page page, int tag) const;

signals:
    void itemChosen(int tag);
    void openDiagnosticsWindowChosen();
    void openModbusTestChosen();
    void openTrafficChosen();
    void processVariablesAboutToShow();
    void outputsAboutToShow();

private:
    QAction *item(QMenu *menu, const QString &text, int tag);
    QAction *item(QMenuBar *bar, const QString &text, int tag);
    void addFileItems(QMenu *menu, bool programPage);
    void buildMain();
    void buildProgram();
    void buildCalibration();
    void buildConfiguration();
    void buildSystem();
    void buildFilePopup();

    std::array<QMenuBar *, PageCount> m_bars{};
    QMenu *m_filePopup = nullptr;
};
