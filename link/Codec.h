#pragma once

#include <QByteArray>

#include <cstdint>

// Modbus frames as the link builds, sends and decodes them. Everything here is pure
// computation over byte arrays; the transaction layer (ModbusLink) drives it.

// Modbus ASCII checksum: two's complement of the byte sum. No bytes give 0.
uint8_t Calc_LRC(const uint8_t *bytes, uint16_t length);
// Modbus RTU CRC-16 (initial 0xFFFF, reflected polynomial 0xA001), table-driven.
// No bytes give 0xFFFF.
uint16_t Calc_CRC(const uint8_t *bytes, uint16_t length);
// The same CRC computed bit by bit; the test console shows it for a selection.
uint16_t Calc_CRC_Bitwise(const uint8_t *bytes, uint16_t length);

inline uint8_t Calc_LRC(const QByteArray &b)
{
    return Calc_LRC(reinterpret_cast<const uint8_t *>(b.constData()), uint16_t(b.size()));
}
inline uint16_t Calc_CRC(const QByteArray &b)
{
    return Calc_CRC(reinterpret_cast<const uint8_t *>(b.constData()), uint16_t(b.size()));
}

namespace ModbusFrame {

// Tcp: Modbus TCP, the frame behind an MBAP header (transaction ID, protocol 0,
// length, unit ID) with no checksum.
enum Framing { Ascii = 0, Rtu = 1, Tcp = 2 };
// Size of the MBAP header in front of the unit ID: transaction, protocol, length.
constexpr int MbapPrefix = 6;

enum Function : uint8_t {
    ReadCoilStatus = 1,
    ReadHoldingRegisters = 3,
    ForceSingleCoil = 5,
    PresetMultipleRegisters = 16,
};

// Size of the message and frame buffers: no request or reply may be longer.
constexpr int BufferSize = 512;
// A reply longer than this means the transmitter is not answering but streaming.
constexpr int MaxReplyChars = BufferSize - 1;
constexpr uint16_t CoilOn = 0xFF00;
constexpr uint16_t CoilOff = 0x0000;

// Request frames without checksum. Counts and addresses are taken modulo 65536,
// the byte count of function 16 modulo 256 (two bytes per register), as on the wire;
// callers check their ranges first.
QByteArray readCoilStatus(int unitId, int firstCoil, int coilCount);
QByteArray readHoldingRegisters(int unitId, int firstRegister, int registerCount);
QByteArray forceSingleCoil(int unitId, int coil, uint16_t value);
QByteArray presetMultipleRegisters(int unitId, int firstRegister, const uint8_t *data, int byteCount);

// The Modbus TCP request: the MBAP header with this transaction ID, then the frame.
QByteArray mbap(uint16_t transaction, const QByteArray &frame);
// Appends the checksum of the framing: the LRC byte, or the CRC low byte then high byte.
QByteArray withChecksum(const QByteArray &frame, int framing);
// The characters sent: ":" + upper-case hex pairs + CR LF in ASCII, the bytes as they are in RTU.
QByteArray encode(const QByteArray &frameWithChecksum, int framing);

// Longest data part (in bytes) of a read or write whose request and reply both fit
// the buffers in the given framing.
int maxReadBytes(int framing);
int maxWriteBytes(int framing);

// Printable form of a frame for trace lines: hex pairs separated by spaces.
QString hexText(const QByteArray &bytes);

} // namespace ModbusFrame

// The outcome of decoding one reassembled reply.
struct ParsedReply {
    // Exception code: 0 none, the transmitter's code, or 12 for a reply that is
    // malformed, too short or fails its checksum.
    int exception = 0;
    // False when nothing was decoded (communication override).
    bool decoded = false;
    // The exception is 12 because the reply failed its checksum or was malformed.
    bool corrupt = false;
    // The reply's data bytes (after address, function code and byte count; without
    // the checksum). Empty for exception and failed replies.
    QByteArray data;
};

// What the reply to one request must look like: the request's function code (or its
// exception form) and, for reads, the byte count asked for; for a coil or a write,
// the echoed address and value or count. The unit ID is not compared. A reply of
// another shape is stray input (a late answer to an earlier request, noise).
struct ReplyShape {
    uint8_t function = 0; // 0: any well-formed reply of functions 1, 3, 5, 16 or an exception
    int byteCount = -1;   // functions 1 and 3
    QByteArray echo;      // functions 5 and 16: the four bytes after the function code
    int transaction = -1; // Modbus TCP: the request's transaction ID

    // The shape of the reply to a request frame (without checksum).
    static ReplyShape of(const QByteArray &request);
    // Length of the frame (address to last data byte, checksum excluded) that begins
    // with these bytes if it is a reply of this shape: 0 while too few bytes have
    // arrived to tell, -1 when they cannot begin one.
    int frameLength(const QByteArray &bytes) const;

    enum Fit { Fits, WrongLength, Foreign };
    // Whether a reassembled message (ASCII text or RTU bytes) is a reply of this
    // shape. WrongLength: the header is right but the frame is cut or overlong, a
    // framing failure. The checksum is Parse_Reply's business.
    Fit fit(const QByteArray &message, int framing) const;
};

// Decodes a reply as the receive path reassembled it (at most 512 characters are
// looked at). A checksum failure adds a trace line. With commOverride set nothing is
// decoded and the exception code is 0.
ParsedReply Parse_Reply(const QByteArray &message, int receivedLength, int framing, bool commOverride);
