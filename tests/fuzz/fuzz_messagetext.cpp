// Builds a notification mail from arbitrary field texts and reads what would go on the wire
// the way a server and then a mail reader would. Any broken promise aborts with the reason.
//
// The input is split into fields with libFuzzer's data provider: sender, recipient, subject,
// body, local host name and date text as strings (read as UTF-8, so every field is valid
// Unicode), then the Message-Id time and whether the date text is the program's own.

#include "mailaddress.h"
#include "messagetext.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr qsizetype MaxLineOctets = 998;
constexpr qsizetype MaxEncodedLine = 76;
constexpr qsizetype MaxEncodedWord = 75;
constexpr MessagePart LastHeaderSend = MessagePart::ContentType;
// 0001-01-01 and 9999-12-31 in milliseconds since the epoch; a clock outside is not sane.
constexpr int64_t EarliestTime = -62135596800000;
constexpr int64_t LatestTime = 253402300799999;
constexpr int LargestOffset = 14 * 3600;
constexpr int FirstFourDigitYear = 1000;
constexpr qsizetype LongestUtf8Character = 4;

const QByteArray Crlf = QByteArrayLiteral("\r\n");
const QByteArray Boundary = QByteArrayLiteral("--Unique-Boundary");
const QByteArray EncodedWordStart = QByteArrayLiteral("=?UTF-8?B?");
const QByteArray EncodedWordEnd = QByteArrayLiteral("?=");
const QByteArrayList HeaderNames = {"Return-Path", "Date",         "Message-Id",   "X-LocalSender",
                                    "X-Mailer",    "Organization", "MIME-Version", "From",
                                    "To",          "Subject",      "Content-Type"};

// Faults already reported and not mended yet can be set aside, so that a run explores past
// them: TALLOWICK_FUZZ_SKIP=header-length,boundary-in-body (see README.md).
bool Skipped(const char *fault) {
    static const QByteArrayList skipped = qgetenv("TALLOWICK_FUZZ_SKIP").split(',');
    return skipped.contains(fault);
}

void Require(bool holds, const char *what) {
    if (holds)
        return;
    std::fprintf(stderr, "message text broke its promise: %s\n", what);
    std::abort();
}

// A typed field as it must read in the header: NUL gone, each run of line breaks one blank.
QByteArray FieldValue(const QString &typed) {
    QString out;
    bool inBreak = false;
    for (const QChar c : typed) {
        if (c == u'\0')
            continue;
        const bool isBreak = c == u'\r' || c == u'\n';
        if (isBreak && !inBreak)
            out.append(u' ');
        else if (!isBreak)
            out.append(c);
        inBreak = isBreak;
    }
    return out.toUtf8();
}

// The body with CR LF for each line break, whatever form the break had.
QByteArray BodyWithCrlf(const QString &body) {
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text.toUtf8();
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A header value as runs of blanks, each followed by a token (a run of non-blanks); only the
// first run of blanks and the last token can be empty.
struct Runs {
    QByteArrayList blanks;
    QByteArrayList tokens;
};

Runs SplitRuns(const QByteArray &value) {
    Runs runs;
    qsizetype i = 0;
    while (i < value.size()) {
        const qsizetype start = i;
        while (i < value.size() && IsBlank(value.at(i)))
            ++i;
        runs.blanks.append(value.mid(start, i - start));
        const qsizetype tokenStart = i;
        while (i < value.size() && !IsBlank(value.at(i)))
            ++i;
        runs.tokens.append(value.mid(tokenStart, i - tokenStart));
    }
    return runs;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Decodes quoted-printable text whose lines end in CR LF, checking the encoding's own rules.
QByteArray DecodeQuotedPrintable(const QByteArray &encoded) {
    QByteArray out;
    const QByteArrayList lines = encoded.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArray line = lines.at(n);
        if (n + 1 < lines.size()) {
            Require(line.endsWith('\r'), "encoded lines end in CR LF");
            line.chop(1);
        }
        Require(line.size() <= MaxEncodedLine, "encoded line of at most 76 characters");
        Require(line.isEmpty() || !IsBlank(line.back()), "no blank at the end of an encoded line");
        bool soft = false;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const char c = line.at(i);
            Require((c >= 0x20 && c <= 0x7e) || c == '\t', "encoded text is printable");
            if (c != '=') {
                out.append(c);
                continue;
            }
            if (i + 1 == line.size()) {
                soft = true;
                break;
            }
            Require(i + 2 < line.size(), "an escape has two hex digits");
            const int high = HexValue(line.at(i + 1));
            const int low = HexValue(line.at(i + 2));
            Require(high >= 0 && low >= 0, "an escape is = and two upper-case hex digits");
            out.append(char(high * 16 + low));
            i += 2;
        }
        if (!soft && n + 1 < lines.size())
            out += Crlf;
        Require(!soft || n + 1 < lines.size(), "a soft break is followed by a line");
    }
    return out;
}

