#include "mailaddress.h"

#include "messagetext.h"

#include <QStringView>
#include <QUrl>

namespace {

bool IsAscii(QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return false;
    }
    return true;
}

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

bool IsAddressSpecial(QChar c) {
    return c == u',' || c == u';' || c == u':';
}

// The quoted string or comment that begins at `start`, up to its closing character or the end
// of the value; returns the index after it.
qsizetype ReadDelimited(const QString &value, qsizetype start, QString *text) {
    const bool comment = value.at(start) == u'(';
    const QChar close = comment ? u')' : u'"';
    int depth = 1;
    qsizetype i = start + 1;
    while (i < value.size()) {
        const QChar c = value.at(i++);
        if (c == u'\\' && i < value.size()) {
            text->append(value.at(i++));
            continue;
        }
        if (comment && c == u'(')
            ++depth;
        else if (c == close && --depth == 0)
            return i;
        text->append(c);
    }
    return i;
}

bool IsAngleAddr(const MailAddress::Piece &piece) {
    return piece.kind == MailAddress::Piece::Kind::Address && piece.typed.size() >= 2 &&
           piece.typed.front() == u'<' && piece.typed.back() == u'>';
}

} // namespace

QList<MailAddress::Piece> MailAddress::Pieces(const QString &value) {
    using Kind = Piece::Kind;
    QList<Piece> pieces;
    qsizetype i = 0;
    while (i < value.size()) {
        const qsizetype start = i;
        const QChar c = value.at(i);
        Kind kind;
        QString text;
        if (IsBlank(c)) {
            kind = Kind::Blanks;
            while (i < value.size() && IsBlank(value.at(i)))
                ++i;
        } else if (c == u'<') {
            kind = Kind::Address;
            const qsizetype close = value.indexOf(u'>', i);
            i = close < 0 ? value.size() : close + 1;
        } else if (c == u'"' || c == u'(') {
            kind = c == u'"' ? Kind::Quoted : Kind::Comment;
            i = ReadDelimited(value, i, &text);
        } else if (IsAddressSpecial(c)) {
            kind = Kind::Special;
            ++i;
        } else {
            while (i < value.size() && !QStringView(u" \t<(\"").contains(value.at(i)) &&
                   !IsAddressSpecial(value.at(i)))
                ++i;
            kind = value.mid(start, i - start).contains(u'@') ? Kind::Address : Kind::Word;
        }
        const QString typed = value.mid(start, i - start);
        pieces.append({kind, typed, kind == Kind::Quoted || kind == Kind::Comment ? text : typed});
    }
    return pieces;
}

MailAddress::Envelope MailAddress::EnvelopeOf(const QString &typed) {
    const QList<Piece> pieces = Pieces(MessageText::HeaderSafe(typed));
    QString address;
    bool angle = false;
    for (const Piece &piece : pieces) {
        if (IsAngleAddr(piece)) {
            address = piece.typed;
            angle = true;
            break;
        }
    }
    if (!angle) {
        // A bare address, perhaps with comments around it; a quoted local part stays quoted.
        QString bare;
        for (const Piece &piece : pieces) {
            if (piece.kind != Piece::Kind::Comment)
                bare += piece.typed;
        }
        address = u'<' + bare.trimmed() + u'>';
    }
    address = WithAsciiDomain(address);
    return {address.toUtf8(), !IsAscii(address)};
}

QString MailAddress::WithAsciiDomain(const QString &address) {
    const bool bracketed = address.size() >= 2 && address.front() == u'<' && address.back() == u'>';
    const qsizetype end = bracketed ? address.size() - 1 : address.size();
    const qsizetype at = address.left(end).lastIndexOf(u'@');
    if (at < 0)
        return address;
    const QString domain = address.mid(at + 1, end - at - 1);
    if (IsAscii(domain))
        return address;
    // QUrl refuses what is no host name (blanks, brackets, empty labels...): such a domain
    // stays as typed, and the address then needs a server that takes UTF-8.
    const QByteArray ace = QUrl::toAce(domain);
    if (ace.isEmpty())
        return address;
    return address.left(at + 1) + QString::fromLatin1(ace) + address.mid(end);
}
