#include "CalibrationRecord.h"

#include "CalibrationCertificate.h"
#include "ModbusLink.h"
#include "OperationRecord.h"
#include "Session.h"

CalibrationRecord::CalibrationRecord(ModbusLink &link) : m_link(link) {}

CalibrationRecord::~CalibrationRecord() = default;

HistoryStore *CalibrationRecord::store() const
{
    return m_link.session() ? m_link.session()->history() : nullptr;
}

void CalibrationRecord::begin(const QString &operation, const QString &method, const QList<Constants> &constants)
{
    if (open())
        return;
    auto record = std::make_unique<OperationRecord>(m_link, method.isEmpty() ? operation : operation + QStringLiteral(": ") + method);
    // A history the user chose not to go on without keeps the record: it holds back
    // the calibration's writes.
    if (!record->active() && !record->stopped())
        return;
    // Step, abort and drive coils are commands; their effect shows in the constants.
    record->leaveCoilsOut();
    m_operation = std::move(record);
    m_method = method.isEmpty() ? QString() : operation + QStringLiteral(", ") + method;
    m_constants = method.isEmpty() ? QList<Constants>() : constants;
    m_outcome.reset();
    m_wrote = false;
    for (const Constants &c : std::as_const(m_constants))
        m_operation->watchRange(c.firstRegister, c.bytes);
}

void CalibrationRecord::noteWrite(int firstRegister, const QByteArray &bytes)
{
    if (open())
        m_operation->noteRange(firstRegister, bytes);
}

void CalibrationRecord::noteReading(const QString &caption, const QString &value)
{
    for (auto &[c, v] : m_readings) {
        if (c == caption) {
            v = value;
            return;
        }
    }
    m_readings.append({caption, value});
}

void CalibrationRecord::forgetReadings()
{
    if (!open())
        m_readings.clear();
}

void CalibrationRecord::failed(const QString &message)
{
    decide(m_wrote ? HistoryOutcome::FailedPartWay : HistoryOutcome::Refused, message);
}

void CalibrationRecord::aborted(const QString &message)
{
    if (!m_method.isEmpty())
        decide(HistoryOutcome::Aborted, message);
}

void CalibrationRecord::decide(HistoryOutcome outcome, const QString &message)
{
    if (open() && !m_outcome)
        m_outcome = std::pair{outcome, QString(message).replace(QLatin1Char('\r'), QLatin1Char(' '))};
}

qint64 CalibrationRecord::finish(HistoryOutcome orElse, const QString &orElseMessage, const QString &doneMessage)
{
    if (!open())
        return -1;
    auto [outcome, message] = m_outcome.value_or(std::pair{orElse, orElseMessage});
    if (outcome == HistoryOutcome::Done && message.isEmpty() && !m_method.isEmpty())
        message = doneMessage;
    m_operation->finish(outcome, message);
    CertificateContent certificate{.method = m_method, .readings = m_readings, .constants = {}};
    for (const Constants &c : std::as_const(m_constants))
        certificate.constants << m_operation->fieldsOf(c.firstRegister);
    const qint64 id = m_operation->id();
    const bool kept = !m_method.isEmpty() && store() && store()->setCertificate(id, certificate.toJson());
    m_operation.reset();
    m_outcome.reset();
    m_readings.clear();
    m_wrote = false;
    return kept ? id : -1;
}
