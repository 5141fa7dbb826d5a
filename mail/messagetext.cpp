#include "messagetext.h"

#include "mailaddress.h"

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
// RFC 2047: every line of a field that holds encoded words is at most 76 characters. A From or
// To line with other characters than ASCII is folded there (only an address or word too long
// for any line stands alone on a longer one); the octets are counted, which is the stricter.
constexpr int EncodedLineOctets = 76;
// RFC 2045: an encoded line holds at most 76 characters; one is kept for the soft break "=".
constexpr int MaxQuotedPrintableText = 75;
// RFC 2047: an encoded word is at most 75 characters. 39 octets give 52 base64 characters, a
// word of 64, so even the first word stays within 76 characters after "Subject: ".
constexpr int MaxEncodedWordOctets = 39;
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

bool IsBlankOctet(char c) {
    return c == ' ' || c == '\t';
}

// The longest start of `utf8` that fits in `room` octets and ends on a character boundary.
QByteArray CutAtCharacter(const QByteArray &utf8, qsizetype room) {
    if (utf8.size() <= room)
        return utf8;
    qsizetype end = qMax<qsizetype>(room, 0);
    while (end > 0 && (uchar(utf8.at(end)) & 0xc0) == 0x80)
        --end;
    return utf8.left(end);
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

bool IsAscii(QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return false;
    }
    return true;
}

QByteArrayList EncodedWordList(const QByteArray &utf8) {
    QByteArrayList words;
    qsizetype start = 0;
    while (start < utf8.size()) {
        qsizetype end = qMin(start + MaxEncodedWordOctets, utf8.size());
        // A word must hold whole characters: never end it inside a UTF-8 sequence.
        while (end < utf8.size() && end > start + 1 && (uchar(utf8.at(end)) & 0xc0) == 0x80)
            --end;
        words.append(EncodedWordStart + utf8.mid(start, end - start).toBase64() + EncodedWordEnd);
        start = end;
    }
    return words;
}

QByteArray EncodedWords(const QByteArray &utf8) {
    return EncodedWordList(utf8).join(FoldingBreak);
}

// `prefix` and the value's octets as one header line, folded before a run of blanks where the
// line would grow past `foldAt` octets. Nothing goes past 998: a run of non-blanks that fits no
// line is cut at a character boundary. Blanks that would take a line past `foldAt` are dropped,
// but for the one that opens a continuation line.
QByteArray FoldedLine(const QByteArray &prefix, const QByteArray &octets, qsizetype foldAt) {
    if (prefix.size() + octets.size() <= foldAt)
        return prefix + octets;

    // The value is taken as runs of blanks, each followed by a run of non-blanks (a token);
    // only the first run of blanks may be empty, only the last token may be.
    QByteArray out = prefix;
    qsizetype lineStart = 0;
    qsizetype i = 0;
    // Folding right after "Name: " would leave that line without a value.
    bool canFold = !IsBlankOctet(prefix.back());
    while (i < octets.size()) {
        qsizetype blanksEnd = i;
        while (blanksEnd < octets.size() && IsBlankOctet(octets.at(blanksEnd)))
            ++blanksEnd;
        qsizetype tokenEnd = blanksEnd;
        while (tokenEnd < octets.size() && !IsBlankOctet(octets.at(tokenEnd)))
            ++tokenEnd;
        const QByteArray blanks = octets.mid(i, blanksEnd - i);
        const QByteArray token = octets.mid(blanksEnd, tokenEnd - blanksEnd);
        i = tokenEnd;

        const qsizetype used = out.size() - lineStart;
        if (used + blanks.size() + token.size() <= foldAt) {
            out += blanks + token;
        } else if (canFold && !blanks.isEmpty() && !token.isEmpty()) {
            // Fold: the blanks open a continuation line, as many of them as leave the token
            // room, but at least one.
            out += Crlf;
            lineStart = out.size();
            const QByteArray kept = blanks.left(qMax<qsizetype>(1, foldAt - token.size()));
            out += kept + CutAtCharacter(token, MaxLineOctets - kept.size());
        } else {
            // The first token after "Name: ", or blanks at the end: they stay on this line, the
            // token before the blanks; the blanks only as far as they fit within `foldAt`.
            const qsizetype room = MaxLineOctets - used;
            const QByteArray kept =
                blanks.left(qMax<qsizetype>(0, qMin(room, foldAt - used) - token.size()));
            out += kept + CutAtCharacter(token, room - kept.size());
        }
        canFold = true;
    }
    return out;
}