// A header value as sent against the one typed (`typed` as FieldValue gives it), for a field
// whose name and ": " take `prefixSize` octets. A line that fits goes out unchanged. A longer
// one may be folded, which unfolding undoes, and only what fits no line may be lost: every
// token stays, in its order, cut only when it cannot fit a line even on its own, and then at
// a character boundary to no less than the room a line has for it, less one character; runs
// of blanks may be shortened, but a token is never joined to the next.
void CheckHeaderValue(const QByteArray &sent, const QByteArray &typed, qsizetype prefixSize,
                      const char *what) {
    if (prefixSize + typed.size() <= MaxLineOctets) {
        Require(sent == typed, what);
        return;
    }
    const Runs got = SplitRuns(sent);
    Runs want = SplitRuns(typed);
    // Blanks at the end that fit no line may be gone.
    if (want.tokens.size() == got.tokens.size() + 1 && want.tokens.last().isEmpty()) {
        want.tokens.removeLast();
        want.blanks.removeLast();
    }
    Require(got.tokens.size() == want.tokens.size(), what);
    for (qsizetype i = 0; i < got.tokens.size(); ++i) {
        const QByteArray &token = got.tokens.at(i);
        const QByteArray &typedToken = want.tokens.at(i);
        Require(typedToken.startsWith(token), what);
        if (token.size() < typedToken.size()) {
            Require(prefixSize + typedToken.size() > MaxLineOctets,
                    "a header token is cut only when it fits no line");
            Require(token.size() > MaxLineOctets - prefixSize - LongestUtf8Character,
                    "a cut header token keeps what fits");
            Require(QString::fromUtf8(token).toUtf8() == token,
                    "a header token is cut at a character boundary");
        }
        const QByteArray &blanks = got.blanks.at(i);
        Require(want.blanks.at(i).startsWith(blanks), what);
        Require(i == 0 || !blanks.isEmpty(), "header tokens are never joined");
    }
}

bool IsAscii(const QByteArray &text) {
    for (const char c : text) {
        if (uchar(c) >= 0x80)
            return false;
    }
    return true;
}

// One encoded word: at most 75 characters of valid base64 holding whole UTF-8 characters.
QByteArray DecodeWord(const QByteArray &word) {
    Require(word.size() <= MaxEncodedWord, "an encoded word is at most 75 characters");
    const QByteArray base64 = word.mid(
        EncodedWordStart.size(), word.size() - EncodedWordStart.size() - EncodedWordEnd.size());
    const auto decoded =
        QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    Require(decoded.decodingStatus == QByteArray::Base64DecodingStatus::Ok,
            "an encoded word holds valid base64");
    Require(QString::fromUtf8(decoded.decoded).toUtf8() == decoded.decoded,
            "an encoded word holds whole UTF-8 characters");
    return decoded.decoded;
}

// The characters beyond ASCII in `utf8`, in their order.
QString OtherThanAscii(const QByteArray &utf8) {
    QString out;
    for (const QChar c : QString::fromUtf8(utf8)) {
        if (c.unicode() >= 0x80)
            out.append(c);
    }
    return out;
}

bool IsSubsequence(const QString &part, const QString &whole) {
    qsizetype k = 0;
    for (const QChar c : whole) {
        if (k < part.size() && part.at(k) == c)
            ++k;
    }
    return k == part.size();
}

