#include "messagetext.h"

#include <QByteArrayList>
#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

#include <atomic>

namespace {

// The lines of the message as they go out, each written once.
constexpr char ReturnPathPrefix[] = "Return-Path: Tallowick32@";
constexpr char DatePrefix[] = "Date: ";
constexpr char MessageIdPrefix[] = "Message-Id: ";
constexpr char MessageIdTag[] = "160-A";
constexpr char LocalSenderPrefix[] = "X-LocalSender: Tallowick@";
constexpr char MailerLine[] = "X-Mailer: Orvane Version 160-A (A)";
constexpr char OrganizationLine[] = "Organization: Orvane Quillmere.";
constexpr char MimeVersionLine[] = "MIME-Version: 1.0";
constexpr char FromPrefix[] = "From: ";
constexpr char ToPrefix[] = "To: ";
constexpr char SubjectPrefix[] = "Subject: ";
constexpr char ContentTypeLine[] = "Content-Type: multipart/mixed;";
constexpr char BoundaryLine[] = "              boundary=Unique-Boundary";
constexpr char PreambleLine[] = " [ Random garbage here ]";
constexpr char Delimiter[] = "--Unique-Boundary";
constexpr char ClosingDelimiter[] = "--Unique-Boundary--";
constexpr char PlainPartType[] = "Content-type: text/plain; charset=US-ASCII";
constexpr char Utf8PartType[] = "Content-type: text/plain; charset=UTF-8";
constexpr char QuotedPrintableEncoding[] = "Content-Transfer-Encoding: quoted-printable";
constexpr char Crlf[] = "\r\n";
constexpr char EndOfDataText[] = "\r\n.\r\n";
constexpr char FallbackHost[] = "localhost";
constexpr char NoTimeStamp[] = "00000000000000";

// RFC 5322/5321: a line holds at most 998 octets before its CR LF.
constexpr int MaxLineOctets = 998;
// RFC 2045: an encoded line holds at most 76 characters; one is kept for the soft break "=".
constexpr int MaxQuotedPrintableText = 75;
// RFC 2047: an encoded word is at most 75 characters. 42 octets give 56 base64 characters, a
// word of 68, so even the first word stays within 78 characters after "Subject: ".
constexpr int MaxEncodedWordOctets = 42;
constexpr char EncodedWordStart[] = "=?UTF-8?B?";
constexpr char EncodedWordEnd[] = "?=";
constexpr char FoldingBreak[] = "\r\n ";

constexpr const char *DayNames[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr const char *MonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Counts the ids made in this run, so that ids made within one second still differ.
std::atomic<quint64> messageIdCounter{0};

QByteArray Line(const QByteArray &text) {
    return text + Crlf;
}

// The body's lines; CR LF, a lone LF and a lone CR all end a line.
QStringList SplitLines(const QString &text) {
    QStringList lines;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(current);
            current.clear();
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else {
            current.append(c);
        }
    }
    lines.append(current);
    return lines;
}

// SMTP transparency: a line that begins with "." gets one more in front.
QByteArray DotStuffed(const QByteArray &line) {
    return line.startsWith('.') ? '.' + line : line;
}

QByteArray JoinStuffed(const QByteArrayList &lines) {
    QByteArray out;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += Crlf;
        out += DotStuffed(lines.at(i));
    }
    return out;
}

bool IsPrintableAscii(QChar c) {
    return c.unicode() >= 0x20 && c.unicode() <= 0x7e;
}

// Characters allowed in an atom of a dot-atom (RFC 5322 atext).
bool IsAtext(QChar c) {
    if (c.unicode() > 0x7e)
        return false;
    if (c.isLetterOrNumber())
        return true;
    return QStringView(u"!#$%&'*+-/=?^_`{|}~").contains(c);
}

// The host name as the right side of a Message-Id: a dot-atom, or "localhost" when nothing
// usable is left.
QString IdRightSide(const QString &host) {
    QStringList atoms;
    for (const QString &part : host.split(u'.', Qt::SkipEmptyParts)) {
        QString atom;
        for (const QChar c : part) {
            if (IsAtext(c))
                atom.append(c);
        }
        if (!atom.isEmpty())
            atoms.append(atom);
    }
    return atoms.isEmpty() ? QString::fromLatin1(FallbackHost) : atoms.join(u'.');
}

QByteArray EncodedWords(const QByteArray &utf8) {
    QByteArray out;
    qsizetype start = 0;
    while (start < utf8.size()) {
        qsizetype end = qMin(start + MaxEncodedWordOctets, utf8.size());
        // A word must hold whole characters: never end it inside a UTF-8 sequence.
        while (end < utf8.size() && end > start + 1 && (uchar(utf8.at(end)) & 0xc0) == 0x80)
            --end;
        if (!out.isEmpty())
            out += FoldingBreak;
        out += EncodedWordStart;
        out += utf8.mid(start, end - start).toBase64();
        out += EncodedWordEnd;
        start = end;
    }
    return out;
}

