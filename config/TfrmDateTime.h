#pragma once

#include "ConfigWindow.h"

#include <memory>

namespace Ui {
class TfrmDateTime;
}
class ApplyUndoButtons;
class QLineEdit;

// "System Date & Time": reads the transmitter's clock and sets it through the
// command area. Only a field that was edited is sent, and only as six digits that
// form a real date or time.
class TfrmDateTime : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 462;
    static constexpr int HelpContext = 462;
    static const QString InvalidDateText;
    static const QString InvalidTimeText;
    static const QString NothingToSendText;
    static const QString UndoKeepsText;
    static const QString DateSetTimeRefusedText;

    TfrmDateTime(const WindowContext &context, int tag = Tag);
    ~TfrmDateTime() override;

protected:
    void FormActivate() override;
    void beforeFinish() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // One of the two fields: how it is fetched and set, and what became of it.
    struct Field {
        QLineEdit *edit;
        int getCoil;
        int setCoil;
        QString fallback;
        QString format;  // QDate / QTime format of its six digits
        bool read = false;
        bool edited = false;
        QString kept;
    };

    void stopDisplay();
    void fetch(Field &field);
    bool valid(const Field &field) const;
    bool send(const Field &field, const QString &refusedText);
    bool btnApplyClick();
    bool btnUndoClick();

    std::unique_ptr<Ui::TfrmDateTime> ui;
    ApplyUndoButtons *m_buttons = nullptr;
    Field m_date;
    Field m_time;
    bool m_sent = false;  // something was set since the window opened
};
