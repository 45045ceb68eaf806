#pragma once

#include "AboutFacts.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmAbout;
}

// The about box: version values, registered user and organisation, the notice
// and a legal warning; it can show the terms and conditions again.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(const AboutFacts &facts = AboutFacts::fromSystem(), QWidget *parent = nullptr);
    ~TfrmAbout() override;

private slots:
    void btnDisclaimerClick();

private:
    std::unique_ptr<Ui::TfrmAbout> ui;
};
