#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

// What one notification mail is made of.
struct MessageInput {
    QString headerSender;    // written after "From: "
    QString recipient;       // after "To: "
    QString subject;         // after "Subject: "
    QString body;            // the queue entry's message, as stored (begins with a blank)
    QString localHostName;   // possibly empty
    QString dateHeaderText;  // built once at the start of the session with DateHeaderText()
    QDateTime messageIdTime; // the clock when the Message-Id line is built
};

// The parts of the message, one socket send each, in the order they go out.
enum class MessagePart {
    ReturnPath,
    Date,
    MessageId,
    LocalSender,
    Mailer,
    Organization,
    MimeVersion,
    From,
    To,
    Subject,
    ContentType,
    Boundary, // the continuation of Content-Type, then the empty line that ends the header
    Preamble,
    PreambleAgain,
    Delimiter,
    PartHeader, // the text part's header and the empty line after it
    Body,
    ClosingDelimiter,
};

// One socket send of the message.
struct MessageSend {
    MessagePart part;
    QByteArray bytes; // exactly what goes on the wire
};

// The text of a notification mail as the SMTP session puts it on the wire after "354":
// the header block, a multipart/mixed body with one text/plain part, and the end of data.
class MessageText {
public:
    // The sends of the message, one a part, in the order they go out.
    static std::vector<MessageSend> Sends(const MessageInput &in);
    // The end of data: CR LF "." CR LF.
    static QByteArray EndOfData();
    // RFC 5322 date with English names and the numeric offset of `now`, e.g.
    // "Sun, 06 Dec 2026 14:05:09 +0100". An invalid `now` gives an empty text.
    static QString DateHeaderText(const QDateTime &now);
    // A unique id "<160-A.20261206140509.4711.3@host>" (time, process id, per-run counter,
    // host name).
    static QString MessageId(const QDateTime &now, const QString &localHostName);
    // A header field or command argument with CR, LF and NUL removed so nothing can be injected
    // (each run of CR/LF becomes one blank; NUL is dropped).
    static QString HeaderSafe(const QString &text);

    // The header line `prefix` followed by `value` (made header-safe, as UTF-8), without its
    // CR LF, held within 998 octets a line: too long, it is folded before a run of blanks
    // (CR LF, then the blanks); a run of non-blanks that fits no line is cut at a character
    // boundary, and blanks that fit nowhere are dropped, but tokens are never joined.
    static QByteArray HeaderLine(const QByteArray &prefix, const QString &value);

    // The From or To line, `prefix` followed by `value`, without its CR LF. Plain ASCII goes
    // as HeaderLine gives it. Otherwise a name or comment holding other characters goes as
    // RFC 2047 encoded words (=?UTF-8?B?...?=; a quoted name without its quotes), folded at
    // blanks to keep lines within 76 octets (only a token too long for that stands alone on a
    // longer line, never past 998); the address, in angle brackets or bare, goes as typed but
    // for a domain other than ASCII, which goes in its IDNA ASCII form when it has one.
    static QByteArray AddressLine(const QByteArray &prefix, const QString &value);

    // True when the body can go out as it stands under charset=US-ASCII: printable ASCII,
    // tabs and line breaks only, no line longer than the SMTP limit once dot-stuffed, and no
    // line that begins like the part's delimiter.
    static bool BodyIsPlain(const QString &body);
    // The body as quoted-printable (RFC 2045) of its UTF-8 form: CR LF line breaks, soft line
    // breaks keeping every line at 76 characters or less, and no line beginning with "." or
    // "-" (those are escaped there). No dot-stuffing.
    static QByteArray QuotedPrintable(const QString &body);
    // The subject as it stands after "Subject: ": unchanged when it is plain ASCII and fits,
    // otherwise RFC 2047 encoded words (=?UTF-8?B?...?=) folded onto continuation lines, every
    // line of the field within 76 characters.
    static QByteArray SubjectField(const QString &subject);
};
