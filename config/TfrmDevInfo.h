#pragma once

#include "ConfigBlock.h"
#include "ConfigWindow.h"

#include <QSet>

#include <memory>

namespace Ui {
class TfrmDevInfo;
}
class ApplyUndoButtons;
class QLineEdit;

// "Configure Miscellaneous Device Information": tag, descriptor, message, date and
// device ID. The tag also names the transmitter in the main window's tag panel.
// Only edited fields are written; the others keep their bytes as read (a stored
// date longer than the field shows is never cut).
class TfrmDevInfo : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 4530;
    static constexpr int HelpContext = 4530;
    static const QString IncompleteDateText;

    TfrmDevInfo(const WindowContext &context, int tag = Tag);
    ~TfrmDevInfo() override;

protected:
    void FormActivate() override;

private:
    void showBlock();
    void takeTag();
    bool btnApplyClick();
    bool btnUndoClick();

    std::unique_ptr<Ui::TfrmDevInfo> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    ConfigBlock m_block;
    bool m_datePlaceholder = false;
    QSet<QLineEdit *> m_edited;
};
