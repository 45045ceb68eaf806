#pragma once

#include <QByteArray>

// Collects the characters of one reply from any number of receive events.
//
// ASCII: a message starts at ":" and ends at the first CR LF after it; characters
// before the colon are dropped, a new colon starts the message again, and a CR LF
// with no colon before it is reported. RTU: a message is complete once the length
// its function code implies has arrived (5 for an exception, 8 for functions 5, 6,
// 15 and 16, 5 + byte count for functions 1 to 4); for other function codes what has
// arrived is taken as it is. Nothing is stored beyond the complete message.
class ReplyAssembler {
public:
    enum Result { Incomplete, Complete, CrLfWithoutStart };

    void reset(int framing);
    // Adds one event's characters. After Complete, message() holds the reply and
    // further characters are ignored until the next reset.
    Result feed(const QByteArray &chunk);
    bool complete() const { return m_complete; }
    QByteArray message() const { return m_message; }

private:
    Result feedAscii(const QByteArray &chunk);
    Result feedRtu(const QByteArray &chunk);
    // Total RTU reply length, or 0 while too little has arrived to tell, or -1 when the
    // function code gives no length.
    int expectedRtuLength() const;

    int m_framing = 0;
    QByteArray m_message;
    bool m_collecting = false;
    bool m_complete = false;
    char m_previousDropped = 0; // for a CR LF split across events before any colon
};