// The body as quoted-printable lines (RFC 2045) of its UTF-8 form, without line ends.
QByteArrayList QuotedPrintableLines(const QString &body) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    QByteArrayList out;
    for (const QString &line : SplitLines(body)) {
        const QByteArray octets = line.toUtf8();
        QByteArray current;
        for (qsizetype i = 0; i < octets.size(); ++i) {
            const uchar octet = uchar(octets.at(i));
            const bool last = i + 1 == octets.size();
            const bool blank = octet == ' ' || octet == '\t';
            // A "." that would open a line is escaped, so the encoded text never needs the
            // SMTP transparency rule; a blank at the end of a line would be lost in transit.
            const bool literal =
                ((octet >= 33 && octet <= 126 && octet != '=') || (blank && !last)) &&
                !(octet == '.' && current.isEmpty());
            QByteArray token;
            if (literal) {
                token.append(char(octet));
            } else {
                token.append('=');
                token.append(Hex[octet >> 4]);
                token.append(Hex[octet & 0x0f]);
            }
            if (current.size() + token.size() > MaxQuotedPrintableText) {
                out.append(current + '=');
                current.clear();
                if (octet == '.')
                    token = "=2E";
            }
            current += token;
        }
        out.append(current);
    }
    return out;
}

} // namespace

std::vector<MessageSend> MessageText::Sends(const MessageInput &in) {
    const QByteArray host = HeaderSafe(in.localHostName).toUtf8();
    const bool plain = BodyIsPlain(in.body);

    QByteArray body;
    if (plain) {
        QByteArrayList lines;
        for (const QString &line : SplitLines(in.body))
            lines.append(line.toLatin1());
        body = JoinStuffed(lines);
    } else {
        body = JoinStuffed(QuotedPrintableLines(in.body));
    }

    std::vector<MessageSend> sends;
    sends.push_back({1, Line(ReturnPathPrefix + host)});
    sends.push_back({2, Line(DatePrefix + HeaderSafe(in.dateHeaderText).toUtf8())});
    sends.push_back(
        {3, Line(MessageIdPrefix + MessageId(in.messageIdTime, in.localHostName).toUtf8())});
    sends.push_back({4, Line(LocalSenderPrefix + host)});
    sends.push_back({5, Line(MailerLine)});
    sends.push_back({6, Line(OrganizationLine)});
    sends.push_back({7, Line(MimeVersionLine)});
    sends.push_back({8, Line(FromPrefix + HeaderSafe(in.headerSender).toUtf8())});
    sends.push_back({9, Line(ToPrefix + HeaderSafe(in.recipient).toUtf8())});
    sends.push_back({10, Line(SubjectPrefix + SubjectField(in.subject))});
    sends.push_back({11, Line(ContentTypeLine)});
    sends.push_back({12, Line(BoundaryLine) + Crlf});
    sends.push_back({14, Line(PreambleLine) + Crlf});
    sends.push_back({16, Line(PreambleLine) + Crlf});
    sends.push_back({18, Crlf + Line(Delimiter)});
    if (plain)
        sends.push_back({20, Line(PlainPartType) + Crlf});
    else
        sends.push_back({20, Line(Utf8PartType) + Line(QuotedPrintableEncoding) + Crlf});
    sends.push_back({22, Line(body) + Crlf});
    sends.push_back({24, Crlf + Line(ClosingDelimiter)});
    return sends;
}

QByteArray MessageText::EndOfData() {
    return QByteArray(EndOfDataText);
}

QString MessageText::DateHeaderText(const QDateTime &now) {
    if (!now.isValid())
        return {};
    const QDate date = now.date();
    const QTime time = now.time();
    const int offset = now.offsetFromUtc();
    const int offsetMinutes = qAbs(offset) / 60;
    return QString::asprintf(
        "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", DayNames[date.dayOfWeek() - 1], date.day(),
        MonthNames[date.month() - 1], date.year(), time.hour(), time.minute(), time.second(),
        offset < 0 ? '-' : '+', offsetMinutes / 60, offsetMinutes % 60);
}

QString MessageText::MessageId(const QDateTime &now, const QString &localHostName) {
    const quint64 count = ++messageIdCounter;
    // Without a valid time the id keeps its form; the counter alone keeps it unique.
    const QString stamp = now.isValid()
                              ? QLocale::c().toString(now, QStringLiteral("yyyyMMddhhmmss"))
                              : QString::fromLatin1(NoTimeStamp);
    return QStringLiteral("<%1.%2.%3.%4@%5>")
        .arg(QString::fromLatin1(MessageIdTag), stamp,
             QString::number(QCoreApplication::applicationPid()), QString::number(count),
             IdRightSide(localHostName));
}

QString MessageText::HeaderSafe(const QString &text) {
    QString out;
    out.reserve(text.size());
    bool inBreak = false;
    for (const QChar c : text) {
        if (c == u'\0')
            continue;
        if (c == u'\r' || c == u'\n') {
            if (!inBreak)
                out.append(u' ');
            inBreak = true;
            continue;
        }
        inBreak = false;
        out.append(c);
    }
    return out;
}

bool MessageText::BodyIsPlain(const QString &body) {
    for (const QString &line : SplitLines(body)) {
        const qsizetype wireLength = line.size() + (line.startsWith(u'.') ? 1 : 0);
        if (wireLength > MaxLineOctets)
            return false;
        for (const QChar c : line) {
            if (!IsPrintableAscii(c) && c != u'\t')
                return false;
        }
    }
    return true;
}

QByteArray MessageText::QuotedPrintable(const QString &body) {
    return QuotedPrintableLines(body).join(Crlf);
}

QByteArray MessageText::SubjectField(const QString &subject) {
    const QString safe = HeaderSafe(subject);
    bool plain = QByteArray(SubjectPrefix).size() + safe.size() <= MaxLineOctets &&
                 !safe.contains(QStringLiteral("=?"));
    for (const QChar c : safe) {
        if (!IsPrintableAscii(c) && c != u'\t')
            plain = false;
    }
    return plain ? safe.toLatin1() : EncodedWords(safe.toUtf8());
}
