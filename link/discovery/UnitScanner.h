#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "ModbusLink.h"

class QEventLoop;

// What a scan tries. Every combination of framing, baud rate and unit ID is one
// probe; the likely unit IDs (247, the factory address, then 1) are tried at every
// framing and baud rate before the others.
struct ScanPlan {
    QList<int> framings{0, 1};   // ModbusLink::Ascii, ModbusLink::Rtu
    QList<int> bauds;            // empty: UnitScanner::standardBauds()
    QString lineShape = QStringLiteral("N,8,1");  // parity, data bits, stop bits
    QList<int> unitIds;          // empty: 1..247
    // How long a unit gets to start its reply once the request is on the wire, and
    // the longest gap inside a reply.
    int replyMarginMs = 60;
    bool stopAtFirst = false;
};

struct FoundUnit {
    int unitId = 0;
    int framing = 0;
    QString lineSettings;  // "9600,N,8,1"
    QString model;         // empty when the unit did not say
    QString tag;
    int exception = 0;     // nonzero: it answered the probe with this exception code
};

// Looks for transmitters on the link's port by trying framings, baud rates and
// unit IDs with short time-outs. It talks on the port itself (the link's own
// time-out is for a unit known to be there, and would close the port), and asks
// each unit it finds for its model and tag through the link. The GUI stays live: every
// wait sleeps in an event loop. The link's port is closed while the scan runs;
// afterwards the link has its settings back and is open again if it was.
class UnitScanner : public QObject {
    Q_OBJECT
public:
    static constexpr int LikelyUnitIds[] = {247, 1};
    // The probe reads the tag: 10 registers from 578.
    static constexpr int ProbeRegister = 578;
    static constexpr int ProbeRegisters = 10;

    explicit UnitScanner(ModbusLink &link, QObject *parent = nullptr);
    ~UnitScanner() override;

    // The common rates first, then the slow ones.
    static QList<int> standardBauds();

    struct Probe {
        int framing;
        int baud;
        int unitId;
        bool operator==(const Probe &) const = default;
    };
    // The probes of a plan in the order they are tried.
    static QList<Probe> probeOrder(const ScanPlan &plan);

    // Runs the whole plan (or until stop()); returns the units found in the order found.
    QList<FoundUnit> run(const ScanPlan &plan);
    // Ends the scan after the current probe; safe to call from a signal handler's
    // event, a key press or a progress slot.
    void stop();
    bool wasStopped() const { return m_stopRequested; }
    // Baud rates the port refused during the last run, each with the port's reason.
    QStringList refusedBauds() const { return m_refused; }
    // Set when the port could not be used at all (it does not open, or went away).
    QString portError() const { return m_portError; }

signals:
    // Before each probe: probes done so far, all probes, and what is tried now. A
    // last report with an empty text says how far the scan got.
    void progress(int done, int total, const QString &trying);
    void unitFound(const FoundUnit &unit);

private:
    enum class Answer { None, Unit };
    bool useLine(int baud, const QString &shape, bool *refused);
    Answer probe(int framing, int unitId, int baud, int marginMs, FoundUnit *unit);
    QByteArray exchange(const QByteArray &request, int framing, int firstWaitMs, int gapMs);
    void identify(FoundUnit *unit);
    void restoreLink();

    ModbusLink &m_link;
    CommSettings m_saved;
    bool m_linkWasOpen = false;
    QEventLoop *m_wait = nullptr;
    bool m_stopRequested = false;
    bool m_portOpen = false;
    int m_baud = 0;
    QStringList m_refused;
    QString m_portError;
};
