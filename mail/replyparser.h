#pragma once

#include <QByteArray>
#include <QString>

// Frames the bytes a server sends into SMTP replies (RFC 5321, 4.2): one or more lines, each
// a three-digit code and a hyphen for a line that is continued or a blank (or nothing) for the
// last one, each ending in CR LF. Bytes are appended as they arrive; one complete reply is
// taken at a time and whatever follows it stays for the next take. A reply is judged by its
// code however long it is; only its first MaxReplySize bytes are kept as its text.
class ReplyParser {
public:
    // The most of one reply's text that is kept, and the most the buffer holds.
    static constexpr qsizetype MaxReplySize = 64 * 1024;

    enum class Status {
        Incomplete, // no complete reply yet; append more
        Complete,   // code and text hold one reply, removed from the buffer
        NotSmtp,    // the buffer does not start with an SMTP reply; reason says why
        TooLong,    // replies nobody asked for filled the buffer and bytes were lost
    };

    struct Reply {
        Status status = Status::Incomplete;
        int code = 0;    // 100..599 for a complete reply
        QByteArray text; // the reply as received, line ends included, cut at MaxReplySize
        QString reason;  // why the bytes are refused (NotSmtp, TooLong)
    };

    // Adds received bytes. The finished lines of a long reply leave the buffer as they come
    // (their text kept up to MaxReplySize), and a line longer than the buffer loses its end.
    // Complete replies that are not taken and fill the buffer past MaxReplySize are a stream
    // gone wrong: what does not fit is dropped, and so is everything appended after that until
    // Clear(); the replies complete before the gap can still be taken, then TooLong.
    void Append(const QByteArray &bytes);
    // Takes the first complete reply off the buffer, or says why there is none.
    Reply Take();
    // Forgets everything received, an overflow included.
    void Clear();

    const QByteArray &Buffer() const { return m_buffer; }
    bool IsEmpty() const { return m_buffer.isEmpty(); }

private:
    // Moves the finished lines of the reply at the front of the buffer into m_kept.
    void Fold();

    QByteArray m_buffer;
    QByteArray m_kept;       // the text of the reply in progress, folded out of the buffer
    int m_keptCode = 0;      // its code, 0 when nothing was folded
    bool m_skipLine = false; // the rest of an over-long line is being dropped
    bool m_overflow = false;
};
