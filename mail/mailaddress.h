#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Reads a typed address field the way RFC 5322 (3.4) reads a mailbox, leniently: a display
// name (words or a quoted string), comments in parentheses (nested, with quoted pairs), and
// the address in angle brackets after the name, or a bare address. A quoted string or a
// comment is never where the address comes from. The envelope and the From and To header
// lines both read the typed text through this one reading.
class MailAddress {
public:
    // A piece of a typed field; whatever was typed is some sequence of these.
    struct Piece {
        enum class Kind {
            Blanks,
            Word,    // a word of a name: no blank, no "@", none of < ( " , ; :
            Quoted,  // "...", up to its closing quote or the end of the text
            Comment, // (...), nested ones inside, up to its closing parenthesis or the end
            Address, // <...> (up to the first ">", or the end), or a word holding "@"
            Special, // , ; :
        };
        Kind kind;
        QString typed; // as typed
        QString text;  // what a reader sees: a quoted string or comment without its delimiters
                       // and quoting backslashes (a comment keeps its nested parentheses)
    };

    // What goes after "mail from:" or "rcpt to:" for one typed field.
    struct Envelope {
        QByteArray address;         // in angle brackets; never holds CR, LF or NUL
        bool needsSmtpUtf8 = false; // the address is not ASCII: only for a server with SMTPUTF8
    };

    // The typed text as pieces, in order; their typed texts joined give the text back.
    static QList<Piece> Pieces(const QString &value);

    // The envelope address of a typed field (line breaks made blanks, NUL dropped): the first
    // angle-addr outside quoted strings and comments, as typed; without one, the text less its
    // comments, trimmed, in angle brackets (so an empty field gives "<>"). A domain other than
    // ASCII goes in its IDNA ASCII form when it has one. ASCII text without quotes and comments
    // gives what it always gave.
    static Envelope EnvelopeOf(const QString &typed);

    // `address` (a bare address, or one in angle brackets) with the domain after its last "@" in
    // its IDNA ASCII form (QUrl::toAce) when it is not ASCII and has such a form; otherwise
    // `address` as it stands.
    static QString WithAsciiDomain(const QString &address);
};
