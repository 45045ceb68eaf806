#pragma once

#include "ChosenUnits.h"
#include "HistoryStore.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class Session;
struct WindowContext;

// The change history: operations newest first, filtered by unit (tag or serial
// number), user, field and a range of local dates; the changed fields of the
// selected operation with their as-found and as-left values in the units the
// technician chose; export as CSV, print as PDF; the certificate of a selected
// calibration, again.
// Reading only, for every user.
class TfrmHistory : public QDialog {
    Q_OBJECT
public:
    TfrmHistory(const WindowContext &context, int tag);
    explicit TfrmHistory(HistoryStore *store, QWidget *parent = nullptr);

    // Runs the filter of the entry fields; false (and says why) for a date that is not one.
    bool find();
    bool exportCsv();
    bool printPdf();
    const QList<HistoryEntry> &shown() const { return m_entries; }

private:
    void showChanges(int row);

    HistoryStore *m_store;
    QLineEdit *m_unit;
    QLineEdit *m_user;
    QLineEdit *m_field;
    QLineEdit *m_since;
    QLineEdit *m_until;
    QLabel *m_status;
    QTableWidget *m_operations;
    QTableWidget *m_changes;
    QPushButton *m_certificate;
    QList<HistoryEntry> m_entries;
    ChosenUnits m_units;
};
