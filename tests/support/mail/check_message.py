#!/usr/bin/python3
"""Parses a stored message with the email package's strict policy and prints what a
test needs to know about it as JSON. Exits 2 when the message has a defect."""
import email
import hashlib
import json
import sys
from email import policy
from email.parser import BytesParser


def main():
    raw = open(sys.argv[1], 'rb').read()
    try:
        msg = BytesParser(policy=policy.strict).parsebytes(raw)
        parts = []
        for part in msg.walk():
            if part.is_multipart():
                continue
            payload = part.get_content()
            data = payload.encode('utf-8') if isinstance(payload, str) else payload
            parts.append({
                'type': part.get_content_type(),
                'charset': part.get_content_charset(),
                'encoding': part.get('Content-Transfer-Encoding', ''),
                'filename': part.get_filename(),
                'disposition': part.get_content_disposition(),
                'md5': hashlib.md5(data).hexdigest(),
                'size': len(data),
                'text': payload if isinstance(payload, str) else None,
                'defects': [str(d) for d in part.defects],
            })
        out = {
            'headers': {k: str(v) for k, v in msg.items()},
            'header_count': {k: len(msg.get_all(k)) for k in msg.keys()},
            'type': msg.get_content_type(),
            'parts': parts,
            'defects': [str(d) for d in msg.defects],
            'crlf_only': b'\n' not in raw.replace(b'\r\n', b'') and b'\r' not in raw.replace(b'\r\n', b''),
            'max_line': max(len(l) for l in raw.split(b'\r\n')),
        }
    except Exception as e:  # policy.strict raises on defects
        print(json.dumps({'error': '%s: %s' % (type(e).__name__, e)}))
        return 2
    print(json.dumps(out))
    return 0


if __name__ == '__main__':
    sys.exit(main())
