#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmTarvineDebug;
}

class QPlainTextEdit;
class QPushButton;

// "Tarvine Diagnostics": the trace lines of the link and the procedures since
// the program started, with millisecond time stamps; they can be saved to a file.
class TfrmTarvineDebug : public QDialog {
    Q_OBJECT
public:
    explicit TfrmTarvineDebug(QWidget *parent = nullptr);
    ~TfrmTarvineDebug() override;

    QPlainTextEdit *MemoCtl = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnClose = nullptr;

    // Writes the memo to path; false with *error set on failure.
    bool saveTo(const QString &path, QString *error) const;

public slots:
    void btnSaveClick();

private:
    std::unique_ptr<Ui::TfrmTarvineDebug> ui;
};