// True when some run of non-blanks holds an "@" with a character beyond ASCII after it.
bool MayHoldDomainBeyondAscii(const QByteArray &typed) {
    for (const QByteArray &token : SplitRuns(typed).tokens) {
        const qsizetype at = token.indexOf('@');
        if (at >= 0 && !IsAscii(token.mid(at)))
            return true;
    }
    return false;
}

// From or To (unfolded) against the typed value (as FieldValue gives it). Plain ASCII goes as
// any header value. Otherwise the characters beyond ASCII travel in encoded words, except in
// an address (in angle brackets, or a word holding "@"), which goes as typed; read back, none
// of them is lost or moved. A typed "=?" may itself look like an encoded word to the reader,
// and a run of non-blanks too long for a line may be cut (an address losing its "@"): the
// reading is not compared then.
void CheckAddressValue(const QByteArray &sent, const QByteArray &typed, qsizetype prefixSize,
                       const char *what) {
    if (IsAscii(typed)) {
        CheckHeaderValue(sent, typed, prefixSize, what);
        return;
    }
    static const QRegularExpression encodedWord(
        QStringLiteral("^\\(?(=\\?UTF-8\\?B\\?[^?]*\\?=)\\)?$"));
    const bool typedLookalike = typed.contains("=?");
    bool cut = false;
    for (const QByteArray &run : SplitRuns(typed).tokens)
        cut = cut || prefixSize + run.size() > MaxLineOctets;
    QByteArray read;
    bool inAngle = false;
    for (const QByteArray &token : SplitRuns(sent).tokens) {
        const QRegularExpressionMatch word = encodedWord.match(QString::fromLatin1(token));
        if (word.hasMatch() && !typedLookalike) {
            read += DecodeWord(word.captured(1).toLatin1());
            continue;
        }
        const bool mayBeCut =
            cut && token.size() > MaxLineOctets - prefixSize - LongestUtf8Character;
        for (const char c : token) {
            inAngle = c == '<' || (inAngle && c != '>');
            Require(uchar(c) < 0x80 || inAngle || token.contains('@') || mayBeCut,
                    "beyond ASCII, From and To go as encoded words but for the address");
        }
        read += token;
    }
    if (typedLookalike || cut)
        return;
    // A domain beyond ASCII goes in its IDNA form, so its characters may be gone from the
    // reading; all others stay, in their order.
    if (MayHoldDomainBeyondAscii(typed))
        Require(IsSubsequence(OtherThanAscii(read), OtherThanAscii(typed)), what);
    else
        Require(OtherThanAscii(read) == OtherThanAscii(typed), what);
}

// RFC 2047: every line of a field that holds encoded words is at most 76 characters. Only a
// token too long for such a line may stand alone on a longer one, right after the field's name
// or after the one blank that opens a continuation line, and it is never an encoded word
// (unless the typed text itself held something that looks like one).
void CheckEncodedFieldLines(const QByteArray &field, qsizetype prefixSize, bool typedLookalike) {
    const QByteArrayList lines = field.split('\n');
    for (qsizetype k = 0; k < lines.size(); ++k) {
        const QByteArray line = k + 1 < lines.size() ? lines.at(k).chopped(1) : lines.at(k);
        if (line.size() <= MaxEncodedLine)
            continue;
        const QByteArray token = k == 0 ? line.mid(prefixSize) : line.mid(1);
        bool single = !token.isEmpty();
        for (const char c : token)
            single = single && !IsBlank(c);
        Require(single && (typedLookalike || !token.contains(EncodedWordStart)),
                "a line of a field with encoded words holds at most 76 characters");
    }
}

// The subject as a reader shows it: encoded words decoded, the blanks between them dropped.
QByteArray ReadSubject(const QByteArray &unfolded) {
    if (!unfolded.startsWith(EncodedWordStart))
        return unfolded;
    QByteArray out;
    for (const QByteArray &word : unfolded.split(' ')) {
        Require(word.startsWith(EncodedWordStart) && word.endsWith(EncodedWordEnd) &&
                    word.size() >= EncodedWordStart.size() + EncodedWordEnd.size(),
                "an encoded subject is encoded words separated by blanks");
        out += DecodeWord(word);
    }
    return out;
}

