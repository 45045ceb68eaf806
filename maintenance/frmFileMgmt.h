#pragma once

#include "GuardedWindow.h"
#include "TransmitterFiles.h"
#include "WindowRegistry.h"

#include <memory>

namespace Ui {
class TfrmFileMgmt;
}
class QCheckBox;
class QTableWidget;

// "System File Information": the transmitter's files with size, revision, type and
// date; ticked files are deleted on Apply.
class TfrmFileMgmt : public GuardedWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 4640;
    static constexpr int HelpContext = 4641;
    static constexpr int VisibleRows = 16;
    static constexpr int DeleteColumn = 5;
    static inline const QString NoFilesText = QStringLiteral("< NO FILES>");

    TfrmFileMgmt(const WindowContext &context, int tag);
    ~TfrmFileMgmt() override;

    QTableWidget *grid() const;
    // The row's "Delete?" box (nullptr for a row without a file).
    QCheckBox *deleteBox(int row) const;

public slots:
    void btnApplyClick();

protected:
    void FormActivate() override;

private:
    void addFileRow(const QByteArray &storedName);
    void showNoFiles();
    void fitGrid();
    void tickChanged(bool ticked);

    WindowContext m_context;
    TransmitterFiles m_files;
    std::unique_ptr<Ui::TfrmFileMgmt> ui;
    QList<QByteArray> m_storedNames; // per row
    int m_ticked = 0;
};