// A From or To value holding other characters than ASCII, unfolded: each name (a run of words
// and quoted strings) and each comment holding such characters as encoded words, each address
// with its domain in IDNA form where it has one, everything else as typed.
QByteArray EncodedAddressValue(const QString &value) {
    using Kind = MailAddress::Piece::Kind;
    const QList<MailAddress::Piece> pieces = MailAddress::Pieces(value);
    QByteArray out;
    bool afterWord = false;
    // An encoded word stands apart from what it would touch, or a reader may not see it as one.
    const auto append = [&out, &afterWord](const QByteArray &bytes, bool encoded) {
        if ((encoded || afterWord) && !out.isEmpty() && !bytes.isEmpty() &&
            !IsBlankOctet(out.back()) && !IsBlankOctet(bytes.front()))
            out += ' ';
        out += bytes;
        afterWord = encoded;
    };
    const auto isNamePart = [](Kind kind) {
        return kind == Kind::Word || kind == Kind::Quoted;
    };
    for (qsizetype i = 0; i < pieces.size();) {
        const MailAddress::Piece &piece = pieces.at(i);
        if (isNamePart(piece.kind)) {
            // The name goes to its last word; blanks after it are not part of it.
            qsizetype end = i + 1;
            for (qsizetype k = end; k < pieces.size(); ++k) {
                if (isNamePart(pieces.at(k).kind))
                    end = k + 1;
                else if (pieces.at(k).kind != Kind::Blanks)
                    break;
            }
            QString typed;
            QString text;
            for (qsizetype k = i; k < end; ++k) {
                typed += pieces.at(k).typed;
                text += pieces.at(k).text;
            }
            if (IsAscii(text))
                append(typed.toUtf8(), false);
            else
                append(EncodedWordList(text.toUtf8()).join(' '), true);
            i = end;
            continue;
        }
        if (piece.kind == Kind::Comment && !IsAscii(piece.text))
            append('(' + EncodedWordList(piece.text.toUtf8()).join(' ') + ')', true);
        else if (piece.kind == Kind::Address)
            append(MailAddress::WithAsciiDomain(piece.typed).toUtf8(), false);
        else
            append(piece.typed.toUtf8(), false);
        ++i;
    }
    return out;
}

// An encoded line never opens with these: a "." would need the SMTP transparency rule (and a
// lone one would end the data), and a "-" could start "--Unique-Boundary", which a mail reader
// takes for the end of the text part.
bool EscapedAtLineStart(uchar octet) {
    return octet == '.' || octet == '-';
}

QByteArray Escaped(uchar octet) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    QByteArray token(1, '=');
    token.append(Hex[octet >> 4]);
    token.append(Hex[octet & 0x0f]);
    return token;
}

// The body as quoted-printable lines (RFC 2045) of its UTF-8 form, without line ends.
QByteArrayList QuotedPrintableLines(const QString &body) {
    QByteArrayList out;
    for (const QString &line : SplitLines(body)) {
        const QByteArray octets = line.toUtf8();
        QByteArray current;
        for (qsizetype i = 0; i < octets.size(); ++i) {
            const uchar octet = uchar(octets.at(i));
            const bool last = i + 1 == octets.size();
            const bool blank = octet == ' ' || octet == '\t';
            // A blank at the end of a line would be lost in transit.
            const bool literal =
                ((octet >= 33 && octet <= 126 && octet != '=') || (blank && !last)) &&
                !(current.isEmpty() && EscapedAtLineStart(octet));
            QByteArray token = literal ? QByteArray(1, char(octet)) : Escaped(octet);
            if (current.size() + token.size() > MaxQuotedPrintableText) {
                out.append(current + '=');
                current.clear();
                if (literal && EscapedAtLineStart(octet))
                    token = Escaped(octet);
            }
            current += token;
        }
        out.append(current);
    }
    return out;
}

} // namespace

