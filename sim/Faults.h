#pragma once

#include <QString>
#include <QStringList>

namespace sim {

// Faults the simulated transmitter can be told to show, switchable while it runs.
struct Faults {
    // Hears nothing: no request is answered.
    bool noReply = false;
    // Answers register requests that touch [exceptionFirst, exceptionLast] with
    // this exception code (0 = off).
    int exceptionCode = 0;
    int exceptionFirst = 0;
    int exceptionLast = 0;
    // Every reply carries a wrong checksum.
    bool corruptChecksum = false;
    // Replies leave in this many pieces with a pause between them.
    int segments = 1;
    int segmentGapMs = 0;
    // Sends process data continuously instead of answering.
    bool streaming = false;
    // This command coil never completes: forcing it leaves "Busy" set (-1 = off).
    int stuckBusyCoil = -1;
    // The file system holds this many generated files (-1 = keep the files).
    int files = -1;
    // Every file delete is refused.
    bool refuseDelete = false;
    // The line drops after this many bytes of a firmware download (-1 = off).
    qint64 dropDownloadAfter = -1;
    // The technician has put the transmitter into download mode from its panel.
    bool osDownload = false;

    bool exceptionFor(int first, int count) const
    {
        return exceptionCode != 0 && first <= exceptionLast && first + count - 1 >= exceptionFirst;
    }

    // Parses "CODE:FIRST-LAST" (e.g. "2:600-620" or "4:700").
    bool setException(const QString &text);
    // Parses "N:GAPMS" (e.g. "3:40").
    bool setSplit(const QString &text);
};

} // namespace sim
