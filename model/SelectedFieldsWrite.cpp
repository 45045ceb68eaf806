#include "SelectedFieldsWrite.h"

#include "Catalogue.h"
#include "ConfigBlock.h"
#include "ConfigurationTransfer.h"
#include "ModbusLink.h"
#include "OperationRecord.h"
#include "RegisterImage.h"

namespace SelectedFieldsWrite {

using ConfigurationComparison::Difference;

QString Result::report() const
{
    QStringList parts;
    if (!notWritten.isEmpty())
        parts << QStringLiteral("The write stopped at %1.\n\nWritten to the transmitter: %2.\nNot written (the "
                                "transmitter keeps its own value): %3.")
                     .arg(stoppedAt,
                          written.isEmpty() ? QStringLiteral("none") : written.join(QStringLiteral(", ")),
                          notWritten.join(QStringLiteral(", ")));
    if (reReadsFailed > 0)
        parts << QStringLiteral("The transmitter holds %1 but did not confirm %2 of its re-read commands: it may "
                                "work with the old values until it re-reads its configuration (a download or a "
                                "restart does).")
                     .arg(written.join(QStringLiteral(", ")))
                     .arg(reReadsFailed);
    return parts.join(QStringLiteral("\n\n"));
}

Result write(ModbusLink &link, const RegisterImage &source, const QList<Difference> &chosen)
{
    Result result;
    OperationRecord record(link, QStringLiteral("Compare Configuration: write selected fields"));
    record.leaveCoilsOut();
    for (qsizetype i = 0; i < chosen.size();) {
        const BlockDef *def = Catalogue::block(chosen[i].block);
        qsizetype end = i;
        while (end < chosen.size() && chosen[end].block == chosen[i].block)
            ++end;
        QStringList keys;
        for (qsizetype j = i; j < end; ++j)
            keys << chosen[j].key;
        ConfigBlock block(def->startRegister, def->bytes);
        ConfigBlock::WriteResult written = ConfigBlock::WriteResult::NotRead;
        if (block.read(link)) {
            for (qsizetype j = i; j < end; ++j) {
                const Difference &d = chosen[j];
                block.working().replace(d.byteOffset - def->byteOffset(), d.byteCount,
                                        source.bytes().mid(d.byteOffset, d.byteCount));
            }
            written = block.writeWorking(link);
        }
        if (written != ConfigBlock::WriteResult::Written) {
            result.stoppedAt = QStringLiteral("block %1: the transmitter %2")
                                   .arg(def->qName(), written == ConfigBlock::WriteResult::NotRead
                                                          ? QStringLiteral("could not be read, so it was not written")
                                                          : QStringLiteral("did not take it"));
            for (qsizetype j = i; j < chosen.size(); ++j)
                result.notWritten << chosen[j].key;
            break;
        }
        result.written += keys;
        i = end;
    }
    if (!result.written.isEmpty())
        result.reReadsFailed = ConfigurationTransfer(link, *link.session()).reReadConfiguration();
    record.finish(result.stoppedAt.isEmpty() ? HistoryOutcome::Done
                  : result.written.isEmpty() ? HistoryOutcome::Refused
                                             : HistoryOutcome::FailedPartWay,
                  result.stoppedAt);
    return result;
}

}  // namespace SelectedFieldsWrite