std::vector<MessageSend> MessageText::Sends(const MessageInput &in) {
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
    sends.push_back(
        {MessagePart::ReturnPath, Line(HeaderLine(ReturnPathPrefix, in.localHostName))});
    sends.push_back({MessagePart::Date, Line(HeaderLine(DatePrefix, in.dateHeaderText))});
    sends.push_back(
        {MessagePart::MessageId,
         Line(HeaderLine(MessageIdPrefix, MessageId(in.messageIdTime, in.localHostName)))});
    sends.push_back(
        {MessagePart::LocalSender, Line(HeaderLine(LocalSenderPrefix, in.localHostName))});
    sends.push_back({MessagePart::Mailer, Line(MailerLine)});
    sends.push_back({MessagePart::Organization, Line(OrganizationLine)});
    sends.push_back({MessagePart::MimeVersion, Line(MimeVersionLine)});
    sends.push_back({MessagePart::From, Line(AddressLine(FromPrefix, in.headerSender))});
    sends.push_back({MessagePart::To, Line(AddressLine(ToPrefix, in.recipient))});
    sends.push_back({MessagePart::Subject, Line(SubjectPrefix + SubjectField(in.subject))});
    sends.push_back({MessagePart::ContentType, Line(ContentTypeLine)});
    sends.push_back({MessagePart::Boundary, Line(BoundaryLine) + Crlf});
    sends.push_back({MessagePart::Preamble, Line(PreambleLine) + Crlf});
    sends.push_back({MessagePart::PreambleAgain, Line(PreambleLine) + Crlf});
    sends.push_back({MessagePart::Delimiter, Crlf + Line(Delimiter)});
    if (plain)
        sends.push_back({MessagePart::PartHeader, Line(PlainPartType) + Crlf});
    else
        sends.push_back(
            {MessagePart::PartHeader, Line(Utf8PartType) + Line(QuotedPrintableEncoding) + Crlf});
    sends.push_back({MessagePart::Body, Line(body) + Crlf});
    sends.push_back({MessagePart::ClosingDelimiter, Crlf + Line(ClosingDelimiter)});
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
    const QString left =
        QStringLiteral("<%1.%2.%3.%4@")
            .arg(QString::fromLatin1(MessageIdTag), stamp,
                 QString::number(QCoreApplication::applicationPid()), QString::number(count));
    // The id cannot be folded, so the host part gives way to keep its line within the limit;
    // the left side alone makes the id unique. The right side is ASCII: one octet a character.
    const qsizetype room = MaxLineOctets - qsizetype(sizeof(MessageIdPrefix) - 1) - left.size() -
                           qsizetype(sizeof(">") - 1);
    QString right = IdRightSide(localHostName).left(room);
    while (right.endsWith(u'.'))
        right.chop(1);
    return left + right + u'>';
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

QByteArray MessageText::HeaderLine(const QByteArray &prefix, const QString &value) {
    return FoldedLine(prefix, HeaderSafe(value).toUtf8(), MaxLineOctets);
}

QByteArray MessageText::AddressLine(const QByteArray &prefix, const QString &value) {
    const QString safe = HeaderSafe(value);
    if (IsAscii(safe))
        return HeaderLine(prefix, safe);
    return FoldedLine(prefix, EncodedAddressValue(safe), EncodedLineOctets);
}

bool MessageText::BodyIsPlain(const QString &body) {
    for (const QString &line : SplitLines(body)) {
        const qsizetype wireLength = line.size() + (line.startsWith(u'.') ? 1 : 0);
        if (wireLength > MaxLineOctets)
            return false;
        // Such a line would end the text part early in a mail reader; encoded, it starts "=2D".
        if (line.startsWith(QLatin1String(Delimiter)))
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