bool IsDelimiter(const QByteArray &line, bool *closing) {
    if (!line.startsWith(Boundary))
        return false;
    QByteArray rest = line.mid(Boundary.size());
    *closing = rest.startsWith("--");
    if (*closing)
        rest.remove(0, 2);
    for (const char c : rest) {
        if (!IsBlank(c))
            return false;
    }
    return true;
}

void CheckMessageId(const QByteArray &value) {
    Require(value.startsWith('<') && value.endsWith('>') && value.count('@') == 1,
            "Message-Id is <left@right>");
    const QByteArrayList sides = value.mid(1, value.size() - 2).split('@');
    for (const QByteArray &side : sides) {
        Require(!side.isEmpty() && !side.startsWith('.') && !side.endsWith('.') &&
                    !side.contains(".."),
                "Message-Id sides are dot-atoms");
        for (const char c : side)
            Require(c > 0x20 && c < 0x7f && !QByteArray("()<>[]:;@\\,\"").contains(c),
                    "Message-Id holds atom characters only");
    }
}

void CheckSends(const MessageInput &in, const std::vector<MessageSend> &sends, bool ownDateText) {
    Require(!sends.empty() && sends.front().part == MessagePart::ReturnPath,
            "the sends begin with the Return-Path line");
    QByteArray wire;
    int previous = -1;
    for (const MessageSend &send : sends) {
        Require(int(send.part) > previous, "the sends go in the order of the parts");
        previous = int(send.part);
        Require(send.bytes.endsWith(Crlf), "every send ends in CR LF");
        const QByteArray content = send.bytes.chopped(2);
        if (send.part <= LastHeaderSend) {
            // Any header field may be folded where it is too long (the subject is folded
            // between encoded words); a continuation line is never blanks alone.
            const QByteArrayList folded = content.split('\n');
            for (qsizetype k = 1; k < folded.size(); ++k) {
                const QByteArray &line = folded.at(k);
                Require(folded.at(k - 1).endsWith('\r') && !line.isEmpty() && IsBlank(line.front()),
                        "a header send is one field, folded at blanks");
                bool text = false;
                for (const char c : line)
                    text = text || !IsBlank(c);
                Require(text, "a continuation line holds more than blanks");
            }
            if (send.part == MessagePart::Subject &&
                content.mid(HeaderNames.at(9).size() + 2).startsWith(EncodedWordStart))
                CheckEncodedFieldLines(content, HeaderNames.at(9).size() + 2, false);
            const bool from = send.part == MessagePart::From;
            if (from || send.part == MessagePart::To) {
                const QByteArray typed = FieldValue(from ? in.headerSender : in.recipient);
                if (!IsAscii(typed))
                    CheckEncodedFieldLines(content, HeaderNames.at(from ? 7 : 8).size() + 2,
                                           typed.contains("=?"));
            }
        } else if (send.part == MessagePart::Boundary) {
            Require(content.endsWith(Crlf) && IsBlank(content.front()) &&
                        !content.chopped(2).contains('\r') && !content.chopped(2).contains('\n'),
                    "line 12 continues the Content-Type field and ends the header");
        }
        wire += send.bytes;
    }
    wire += MessageText::EndOfData();

    // On the wire: CR LF pairs only, lines within the limit.
    for (qsizetype i = 0; i < wire.size(); ++i) {
        if (wire.at(i) == '\r')
            Require(i + 1 < wire.size() && wire.at(i + 1) == '\n', "no bare CR");
        if (wire.at(i) == '\n')
            Require(i > 0 && wire.at(i - 1) == '\r', "no bare LF");
    }
    QByteArrayList lines = wire.split('\n');
    lines.removeLast(); // the wire ends in CR LF
    bool inHeader = true;
    for (QByteArray &line : lines) {
        line.chop(1); // its CR
        if (inHeader && Skipped("header-length")) {
            inHeader = !line.isEmpty();
            continue;
        }
        inHeader = inHeader && !line.isEmpty();
        Require(line.size() <= MaxLineOctets, "no line longer than 998 octets");
    }

    // The server: the first lone "." ends the data; a leading dot is removed from the rest.
    const qsizetype end = lines.indexOf(QByteArray("."));
    Require(end == lines.size() - 1, "only the end of data is a lone dot");
    lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.startsWith('.'))
            line.remove(0, 1);
    }

    // The header: eleven fields in their order, the typed ones as typed.
    const qsizetype headerEnd = lines.indexOf(QByteArray());
    Require(headerEnd > 0, "the header ends with an empty line");
    QByteArrayList fields;
    for (qsizetype i = 0; i < headerEnd; ++i) {
        const QByteArray &line = lines.at(i);
        if (!line.isEmpty() && IsBlank(line.front())) {
            Require(!fields.isEmpty(), "the header does not begin with a continuation");
            fields.last() += line;
        } else {
            fields.append(line);
        }
    }
    Require(fields.size() == HeaderNames.size(), "the header holds exactly its eleven fields");
    QByteArrayList values;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QByteArray prefix = HeaderNames.at(i) + ": ";
        Require(fields.at(i).startsWith(prefix), "the header fields in their order");
        values.append(fields.at(i).mid(prefix.size()));
    }
    const auto prefixSize = [](qsizetype field) {
        return HeaderNames.at(field).size() + 2;
    };
    CheckHeaderValue(values.at(0), "Tallowick32@" + FieldValue(in.localHostName), prefixSize(0),
                     "Return-Path carries the host name");
    CheckHeaderValue(values.at(1), FieldValue(in.dateHeaderText), prefixSize(1),
                     "Date carries the date text");
    CheckAddressValue(values.at(7), FieldValue(in.headerSender), prefixSize(7),
                      "From carries the sender");
    CheckAddressValue(values.at(8), FieldValue(in.recipient), prefixSize(8),
                      "To carries the recipient");
    Require(ReadSubject(values.at(9)) == FieldValue(in.subject), "Subject reads as typed");
    CheckMessageId(values.at(2));
    if (ownDateText && in.messageIdTime.date().year() >= FirstFourDigitYear) {
        static const QRegularExpression date(
            QStringLiteral("^(Mon|Tue|Wed|Thu|Fri|Sat|Sun), [0-3][0-9] "
                           "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{4} "
                           "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [+-][0-9]{4}$"));
        Require(date.match(QString::fromLatin1(values.at(1))).hasMatch(),
                "the program's date text is an Internet date");
    }

    // The multipart body: a preamble, one part, the closing delimiter.
    // A body holding the boundary can put it at the start of a line, directly or through a
    // soft line break of the encoding.
    if (Skipped("boundary-in-body") && in.body.contains(QString::fromLatin1(Boundary)))
        return;
    qsizetype i = headerEnd + 1;
    bool closing = false;
    while (i < lines.size() && !IsDelimiter(lines.at(i), &closing))
        ++i;
    Require(i < lines.size() && !closing, "the part begins with a delimiter");
    const qsizetype partStart = ++i;
    while (i < lines.size() && !IsDelimiter(lines.at(i), &closing))
        ++i;
    Require(i < lines.size() && closing, "one part only, ended by the closing delimiter");
    const qsizetype partEnd = i;
    for (++i; i < lines.size(); ++i)
        Require(lines.at(i).isEmpty(), "nothing but empty lines after the closing delimiter");

    const qsizetype partHeaderEnd = lines.indexOf(QByteArray(), partStart);
    Require(partHeaderEnd >= 0 && partHeaderEnd < partEnd, "the part's header ends");
    bool quotedPrintable = false;
    for (qsizetype k = partStart; k < partHeaderEnd; ++k) {
        if (lines.at(k).toLower() == "content-transfer-encoding: quoted-printable")
            quotedPrintable = true;
    }
    // The CR LF before a delimiter belongs to the delimiter.
    const QByteArray content = lines.mid(partHeaderEnd + 1, partEnd - partHeaderEnd - 1).join(Crlf);
    const QByteArray expected = BodyWithCrlf(in.body) + Crlf + Crlf;
    if (quotedPrintable) {
        Require(DecodeQuotedPrintable(content) == expected, "the encoded body reads as typed");
    } else {
        for (const char c : content)
            Require((c >= 0x20 && c <= 0x7e) || c == '\t' || c == '\r' || c == '\n',
                    "an unencoded body is US-ASCII text");
        Require(content == expected, "the body reads as typed");
    }
}

