#include "replyparser.h"

#include <algorithm>

namespace {

constexpr int ExcerptLength = 60;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Control characters other than the tab (and the CR of a line end, removed before this test)
// never occur in a reply; they mean the server is not speaking SMTP.
bool IsBinary(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x20 && c != '\t') || u == 0x7f;
}

// The start of a refused line, readable on the result line whatever bytes it holds.
QString Excerpt(const QByteArray &line) {
    QString out;
    for (qsizetype i = 0; i < line.size() && i < ExcerptLength; ++i) {
        const auto u = static_cast<unsigned char>(line[i]);
        if (u < 0x20 || u >= 0x7f)
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            out += QLatin1Char(line[i]);
    }
    if (line.size() > ExcerptLength)
        out += QStringLiteral("...");
    return QLatin1Char('"') + out + QLatin1Char('"');
}

struct LineCheck {
    enum class Kind { Partial, Continued, Last, Refused } kind;
    int code = 0;
    QString reason;
};

// Judges one line (without its LF; `complete` says whether the LF has arrived). A partial line
// is refused as soon as what has arrived cannot begin a reply line.
LineCheck CheckLine(QByteArray line, bool complete) {
    if (complete && line.endsWith('\r'))
        line.chop(1);
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (IsBinary(line[i]) && !(!complete && i == line.size() - 1 && line[i] == '\r'))
            return {LineCheck::Kind::Refused, 0, QStringLiteral("binary data ") + Excerpt(line)};
    }
    qsizetype i = 0;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    if (complete && i == line.size())
        return {LineCheck::Kind::Refused, 0, QStringLiteral("an empty line")};
    const auto refused = [&line] {
        return LineCheck{LineCheck::Kind::Refused, 0, Excerpt(line)};
    };
    int code = 0;
    for (int k = 0; k < 3; ++k, ++i) {
        if (i >= line.size() || (!complete && k == 0 && line[i] == '\r')) {
            if (complete)
                return refused();
            return {LineCheck::Kind::Partial, 0, {}};
        }
        const char c = line[i];
        if (!IsDigit(c) || (k == 0 && (c < '1' || c > '5')))
            return refused();
        code = code * 10 + (c - '0');
    }
    if (i == line.size())
        return {complete ? LineCheck::Kind::Last : LineCheck::Kind::Partial, code, {}};
    const char separator = line[i];
    if (separator == '-')
        return {complete ? LineCheck::Kind::Continued : LineCheck::Kind::Partial, code, {}};
    if (separator == ' ' || (!complete && separator == '\r' && i == line.size() - 1))
        return {complete ? LineCheck::Kind::Last : LineCheck::Kind::Partial, code, {}};
    return refused();
}

} // namespace

void ReplyParser::Append(const QByteArray &bytes) {
    // Once bytes were lost, whatever comes later would be joined to a reply cut off in the
    // middle; the reply stream is broken for good and only Clear() starts it afresh.
    if (m_overflow)
        return;
    QByteArrayView in(bytes);
    if (m_skipLine) {
        const qsizetype lf = in.indexOf('\n');
        if (lf < 0)
            return;
        m_skipLine = false;
        in = in.sliced(lf); // the line end stays: it ends the line that was cut
    }
    m_buffer.append(in);
    if (m_buffer.size() <= MaxReplySize)
        return;
    Fold();
    if (m_buffer.size() <= MaxReplySize)
        return;
    if (m_buffer.indexOf('\n') < 0) {
        // One line longer than the buffer: its start (the code) is kept, its end is not.
        m_buffer.truncate(MaxReplySize);
        m_skipLine = true;
        return;
    }
    m_buffer.truncate(MaxReplySize);
    m_overflow = true;
}

void ReplyParser::Fold() {
    qsizetype pos = 0;
    for (;;) {
        const qsizetype lf = m_buffer.indexOf('\n', pos);
        if (lf < 0)
            break;
        const LineCheck check = CheckLine(m_buffer.mid(pos, lf - pos), true);
        if (check.kind != LineCheck::Kind::Continued ||
            (m_keptCode != 0 && check.code != m_keptCode))
            break; // the last line, or a line Take() will refuse
        m_keptCode = check.code;
        const qsizetype room = MaxReplySize - m_kept.size();
        m_kept.append(QByteArrayView(m_buffer).sliced(pos, std::min(room, lf + 1 - pos)));
        pos = lf + 1;
    }
    m_buffer.remove(0, pos);
}

ReplyParser::Reply ReplyParser::Take() {
    Reply reply;
    qsizetype pos = 0;
    int firstCode = m_keptCode;
    for (;;) {
        const qsizetype lf = m_buffer.indexOf('\n', pos);
        const bool complete = lf >= 0;
        const qsizetype end = complete ? lf : m_buffer.size();
        const LineCheck check = CheckLine(m_buffer.mid(pos, end - pos), complete);
        if (check.kind == LineCheck::Kind::Refused) {
            reply.status = Status::NotSmtp;
            reply.reason = check.reason;
            return reply;
        }
        if (check.kind == LineCheck::Kind::Partial) {
            if (m_overflow) {
                reply.status = Status::TooLong;
                reply.reason = QStringLiteral("more than %1 bytes").arg(MaxReplySize);
            }
            return reply;
        }
        if (firstCode == 0) {
            firstCode = check.code;
        } else if (check.code != firstCode) {
            reply.status = Status::NotSmtp;
            reply.reason = QStringLiteral("code %1 in a reply that began with %2")
                               .arg(check.code)
                               .arg(firstCode);
            return reply;
        }
        pos = lf + 1;
        if (check.kind == LineCheck::Kind::Last) {
            reply.status = Status::Complete;
            reply.code = firstCode;
            reply.text = m_kept + m_buffer.left(std::min(pos, MaxReplySize - m_kept.size()));
            m_buffer.remove(0, pos);
            m_kept.clear();
            m_keptCode = 0;
            return reply;
        }
    }
}

void ReplyParser::Clear() {
    m_buffer.clear();
    m_kept.clear();
    m_keptCode = 0;
    m_skipLine = false;
    m_overflow = false;
}
