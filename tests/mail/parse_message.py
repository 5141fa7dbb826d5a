#!/usr/bin/env python3
"""Reads one notification mail (as the server stores it: end of data removed, dots
un-stuffed) from stdin with Python's standard email parser and prints, as JSON, what a
mail reader would find in it."""

import email
import email.header
import email.policy
import json
import sys


def decoded(raw, name):
    """A header as an RFC 2047 reader shows it: unfolded, encoded words decoded (also in
    comments), the blanks between two adjacent encoded words dropped."""
    value = raw[name]
    if value is None:
        return None
    return str(email.header.make_header(email.header.decode_header(value)))


def addresses(header):
    if header is None:
        return None
    return [[a.display_name, a.addr_spec] for a in header.addresses]


def main():
    raw = sys.stdin.buffer.read()
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    legacy = email.message_from_bytes(raw)  # header values as they stand on the wire

    defects = [type(d).__name__ for part in msg.walk() for d in part.defects]
    parts = []
    if msg.is_multipart():
        for part in msg.iter_parts():
            parts.append({
                "content_type": part.get_content_type(),
                "charset": part.get_content_charset(),
                "transfer_encoding": part.get("Content-Transfer-Encoding"),
                # get_content() undoes the transfer encoding and the charset.
                "content": part.get_content() if part.get_content_maintype() == "text" else None,
            })

    date = msg["Date"]
    result = {
        "content_type": msg.get_content_type(),
        "boundary": msg.get_boundary(),
        "is_multipart": msg.is_multipart(),
        "parts": parts,
        "subject": str(msg["Subject"]) if msg["Subject"] is not None else None,
        "from": str(msg["From"]) if msg["From"] is not None else None,
        "to": str(msg["To"]) if msg["To"] is not None else None,
        "from_decoded": decoded(legacy, "From"),
        "to_decoded": decoded(legacy, "To"),
        "from_addresses": addresses(msg["From"]),
        "to_addresses": addresses(msg["To"]),
        "address_defects": [type(d).__name__ for name in ("From", "To")
                            if msg[name] is not None for d in msg[name].defects],
        "message_id": str(msg["Message-Id"]) if msg["Message-Id"] is not None else None,
        "date": date.datetime.isoformat() if date is not None and date.datetime else None,
        "header_names": list(msg.keys()),
        "defects": defects,
    }
    json.dump(result, sys.stdout, ensure_ascii=True)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
