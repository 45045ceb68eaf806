#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmTarvnote;
}

// The acknowledgements window. It frees itself when closed.
class TfrmTarvnote : public QDialog {
    Q_OBJECT
public:
    explicit TfrmTarvnote(QWidget *parent = nullptr);
    ~TfrmTarvnote() override;

    // Creates and shows one; it frees itself when closed.
    static TfrmTarvnote *open(QWidget *parent);

private:
    std::unique_ptr<Ui::TfrmTarvnote> ui;
};
