#pragma once

#include <QByteArray>
#include <QString>

// Frames the bytes a server sends into SMTP replies (RFC 5321, 4.2): one or more lines, each
// a three-digit code and a hyphen for a line that is continued or a blank (or nothing) for the
// last one, each ending in CR LF. Bytes are appended as they arrive; one complete reply is
// taken at a time and whatever follows it stays for the next take.
class ReplyParser {
public:
    // The longest reply the buffer keeps; a reply growing past it is refused.
    static constexpr qsizetype MaxReplySize = 64 * 1024;

    enum class Status {
        Incomplete, // no complete reply yet; append more
        Complete,   // code and text hold one reply, removed from the buffer
        NotSmtp,    // the buffer does not start with an SMTP reply; reason says why
        TooLong,    // the reply at the start of the buffer is longer than MaxReplySize
    };

    struct Reply {
        Status status = Status::Incomplete;
        int code = 0;    // 100..599 for a complete reply
        QByteArray text; // the whole reply as received, line ends included
        QString reason;  // why the bytes are refused (NotSmtp, TooLong)
    };

    // Adds received bytes. What would grow the buffer past MaxReplySize is dropped, and so is
    // everything appended after that until Clear(): the replies complete before the gap can
    // still be taken, after them every take reports TooLong.
    void Append(const QByteArray &bytes);
    // Takes the first complete reply off the buffer, or says why there is none.
    Reply Take();
    // Forgets everything received, an overflow included.
    void Clear();

    const QByteArray &Buffer() const { return m_buffer; }
    bool IsEmpty() const { return m_buffer.isEmpty(); }

private:
    QByteArray m_buffer;
    bool m_overflow = false;
};
