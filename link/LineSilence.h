#pragma once

#include "SerialSettingsText.h"

#include <QtGlobal>

// When the next request may start on the line. Modbus RTU marks the end of a frame
// by 3.5 character times of silence (a fixed 1.75 ms above 19200 baud), so a frame
// that follows the last byte sooner merges with it and a strict unit drops it. After
// a broadcast, which nobody answers, the units get a turnaround delay to carry it out.
// Slow adapters (RS-485 direction control) may need extra silence in either framing.
class LineSilence {
public:
    static constexpr qint64 FastLineGapUs = 1750;
    static constexpr int FastLineBaud = 19200;
    static constexpr int DefaultTurnaroundMs = 100;

    // The silent interval between RTU frames on this line.
    static qint64 interFrameGapUs(const LineSettings &line);
    // Time the characters take on the wire.
    static qint64 wireTimeUs(const LineSettings &line, qint64 characters);

    void configure(const LineSettings &line, bool rtu, int extraMs, int turnaroundMs);
    // Bytes arrived at atUs. They also end any frame of ours still thought on the
    // wire: a reply comes only after its request.
    void received(qint64 atUs);
    // A frame of that many characters was handed to the port at atUs.
    void sent(qint64 atUs, qint64 characters, bool broadcast);
    // The earliest time the next frame may start.
    qint64 readyAtUs() const;

private:
    LineSettings m_line;
    bool m_rtu = false;
    qint64 m_extraUs = 0;
    qint64 m_turnaroundUs = DefaultTurnaroundMs * 1000;
    qint64 m_lastTrafficUs = -1;
    qint64 m_broadcastEndUs = -1;
};
