#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "ModbusLink.h"

class QEventLoop;

// What a scan tries. Every combination of framing, baud rate, character shape
// (parity, data bits, stop bits) and unit ID is one probe; the likely unit IDs (247,
// the factory address, then 1) are tried at every setting before the others. On a
// network port the gateway owns the serial line: only the framing and the unit ID vary.
struct ScanPlan {
    // Empty: ASCII and RTU; on a network port Modbus TCP, RTU and ASCII.
    QList<int> framings;
    bool network = false;        // run() takes it from the link's port
    QList<int> bauds;            // empty: UnitScanner::standardBauds()
    // Empty: N, E, O with 8 data bits, then (ASCII only) E and O with 7; one stop bit.
    QList<char> parities;
    QList<int> dataBits;
    QList<int> stopBits;
    QList<int> unitIds;          // empty: 1..247
    // How long a unit gets to start its reply once the request is on the wire, and
    // the longest gap inside a reply. On a network port the link's network allowance
    // is added: the gateway forwards the request at a line speed the PC does not know.
    int replyMarginMs = 60;
    bool stopAtFirst = false;
};

// The scan's narrowing words as the command line and the Find Unit window take them.
namespace ScanWords {
// "5", "1-10", "5,7,20-30" within 1..247.
bool parseUnitIds(const QString &text, QList<int> *ids);
// "9600,19200" as numbers within min..max.
bool parseNumberList(const QString &text, int min, int max, QList<int> *out);
} // namespace ScanWords

struct FoundUnit {
    int unitId = 0;
    int framing = 0;
    QString lineSettings;  // "9600,N,8,1": where it answered first; empty on a network port
    QStringList alsoAnsweredAt; // the same unit (ID, framing, tag) at other line settings
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
        QString shape = QStringLiteral("N,8,1"); // parity, data bits, stop bits
        bool operator==(const Probe &) const = default;
        // Empty on a network port (baud 0): the line is the gateway's.
        QString line() const { return baud > 0 ? QStringLiteral("%1,%2").arg(baud).arg(shape) : QString(); }
    };
    // The character shapes a plan tries in a framing, most likely first.
    static QStringList shapesFor(const ScanPlan &plan, int framing);
    static QList<int> framingsOf(const ScanPlan &plan);
    // The probes of a plan in the order they are tried: the likely unit IDs at every
    // setting, then the other IDs, first at the settings (framing, baud, shape of the
    // probes given) where something answered, then at the rest.
    static QList<Probe> probeOrder(const ScanPlan &plan, const QList<Probe> &answeredAt = {});

    // Runs the whole plan (or until stop()); returns the units found in the order found.
    QList<FoundUnit> run(const ScanPlan &plan);
    // Ends the scan after the current probe; safe to call from a signal handler's
    // event, a key press or a progress slot.
    void stop();
    bool wasStopped() const { return m_stopRequested; }
    // A unit answered at more than one baud rate: the port (a pseudo-terminal, some
    // converters) does not set the rate, so the unit's own rate is unknown.
    bool baudSeemsIgnored() const { return m_baudIgnored; }
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
    enum class Answer { None, Other, Unit };
    // Opens the port if need be and sets it for the probe; false when it cannot be used.
    bool usePort(const Probe &probe, bool *refused);
    bool useLine(int baud, const QString &shape, bool *refused);
    // Takes a unit found; false when it is one found before at another line.
    bool takeFound(const FoundUnit &unit, QList<FoundUnit> &found);
    Answer probe(const Probe &probe, const ScanPlan &plan, FoundUnit *unit);
    QByteArray exchange(const QByteArray &request, int framing, int firstWaitMs, int gapMs);
    // Sleeps in an event loop until then (stop() ends it early).
    void pauseUntilUs(qint64 atUs);
    void identify(FoundUnit *unit);
    void restoreLink();

    ModbusLink &m_link;
    CommSettings m_saved;
    bool m_linkWasOpen = false;
    QEventLoop *m_wait = nullptr;
    bool m_stopRequested = false;
    bool m_portOpen = false;
    QString m_line;
    int m_framingInUse = -1; // network ports: the framing the connection carries
    uint16_t m_transaction = 0;
    qint64 m_lastReceivedUs = 0;
    bool m_baudIgnored = false;
    QStringList m_refused;
    QString m_portError;
};
