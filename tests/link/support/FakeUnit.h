#pragma once

#include "ScriptedSerialControl.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <map>

// A small Modbus slave for link tests: holding registers 0..3401 and coils, answering
// functions 1, 3, 5 and 16 in ASCII or RTU. It decodes requests on its own (hex text,
// fixed offsets), so a fault in the link's frame building shows as a wrong answer.
class FakeUnit {
public:
    explicit FakeUnit(int framing = 0, int unitId = 1);

    int framing;
    int unitId;
    QByteArray registers;       // 6,804 bytes, wire order
    std::map<int, bool> coils;  // missing = off
    // Called after a coil is forced (e.g. to raise "Ready" once a command coil is on).
    std::function<void(int coil, bool on)> onCoilForced;
    // Answer every request with this exception code (0 = answer normally).
    int exception = 0;
    bool silent = false;
    // Split each reply into chunks of this many characters (0 = one chunk).
    int chunkSize = 0;
    // The request frames received (checksum removed).
    QList<QByteArray> requests;

    QList<QByteArray> respond(const QByteArray &wire);
    ScriptedSerialControl::Responder responder()
    {
        return [this](const QByteArray &wire) { return respond(wire); };
    }

    // The characters of a reply frame (checksum appended, ASCII encoded when asked).
    static QByteArray wire(const QByteArray &frame, int framing);
    uint16_t reg(int r) const;
    void setReg(int r, uint16_t v);
    bool coil(int c) const;

private:
    QByteArray decodeRequest(const QByteArray &wire) const;
    QByteArray answer(const QByteArray &request);
};
