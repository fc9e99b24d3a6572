"""A small zip writer for the hostile workbooks: entries are written exactly as given (no
normalising of names, no reordering), and a deflated payload can be given already compressed, so
a hundred copies of a twelve-megabyte picture cost one compression."""
import struct
import zlib

STORED = 0
DEFLATED = 8


class Payload:
    """The bytes of an entry, compressed once however often it is written."""

    def __init__(self, data, method=DEFLATED):
        self.size = len(data)
        self.crc = zlib.crc32(data) & 0xFFFFFFFF
        self.method = method
        if method == DEFLATED:
            c = zlib.compressobj(9, zlib.DEFLATED, -15)
            self.data = c.compress(data) + c.flush()
        else:
            self.data = data


def write_zip(path, entries):
    """entries: (name, bytes | str | Payload[, method]) in the order they are written."""
    local, central = bytearray(), bytearray()
    for entry in entries:
        name, payload = entry[0], entry[1]
        if not isinstance(payload, Payload):
            data = payload.encode() if isinstance(payload, str) else payload
            payload = Payload(data, entry[2] if len(entry) > 2 else DEFLATED)
        raw_name = name.encode()
        offset = len(local)
        fixed = (20, 0, payload.method, 0, 0x21, payload.crc, len(payload.data), payload.size)
        local += struct.pack("<IHHHHHIIIHH", 0x04034B50, *fixed, len(raw_name), 0)
        local += raw_name + payload.data
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, *fixed, len(raw_name), 0, 0,
                               0, 0, 0, offset)
        central += raw_name
    count = len(entries)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(central), len(local), 0)
    with open(path, "wb") as f:
        f.write(local + central + end)
