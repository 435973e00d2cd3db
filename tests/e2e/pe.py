"""What a Windows executable asks of the loader, read from its PE headers: the DLLs it imports at load
time, the ones it delay-loads, and its load configuration's DependentLoadFlags."""
import struct
from pathlib import Path

IMPORTS, LOAD_CONFIG, DELAY_IMPORTS = 1, 10, 13  # data directory entries
DEPENDENT_LOAD_FLAGS = 78  # offset in IMAGE_LOAD_CONFIG_DIRECTORY64


class Image:
    def __init__(self, path):
        self.data = Path(path).read_bytes()
        assert self.data[:2] == b"MZ", f"{path} is not an executable"
        pe = self._u32(0x3C)
        assert self.data[pe:pe + 4] == b"PE\0\0", f"{path} has no PE header"
        sections, opt_size = struct.unpack_from("<2xH12xH", self.data, pe + 4)
        opt = pe + 24
        assert self._u16(opt) == 0x20B, f"{path} is not a 64-bit image"
        count = self._u32(opt + 108)
        self.directories = [struct.unpack_from("<II", self.data, opt + 112 + 8 * i) for i in range(count)]
        table = opt + opt_size
        self.sections = [struct.unpack_from("<8xIIII", self.data, table + 40 * i) for i in range(sections)]

    def _u16(self, off):
        return struct.unpack_from("<H", self.data, off)[0]

    def _u32(self, off):
        return struct.unpack_from("<I", self.data, off)[0]

    def offset(self, rva):
        for vsize, vaddr, rsize, raw in self.sections:
            if vaddr <= rva < vaddr + max(vsize, rsize):
                return raw + rva - vaddr
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def _name(self, rva):
        off = self.offset(rva)
        return self.data[off:self.data.index(b"\0", off)].decode("ascii")

    def _directory(self, entry):
        return self.directories[entry] if entry < len(self.directories) else (0, 0)

    def _table(self, entry, record, name_at):
        rva, _ = self._directory(entry)
        names = []
        off = self.offset(rva) if rva else None
        while off is not None:
            fields = self.data[off:off + record]
            if fields == b"\0" * record:
                break
            names.append(self._name(struct.unpack_from("<I", fields, name_at)[0]))
            off += record
        return names

    def imports(self):
        """DLL names of the import directory, as written."""
        return self._table(IMPORTS, 20, 12)

    def delay_imports(self):
        return self._table(DELAY_IMPORTS, 32, 4)

    def dependent_load_flags(self):
        """The load configuration's DependentLoadFlags; None without a load configuration."""
        rva, size = self._directory(LOAD_CONFIG)
        if not rva or size < DEPENDENT_LOAD_FLAGS + 2:
            return None
        return self._u16(self.offset(rva) + DEPENDENT_LOAD_FLAGS)
