#include "SimDevice.h"

#include "Clock.h"
#include "SimFileTable.h"
#include "SimProcedure.h"
#include "SimRegisters.h"

#include <algorithm>

namespace sim {

namespace {

uint16_t be16(const QByteArray &b, int at)
{
    return uint16_t((uint8_t(b[at]) << 8) | uint8_t(b[at + 1]));
}

class FunctionCommand final : public SimCommand {
public:
    explicit FunctionCommand(std::function<void(SimDevice &)> f) : m_f(std::move(f)) {}
    void run(SimDevice &device) override { m_f(device); }

private:
    std::function<void(SimDevice &)> m_f;
};

template <typename T, size_t N>
int indexOf(const T (&list)[N], T value)
{
    const auto it = std::find(std::begin(list), std::end(list), value);
    return it == std::end(list) ? -1 : int(it - std::begin(list));
}

} // namespace

SimDevice::SimDevice(const QByteArray &image, QObject *parent)
    : QObject(parent), m_defaults(image), m_files(std::make_unique<SimFileTable>())
{
    m_image.setBytes(image);
    m_rebootTimer = new ClockTimer(this);
    m_rebootTimer->setSingleShot(true);
    connect(m_rebootTimer, &ClockTimer::timeout, this, [this] {
        m_silent = false;
        m_coils.reset();
    });
    registerStandardCommands();
    loadCommFromRegisters();
}

SimDevice::~SimDevice() = default;

QByteArray SimDevice::exceptionPdu(uint8_t function, uint8_t code)
{
    QByteArray pdu;
    pdu.append(char(function | 0x80));
    pdu.append(char(code));
    return pdu;
}

QByteArray SimDevice::handle(const QByteArray &pdu)
{
    if (pdu.isEmpty())
        return exceptionPdu(0, IllegalFunction);
    switch (uint8_t(pdu[0])) {
    case 1:
        return readCoils(pdu);
    case 3:
        return readRegisters(pdu);
    case 5:
        return writeCoil(pdu);
    case 16:
        return writeRegisters(pdu);
    default:
        return exceptionPdu(uint8_t(pdu[0]), IllegalFunction);
    }
}

QByteArray SimDevice::readRegisters(const QByteArray &pdu)
{
    if (pdu.size() != 5)
        return exceptionPdu(3, IllegalValue);
    const int first = be16(pdu, 1);
    const int count = be16(pdu, 3);
    if (count < 1 || count > 125)
        return exceptionPdu(3, IllegalValue);
    if (first + count > RegisterImage::RegisterCount)
        return exceptionPdu(3, IllegalAddress);
    QByteArray reply;
    reply.append(char(3));
    reply.append(char(2 * count));
    reply.append(m_image.read(first, 2 * count));
    return reply;
}

QByteArray SimDevice::writeRegisters(const QByteArray &pdu)
{
    if (pdu.size() < 6)
        return exceptionPdu(16, IllegalValue);
    const int first = be16(pdu, 1);
    const int count = be16(pdu, 3);
    const int byteCount = uint8_t(pdu[5]);
    if (count < 1 || count > 123 || byteCount != 2 * count || pdu.size() != 6 + byteCount)
        return exceptionPdu(16, IllegalValue);
    if (first + count > RegisterImage::RegisterCount)
        return exceptionPdu(16, IllegalAddress);
    m_image.store(first, pdu.mid(6));
    const auto covers = [&](int r) { return first <= r && r < first + count; };
    // A new address or framing is taken as soon as it is written, once the reply
    // has gone out in the old one: the master switches right after the write.
    if (covers(reg::ModbusAddr) || covers(reg::ModbusMode)) {
        afterReply([this, addr = covers(reg::ModbusAddr), mode = covers(reg::ModbusMode)] {
            CommConfig c = m_comm;
            const int unit = m_image.u8At(2 * reg::ModbusAddr);
            const int framing = m_image.u8At(2 * reg::ModbusMode);
            if (addr && unit <= 247)
                c.unitId = unit;
            if (mode && framing <= 1)
                c.framing = framing;
            if (!(c == m_comm)) {
                m_comm = c;
                emit commChanged(m_comm);
            }
        });
    }
    emit registersWritten(first, count);
    return pdu.left(5);
}

QByteArray SimDevice::readCoils(const QByteArray &pdu)
{
    if (pdu.size() != 5)
        return exceptionPdu(1, IllegalValue);
    const int first = be16(pdu, 1);
    const int count = be16(pdu, 3);
    if (count < 1 || count > 2000)
        return exceptionPdu(1, IllegalValue);
    if (first + count > CoilCount)
        return exceptionPdu(1, IllegalAddress);
    QByteArray reply;
    reply.append(char(1));
    const int bytes = (count + 7) / 8;
    reply.append(char(bytes));
    QByteArray packed(bytes, '\0');
    for (int i = 0; i < count; ++i) {
        if (coil(first + i))
            packed[i / 8] = char(uint8_t(packed[i / 8]) | (1u << (i % 8)));
    }
    reply.append(packed);
    return reply;
}

QByteArray SimDevice::writeCoil(const QByteArray &pdu)
{
    if (pdu.size() != 5)
        return exceptionPdu(5, IllegalValue);
    const int n = be16(pdu, 1);
    const uint16_t value = be16(pdu, 3);
    if (value != 0xFF00 && value != 0x0000)
        return exceptionPdu(5, IllegalValue);
    if (n >= CoilCount)
        return exceptionPdu(5, IllegalAddress);
    forceCoil(n, value == 0xFF00);
    return pdu;
}

void SimDevice::setCoil(int n, bool on)
{
    if (n >= 0 && n < CoilCount)
        m_coils[size_t(n)] = on;
}

bool SimDevice::signalsCompletion(int coil)
{
    switch (coil) {
    case 40: case 41: case 79: case 80: case BusyCoil: case AbortCoil: case ReadyCoil: case 86: case 87:
        return false;
    default:
        return true;
    }
}

void SimDevice::forceCoil(int n, bool on)
{
    setCoil(n, on);
    emit coilForced(n, on);
    if (!on) {
        cancelProcedures(n);
        return;
    }
    if (n == AbortCoil)
        cancelProcedures(-1);
    const bool handshake = signalsCompletion(n);
    if (handshake) {
        setCoil(ReadyCoil, false);
        setCoil(BusyCoil, false);
        if (n == m_stuckBusyCoil) {
            setCoil(BusyCoil, true);
            return;
        }
    }
    if (auto it = m_commands.find(n); it != m_commands.end()) {
        m_forcingCoil = n;
        it->second->run(*this);
        m_forcingCoil = -1;
    }
    if (handshake)
        setCoil(ReadyCoil, true);
}

void SimDevice::addCommand(int coil, std::unique_ptr<SimCommand> command)
{
    m_commands[coil] = std::move(command);
}

void SimDevice::addCommand(int coil, std::function<void(SimDevice &)> action)
{
    addCommand(coil, std::make_unique<FunctionCommand>(std::move(action)));
}

void SimDevice::cancelProcedures(int coil)
{
    for (auto &[c, command] : m_commands)
        if (coil < 0 || c == coil)
            if (auto *p = dynamic_cast<SimProcedure *>(command.get()))
                p->cancel(*this);
}

void SimDevice::abortProcedures()
{
    bool any = false;
    for (auto &[c, command] : m_commands)
        if (auto *p = dynamic_cast<SimProcedure *>(command.get()); p && p->running()) {
            p->cancel(*this);
            any = true;
        }
    if (any)
        setCoil(BusyCoil, true);
}

void SimDevice::runAfterReply()
{
    auto actions = std::move(m_afterReply);
    m_afterReply.clear();
    for (auto &a : actions)
        a();
}

void SimDevice::reboot(int ms)
{
    m_silent = true;
    m_rebootTimer->start(ms);
}

void SimDevice::storeComm(const CommConfig &c)
{
    using namespace serial_lists;
    m_image.setU8At(2 * reg::ModbusAddr, uint8_t(c.unitId));
    m_image.setU8At(2 * reg::ModbusMode, uint8_t(c.framing));
    const int sci = 2 * reg::Sci;
    if (int i = indexOf(Bauds, c.line.baud); i >= 0)
        m_image.setU8At(sci + 0, uint8_t(i));
    if (int i = indexOf(Parities, c.line.parity); i >= 0)
        m_image.setU8At(sci + 1, uint8_t(i));
    if (int i = indexOf(DataBits, c.line.dataBits); i >= 0)
        m_image.setU8At(sci + 2, uint8_t(i));
    if (int i = indexOf(StopBits, c.line.stopBits); i >= 0)
        m_image.setU8At(sci + 7, uint8_t(i));
}

void SimDevice::setComm(const CommConfig &c)
{
    storeComm(c);
    if (!(c == m_comm)) {
        m_comm = c;
        emit commChanged(m_comm);
    }
}

void SimDevice::loadCommFromRegisters()
{
    using namespace serial_lists;
    CommConfig c = m_comm;
    const int unit = m_image.u8At(2 * reg::ModbusAddr);
    const int framing = m_image.u8At(2 * reg::ModbusMode);
    if (unit <= 247)
        c.unitId = unit;
    if (framing <= 1)
        c.framing = framing;
    // A list position outside its list keeps the current parameter.
    const int sci = 2 * reg::Sci;
    const auto pick = [&](int offset, const auto &list, auto &field) {
        const size_t i = m_image.u8At(sci + offset);
        if (i < std::size(list))
            field = list[i];
    };
    pick(0, Bauds, c.line.baud);
    pick(1, Parities, c.line.parity);
    pick(2, DataBits, c.line.dataBits);
    pick(7, StopBits, c.line.stopBits);
    if (!(c == m_comm)) {
        m_comm = c;
        emit commChanged(m_comm);
    }
}

} // namespace sim
