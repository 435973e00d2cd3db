"""setup.ini contents for fuzzing start-up: random bytes, valid files cut short, long fields, stray quotes,
NULs and odd line ends. Deterministic for a given random.Random."""

VALID = [
    b"2\r\n1\r\n0\r\nC:\\Output\r\n",
    b"11,7,1,\"D:\\pages, scanned\"\r\n",
    b"\xef\xbb\xbf5\r\n3\r\n1\r\nZ:\\tmp\\\xc3\xa9t\xc3\xa9\r\n",
    b"-1\n-1\n-1\nC:\\Out\n",
    b" 3 , 2 , 1 , C:\\with blanks \r\n",
    b"0\r\n0\r\n0\r\n\r\n",
]
DIGITS = b"0123456789"
ODD = [b",", b"\r\n", b"\r", b"\n", b'"', b"\x00", b"\xef\xbb\xbf", b"\xff\xfe", b"-", b".", b"e", b"\t", b" "]


def _random_bytes(rng):
    return bytes(rng.randrange(256) for _ in range(rng.choice([0, 1, 2, 7, 64, 700, 4096])))


def _truncated(rng):
    data = rng.choice(VALID)
    return data[:rng.randrange(len(data) + 1)]


def _long_field(rng):
    fields = [b"1", b"2", b"1", b"C:\\x"]
    at = rng.randrange(4)
    # The folder goes into Wine's edit control, whose time grows with the square of the text: 70,000
    # characters cost 7 s there. Numbers never reach a control and can be longer.
    size = rng.choice([300, 4096, 40000] if at == 3 else [300, 4096, 70000, 300000])
    filler = rng.choice([DIGITS, b"abcXYZ\\/:", bytes(range(32, 127)), b"9"])
    field = bytes(rng.choice(filler) for _ in range(64)) * (size // 64)
    fields[at] = field
    if rng.random() < 0.3:
        field = b'"' + field + b'"'
    return b"\r\n".join(fields) + b"\r\n"


def _quotes(rng):
    parts = []
    for _ in range(rng.randrange(1, 12)):
        parts.append(rng.choice([b'"', b'""', b'"1', b'2"', b'"C:\\a,b"', b"3", b",", b"\r\n", b'"\r\n', b"x"]))
    return b"".join(parts)


def _nuls(rng):
    data = bytearray(rng.choice(VALID))
    for _ in range(rng.randrange(1, 6)):
        data.insert(rng.randrange(len(data) + 1), 0)
    return bytes(data)


def _mixed(rng):
    """Number-like junk and separators in random order: signs, exponents, huge numbers, odd line ends."""
    pieces = [b"1e3", b"0x1", b"+2", b"-0", b"2.5", b"3.5", b"99999999999999999999", b"-32769", b"32767",
              b"12", b"8", b"\xe9", b"\xc3", b"nan", b"inf", b"1,5"]
    return b"".join(rng.choice(pieces + ODD) for _ in range(rng.randrange(1, 30)))


KINDS = [("random", _random_bytes, 50), ("truncated", _truncated, 50), ("long field", _long_field, 30),
         ("quotes", _quotes, 30), ("NULs", _nuls, 20), ("mixed", _mixed, 20)]


def fuzzed_setup_files(rng, count=200):
    """[(kind, bytes)]: `count` files, the kinds in the proportions of KINDS, in a shuffled order."""
    total = sum(n for _, _, n in KINDS)
    cases = []
    for kind, make, share in KINDS:
        cases += [(kind, make(rng)) for _ in range(round(count * share / total))]
    rng.shuffle(cases)
    return cases[:count]
