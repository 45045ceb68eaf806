#pragma once

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <vector>

// The transmitter's side of the Modbus line framing: it cuts requests out of the
// received byte stream and wraps reply PDUs for sending. Written on its own, apart
// from the link's codec, so that a fault in one is not hidden by the same fault in
// the other.

namespace sim {

uint8_t lrc(const QByteArray &bytes);
uint16_t crc16(const QByteArray &bytes);

// One request as the transmitter sees it: the unit ID and the PDU (function code
// and data), checksum removed.
struct SlaveRequest {
    uint8_t unit = 0;
    QByteArray pdu;
    int transaction = -1; // Modbus TCP: the MBAP transaction ID to answer with
};

class SlaveFramer {
public:
    enum Kind { Ascii = 0, Rtu = 1, Tcp = 2 };
    static std::unique_ptr<SlaveFramer> create(int framing);

    virtual ~SlaveFramer() = default;
    virtual Kind kind() const = 0;
    // Takes bytes as they arrived and returns every request they complete.
    virtual std::vector<SlaveRequest> feed(const QByteArray &bytes) = 0;
    // The line has been silent for 3.5 character times: RTU ends the frame here.
    virtual std::vector<SlaveRequest> silence() { return {}; }
    // True while a started frame waits for more bytes.
    virtual bool pending() const = 0;
    virtual void reset() = 0;
    // A complete frame for the reply PDU, checksum included.
    virtual QByteArray frame(uint8_t unit, const QByteArray &pdu) const = 0;
    // The frame answering this request (Modbus TCP repeats its transaction ID).
    virtual QByteArray frameReply(const SlaveRequest &request, const QByteArray &pdu) const
    {
        return frame(request.unit, pdu);
    }
    // Spoils the checksum of a framed reply (fault injection).
    virtual void corruptChecksum(QByteArray &frame) const = 0;
};

// ':' address function data LRC in upper-case hexadecimal, CR LF.
class AsciiSlaveFramer final : public SlaveFramer {
public:
    // Longest frame kept while waiting for its end; anything longer is line noise.
    static constexpr int MaxFrameChars = 513;

    Kind kind() const override { return Ascii; }
    std::vector<SlaveRequest> feed(const QByteArray &bytes) override;
    bool pending() const override { return !m_buffer.isEmpty(); }
    void reset() override { m_buffer.clear(); }
    QByteArray frame(uint8_t unit, const QByteArray &pdu) const override;
    void corruptChecksum(QByteArray &frame) const override;

private:
    QByteArray m_buffer;
};

// Binary address function data CRC (low byte first). A frame ends after 3.5
// character times of silence; frames of the functions whose length is known from
// their header are complete as soon as that many bytes are in, so that a request
// written in one piece to a stream is answered without waiting for the silence.
class RtuSlaveFramer final : public SlaveFramer {
public:
    static constexpr int MaxFrameBytes = 256;

    Kind kind() const override { return Rtu; }
    std::vector<SlaveRequest> feed(const QByteArray &bytes) override;
    std::vector<SlaveRequest> silence() override;
    bool pending() const override { return !m_buffer.isEmpty(); }
    void reset() override { m_buffer.clear(); }
    QByteArray frame(uint8_t unit, const QByteArray &pdu) const override;
    void corruptChecksum(QByteArray &frame) const override;

    // Bytes a request of this header needs, or 0 when the header does not tell.
    static int expectedLength(const QByteArray &head);

private:
    bool takeFrame(int length, std::vector<SlaveRequest> &out);
    QByteArray m_buffer;
};

// Modbus TCP: transaction ID, protocol 0, length, unit ID, PDU. A header whose
// protocol is not 0 or whose length is impossible puts the stream out of step: what
// was received is dropped.
class TcpSlaveFramer final : public SlaveFramer {
public:
    Kind kind() const override { return Tcp; }
    std::vector<SlaveRequest> feed(const QByteArray &bytes) override;
    bool pending() const override { return !m_buffer.isEmpty(); }
    void reset() override { m_buffer.clear(); }
    QByteArray frame(uint8_t unit, const QByteArray &pdu) const override;
    QByteArray frameReply(const SlaveRequest &request, const QByteArray &pdu) const override;
    // There is no checksum: the reply names protocol 1, which no master takes.
    void corruptChecksum(QByteArray &frame) const override;

private:
    QByteArray m_buffer;
};

} // namespace sim
