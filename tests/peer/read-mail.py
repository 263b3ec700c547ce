#!/usr/bin/python3
"""Prints one message the SMTP sink saved, as the peer tests check it, one fact a line.

  read-mail.py MESSAGE.eml ENVELOPE.json

Python's own mail parser reads the message, so the checks share no code with the sender.
"""
import email
import email.utils
import hashlib
import json
import sys
from email.header import decode_header, make_header


def text(value):
    return "" if value is None else str(make_header(decode_header(value)))


raw = open(sys.argv[1], "rb").read()
envelope = json.load(open(sys.argv[2]))
msg = email.message_from_bytes(raw)
for name in ("From", "To", "Subject"):
    print(name + ": " + text(msg[name]))
print("Date: " + ("valid" if email.utils.parsedate_tz(msg["Date"]) else "invalid"))
print("Message-ID at: " + msg["Message-ID"].strip("<>").rpartition("@")[2])
print("Bytes: " + ("ASCII" if raw.isascii() else "8-bit"))
print("Envelope: " + envelope["mail_from"] + " to " + ", ".join(envelope["rcpt_tos"]))
print("Login: " + (envelope["login"] or {}).get("user", "none"))
for part in (p for p in msg.walk() if not p.is_multipart()):
    payload = part.get_payload(decode=True)
    if part.get_filename() is None:
        charset = part.get_content_charset()
        print("Text %s: %s" % (charset, payload.decode(charset).replace("\r\n", "|")))
    else:
        print("File %s: %s; %s; sha256 %s" % (part.get_content_type(), part.get_filename(),
                                             text(part.get_param("name")),
                                             hashlib.sha256(payload).hexdigest()))
