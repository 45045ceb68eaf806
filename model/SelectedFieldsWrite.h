#pragma once

#include "ConfigurationComparison.h"

#include <QStringList>

class ModbusLink;
class RegisterImage;

// Writes chosen fields of a configuration to the transmitter and nothing else.
// Each block holding a chosen field is read again, only the chosen fields' bytes
// are replaced by the configuration's, and the whole block goes back: a field
// nobody chose keeps what the transmitter holds. A block that could not be read is
// not written; the first block that is not taken stops the write there. Once any
// field was written the transmitter is told to re-read its configuration, so that
// it works with what it now holds.
namespace SelectedFieldsWrite {

struct Result {
    QStringList written;     // the fields the transmitter took
    QStringList notWritten;  // the fields it did not get
    QString stoppedAt;       // the block the write stopped at, and why
    int reReadsFailed = 0;   // re-read commands the transmitter did not confirm
    bool ok() const { return notWritten.isEmpty() && reReadsFailed == 0; }
    // What reached the transmitter and what did not, for the user.
    QString report() const;
};

// differences: the chosen ones, in block order; their values come from source.
Result write(ModbusLink &link, const RegisterImage &source, const QList<ConfigurationComparison::Difference> &chosen);

}  // namespace SelectedFieldsWrite
