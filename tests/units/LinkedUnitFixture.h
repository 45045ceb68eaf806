#pragma once

#include "LinkFixture.h"
#include "UserUnitRecords.h"

// The link's fixture (a scripted port answered by the link's small Modbus slave, so
// unit reads and writes travel as real requests) with access to the special-unit
// records the slave holds and to the requests it received.
class LinkedUnitTest : public LinkTest {
protected:
    void putRecord(int reg, const SpecialUnitRecord &r) { unit.registers.replace(2 * reg, r.ByteCount, r.toBytes()); }
    SpecialUnitRecord unitRecord(int reg) const
    {
        return SpecialUnitRecord::fromBytes(unit.registers.mid(2 * reg, SpecialUnitRecord::ByteCount));
    }
    // Start register and register count of each read request the slave received.
    QList<QPair<int, int>> reads() const { return requestsOf(3); }
    int writeCount() const { return int(requestsOf(16).size()); }

private:
    QList<QPair<int, int>> requestsOf(int function) const
    {
        QList<QPair<int, int>> out;
        for (const QByteArray &r : unit.requests) {
            if (r.size() >= 6 && r[1] == function)
                out.append({uint8_t(r[2]) << 8 | uint8_t(r[3]), uint8_t(r[4]) << 8 | uint8_t(r[5])});
        }
        return out;
    }
};

inline SpecialUnitRecord specialRecord(double flowFactor, const char *flowText, double totalFactor,
                                       const char *totalText, int baseRate)
{
    SpecialUnitRecord r;
    r.flowFactor = flowFactor;
    r.flowText = flowText;
    r.totalFactor = totalFactor;
    r.totalText = totalText;
    r.baseRate = uint8_t(baseRate);
    return r;
}