// How the envelope address was read before quoted strings and comments were told apart: the
// first "<...>" anywhere, or the trimmed text in angle brackets. ASCII text holding neither
// quotes nor parentheses must still give the same.
QByteArray EarlierEnvelope(const QString &typed) {
    const QString safe = MessageText::HeaderSafe(typed);
    const qsizetype open = safe.indexOf(u'<');
    const qsizetype close = open < 0 ? -1 : safe.indexOf(u'>', open);
    if (close > open)
        return safe.mid(open, close - open + 1).toUtf8();
    return '<' + safe.trimmed().toUtf8() + '>';
}

// `text` as the content of a quoted string or a comment: no line break or NUL (those would
// change the reading of the whole field), the delimiters and backslashes as quoted pairs.
QString Quoted(const QString &text, QStringView specials) {
    QString out;
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\0')
            continue;
        if (c == u'\\' || specials.contains(c))
            out.append(u'\\');
        out.append(c);
    }
    return out;
}

// The envelope address of a typed field: in angle brackets, no CR, LF or NUL; ASCII but for
// a local part (or a domain without an ASCII form) beyond it, which is what the SMTPUTF8 flag
// says; never taken from a comment or a quoted name, whatever address those hold.
void CheckEnvelope(const QString &typed, const QString &other) {
    const MailAddress::Envelope envelope = MailAddress::EnvelopeOf(typed);
    const QByteArray &address = envelope.address;
    Require(address.size() >= 2 && address.startsWith('<') && address.endsWith('>'),
            "the envelope address is in angle brackets");
    Require(!address.contains('\r') && !address.contains('\n') && !address.contains('\0'),
            "the envelope address holds no CR, LF or NUL");
    Require(envelope.needsSmtpUtf8 == !IsAscii(address),
            "SMTPUTF8 is needed exactly when the envelope address is not ASCII");
    const QByteArray inner = address.mid(1, address.size() - 2);
    const QByteArray domain = inner.mid(inner.lastIndexOf('@') + 1);
    Require(inner.lastIndexOf('@') < 0 || IsAscii(domain) ||
                QUrl::toAce(QString::fromUtf8(domain)).isEmpty(),
            "a domain beyond ASCII goes in its IDNA form where it has one");
    const bool plainAscii =
        IsAscii(typed.toUtf8()) && !typed.contains(u'"') && !typed.contains(u'(');
    Require(!plainAscii || address == EarlierEnvelope(typed),
            "plain ASCII gives the envelope address it always gave");

    const QString trap = other + QStringLiteral(" <trap@example.org>");
    const QString comment = u'(' + Quoted(trap, u"()") + QStringLiteral(") ");
    Require(MailAddress::EnvelopeOf(comment + typed).address == address,
            "a comment never supplies the envelope address");
    QString angle = typed;
    angle.remove(u'>');
    angle = u'<' + angle + u'>';
    const QByteArray wanted = MailAddress::EnvelopeOf(angle).address;
    const QString name = u'"' + Quoted(trap, u"\"") + QStringLiteral("\" ");
    Require(MailAddress::EnvelopeOf(name + angle).address == wanted &&
                MailAddress::EnvelopeOf(comment + name + angle + u' ' + comment).address == wanted,
            "a quoted name never supplies the envelope address");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider provider(data, size);
    const auto field = [&provider] {
        const std::string bytes = provider.ConsumeRandomLengthString();
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    };
    MessageInput in;
    in.headerSender = field();
    in.recipient = field();
    in.subject = field();
    in.body = field();
    in.localHostName = field();
    const QString typedDate = field();
    const bool validTime = provider.ConsumeBool();
    const bool ownDateText = provider.ConsumeBool();
    const int64_t msecs = provider.ConsumeIntegralInRange(EarliestTime, LatestTime);
    const int offset = provider.ConsumeIntegralInRange(-LargestOffset, LargestOffset);
    if (validTime)
        in.messageIdTime = QDateTime::fromMSecsSinceEpoch(msecs, Qt::OffsetFromUTC, offset);
    in.dateHeaderText = ownDateText ? MessageText::DateHeaderText(in.messageIdTime) : typedDate;

    CheckSends(in, MessageText::Sends(in), ownDateText && validTime);
    CheckEnvelope(in.headerSender, in.subject);
    CheckEnvelope(in.recipient, in.body);
    return 0;
}
