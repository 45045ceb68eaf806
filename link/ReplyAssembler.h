#pragma once

#include "Codec.h"

#include <QByteArray>

// Collects the characters of one reply from any number of receive events.
//
// ASCII: a message starts at ":" and ends at the first CR LF after it; characters
// before the colon are dropped, a new colon starts the message again, and a CR LF
// with no colon before it is reported. RTU has no delimiters: a message is a run of
// bytes whose header fits the expected reply shape, complete once the length that
// header implies has arrived; bytes that cannot begin such a reply are dropped one
// at a time until one can, so a reply behind stray bytes is still found. Modbus TCP:
// a message is an MBAP header (protocol 0, a plausible length) and the bytes its length
// names; whose transaction it answers is for the reply's shape to judge.
// Characters after a complete message are kept for next().
class ReplyAssembler {
public:
    enum Result { Incomplete, Complete, CrLfWithoutStart };

    void reset(int framing, const ReplyShape &shape = {});
    // Adds one event's characters. After Complete, message() holds the message and
    // further characters are kept behind it until next().
    Result feed(const QByteArray &chunk);
    // Drops the complete message (it was no reply of ours) and goes on with the
    // characters that followed it.
    Result next();
    bool complete() const { return m_complete; }
    QByteArray message() const { return m_message; }
    // Characters of the message being collected, not yet complete.
    int pendingSize() const { return m_complete ? 0 : int(m_message.size()); }
    // Characters dropped as part of no message since the last call.
    int takeDropped();

private:
    Result process();
    Result processAscii();
    Result processRtu();
    Result processTcp();

    int m_framing = 0;
    ReplyShape m_shape;
    QByteArray m_input; // received, not yet looked at
    QByteArray m_message;
    bool m_collecting = false;
    bool m_complete = false;
    int m_dropped = 0;
    char m_previousDropped = 0; // for a CR LF split across events before any colon
};
