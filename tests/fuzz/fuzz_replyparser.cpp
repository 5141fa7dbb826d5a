// Feeds arbitrary bytes to the reply framer in pieces, as the socket would deliver them, and
// takes replies the way the session does. Any broken promise aborts with the reason.
//
// Input layout:
//   byte 0        control: bits 0-3 the number of piece lengths that follow (0..15);
//                 bit 4 takes one reply per arrival instead of every complete one;
//                 bits 5 and 6 together repeat the payload past the framer's size bound
//                 (piece lengths then count in KiB; rarer, as such runs are slow)
//   bytes 1..n    the piece lengths, one byte each (0 is an arrival of nothing)
//   the rest      the payload; what the lengths leave over is the last piece

#include "replyparser.h"

#include <QByteArray>
#include <QByteArrayList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr uint8_t PieceCountMask = 0x0f;
constexpr uint8_t TakeOneFlag = 0x10;
constexpr uint8_t BlowUpFlags = 0x60;
constexpr qsizetype BlowUpUnit = 1024;
constexpr int LowestCode = 100;
constexpr int HighestCode = 599;

void Require(bool holds, const char *what) {
    if (holds)
        return;
    std::fprintf(stderr, "reply framer broke its promise: %s\n", what);
    std::abort();
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Checks a complete reply against what a reply is, independently of how the framer reads one:
// lines ending in LF, each carrying the reply's code after optional blanks, a hyphen after the
// code on every line but the last and none on the last.
void CheckReply(const ReplyParser::Reply &reply) {
    Require(reply.code >= LowestCode && reply.code <= HighestCode, "code is three digits");
    Require(!reply.text.isEmpty() && reply.text.endsWith('\n'), "reply text ends its line");
    const QByteArray code = QByteArray::number(reply.code);
    QByteArrayList lines = reply.text.split('\n');
    lines.removeLast(); // empty: the text ends in LF
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QByteArray &line = lines.at(n);
        qsizetype i = 0;
        while (i < line.size() && IsBlank(line.at(i)))
            ++i;
        Require(line.mid(i, 3) == code, "every line carries the reply's code");
        const bool hyphen = i + 3 < line.size() && line.at(i + 3) == '-';
        Require(hyphen == (n + 1 < lines.size()), "hyphen on every line but the last");
    }
}

struct Outcome {
    std::vector<ReplyParser::Reply> replies;
    ReplyParser::Status last = ReplyParser::Status::Incomplete;
    QByteArray rest;
};

// Takes replies until none is complete, checking each against what was fed, and keeps the
// bookkeeping of what was taken. Returns the status that ended the takes. No copy of the
// buffer is held across a take, so thousands of replies in a full buffer stay affordable.
// While the buffer never had to reach its bound (`exact`), every reply is exactly the front
// of what was fed; past it, a long reply keeps only the start of its text.
ReplyParser::Status TakeAll(ReplyParser &parser, const QByteArray &fed, Outcome &outcome,
                            QByteArray &taken, bool onlyOne, bool exact) {
    for (;;) {
        const qsizetype before = parser.Buffer().size();
        const ReplyParser::Reply reply = parser.Take();
        if (reply.status != ReplyParser::Status::Complete) {
            Require(parser.Buffer().size() == before,
                    "a take without a reply leaves the buffer alone");
            Require(reply.code == 0 && reply.text.isEmpty(), "no reply, no code and no text");
            if (reply.status == ReplyParser::Status::NotSmtp ||
                reply.status == ReplyParser::Status::TooLong)
                Require(!reply.reason.isEmpty(), "a refusal says why");
            return reply.status;
        }
        Require(reply.text.size() <= ReplyParser::MaxReplySize, "reply text within its bound");
        if (reply.text.size() < ReplyParser::MaxReplySize)
            CheckReply(reply); // a text at the bound may end in the middle of a line
        Require(!exact || (before == reply.text.size() + parser.Buffer().size() &&
                           QByteArrayView(fed).sliced(taken.size()).startsWith(reply.text)),
                "a reply is taken off the front, as it was fed");
        taken += reply.text;
        outcome.replies.push_back(reply);
        if (onlyOne)
            return reply.status;
    }
}

// Feeds the pieces one arrival at a time, as the session's socket does. A refusal ends the
// session, as it does in the program.
Outcome Feed(const QByteArrayList &pieces, bool takeOne) {
    ReplyParser parser;
    Outcome outcome;
    QByteArray fed;
    QByteArray taken;
    bool dropped = false; // the buffer reached its bound: long replies were folded or cut
    for (const QByteArray &piece : pieces) {
        const qsizetype room = ReplyParser::MaxReplySize - parser.Buffer().size();
        parser.Append(piece);
        fed += piece;
        if (piece.size() > room)
            dropped = true;
        Require(parser.Buffer().size() <= ReplyParser::MaxReplySize, "buffer within its bound");
        Require(dropped || taken + parser.Buffer() == fed,
                "taken text plus the buffer is what was fed");

        outcome.last = TakeAll(parser, fed, outcome, taken, takeOne, !dropped);
        Require(dropped || taken + parser.Buffer() == fed,
                "taken text plus the buffer is what was fed, after taking");
        if (outcome.last == ReplyParser::Status::NotSmtp ||
            outcome.last == ReplyParser::Status::TooLong) {
            outcome.rest = parser.Buffer();
            parser.Clear();
            Require(parser.IsEmpty() && parser.Take().status == ReplyParser::Status::Incomplete,
                    "a cleared framer is empty");
            return outcome;
        }
    }
    // The last wait of the session takes what is left.
    outcome.last = TakeAll(parser, fed, outcome, taken, false, !dropped);
    outcome.rest = parser.Buffer();
    return outcome;
}

bool SameReplies(const Outcome &a, const Outcome &b) {
    if (a.replies.size() != b.replies.size() || a.last != b.last)
        return false;
    // A refusal may come before the whole of the refused line has arrived.
    if (a.last == ReplyParser::Status::Incomplete && a.rest != b.rest)
        return false;
    for (size_t i = 0; i < a.replies.size(); ++i) {
        if (a.replies[i].code != b.replies[i].code || a.replies[i].text != b.replies[i].text)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t control = data[0];
    const size_t pieceCount = std::min<size_t>(control & PieceCountMask, size - 1);
    const bool takeOne = (control & TakeOneFlag) != 0;
    const bool blowUp = (control & BlowUpFlags) == BlowUpFlags;

    const auto *chars = reinterpret_cast<const char *>(data);
    QByteArray stream(chars + 1 + pieceCount, qsizetype(size - 1 - pieceCount));
    if (blowUp && !stream.isEmpty()) {
        const qsizetype times = ReplyParser::MaxReplySize / stream.size() + 2;
        stream = stream.repeated(times);
    }

    QByteArrayList pieces;
    qsizetype pos = 0;
    for (size_t i = 0; i < pieceCount; ++i) {
        const qsizetype length = qsizetype(data[1 + i]) * (blowUp ? BlowUpUnit : 1);
        pieces.append(stream.mid(pos, length));
        pos = std::min(pos + length, stream.size());
    }
    pieces.append(stream.mid(pos));

    const Outcome chunked = Feed(pieces, takeOne);

    // How the bytes were cut into arrivals must not change the replies, as long as nothing had
    // to be dropped.
    if (stream.size() <= ReplyParser::MaxReplySize) {
        const Outcome whole = Feed({stream}, false);
        Require(SameReplies(chunked, whole), "the same replies whatever the arrivals");
    }
    return 0;
}
