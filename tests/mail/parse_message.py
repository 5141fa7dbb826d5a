#!/usr/bin/env python3
"""Reads one notification mail (as the server stores it: end of data removed, dots
un-stuffed) from stdin with Python's standard email parser and prints, as JSON, what a
mail reader would find in it."""

import email
import email.policy
import json
import sys


def main():
    raw = sys.stdin.buffer.read()
    msg = email.message_from_bytes(raw, policy=email.policy.default)

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
        "message_id": str(msg["Message-Id"]) if msg["Message-Id"] is not None else None,
        "date": date.datetime.isoformat() if date is not None and date.datetime else None,
        "header_names": list(msg.keys()),
        "defects": defects,
    }
    json.dump(result, sys.stdout, ensure_ascii=True)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
