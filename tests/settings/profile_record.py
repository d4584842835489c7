"""Reads and writes profiles.bin with Python's struct module, independently of
Orvanto's own code.

    profile_record.py read FILE          prints the records as JSON
    profile_record.py write FILE JSON    writes the records given as JSON
"""
import json
import struct
import sys

RECORD = struct.Struct("<B256s256s256sb256s256s256sbbbb")
assert RECORD.size == 1542
FIELDS = ("mark", "name", "incoming", "outgoing", "protocol", "user", "password",
          "reply", "input", "output", "savePass", "requirePass")
TEXTS = {"name", "incoming", "outgoing", "user", "password", "reply"}


def read(path):
    with open(path, "rb") as f:
        data = f.read()
    records = []
    for index in range(len(data) // RECORD.size):
        values = RECORD.unpack_from(data, index * RECORD.size)
        record = {}
        for field, value in zip(FIELDS, values):
            if field in TEXTS:
                text, _, rest = value.partition(b"\0")
                record[field] = text.decode("utf-8")
                # A field is its text, then zero bytes only, at least one of them.
                record[field + "Padded"] = len(text) < 256 and rest.count(0) == len(rest)
            else:
                record[field] = value
        records.append(record)
    json.dump(records, sys.stdout)


def write(path, text):
    records = json.loads(text)
    with open(path, "wb") as f:
        for record in records:
            values = [record[field].encode("utf-8") if field in TEXTS else record[field]
                      for field in FIELDS]
            f.write(RECORD.pack(*values))


if __name__ == "__main__":
    {"read": read, "write": write}[sys.argv[1]](*sys.argv[2:])
