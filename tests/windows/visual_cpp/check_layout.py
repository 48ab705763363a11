#!/usr/bin/env python3
"""Checks, in built Windows images, what a 32-bit Windows host cannot be asked here: that a class's
vtable holds, in slot 0, Visual C++'s deleting destructor and, in slot 1, the interface's operation,
and that on 32-bit x86 both pop their arguments as thiscall does (ret $4 for the flags word, ret $8
for the two arguments). The images need their COFF symbol table (mingw-w64 keeps it; lld-link
writes it with /debug:symtab).

  check_layout.py OBJDUMP --vtable IMAGE VTABLE SLOT0 SLOT1 [--vtable ...]

VTABLE, SLOT0 and SLOT1 are regular expressions that a symbol's whole name must match. Visual
C++'s vtable symbol (??_7...) is where slot 0 is; g++'s (_ZTV...) is the whole table, whose slot 0
comes after two words (offset to top and type information).
"""
import argparse
import re
import subprocess
import sys

SYMBOL = re.compile(r"^\[\s*\d+\]\(sec\s+(\d+)\)\(fl 0x[0-9a-f]+\)\(ty\s+([0-9a-f]+)\)\(scl\s+(\d+)\) \(nx \d+\) 0x([0-9a-f]+) (.+)$")
SECTION = re.compile(r"^\s*(\d+) (\S+)\s+([0-9a-f]+)\s+([0-9a-f]+)\s")
RET = re.compile(r"\bret[lq]?\b\s*(\$0x[0-9a-f]+)?")


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


class image:
    def __init__(self, objdump, path):
        self.objdump, self.path = objdump, path
        headers = run(objdump, "-h", path)
        self.bits = 64 if "x86-64" in headers else 32
        self.sections = {}  # 1-based COFF section number -> virtual address
        for line in headers.splitlines():
            found = SECTION.match(line)
            if found:
                self.sections[int(found.group(1)) + 1] = int(found.group(4), 16)
        self.symbols = []  # (address, name, is_function)
        for line in run(objdump, "-t", path).splitlines():
            found = SYMBOL.match(line)
            if not found or int(found.group(1)) not in self.sections:
                continue
            address = self.sections[int(found.group(1))] + int(found.group(4), 16)
            self.symbols.append((address, found.group(5), found.group(2) == "20"))
        self.symbols.sort()

    def find(self, pattern):
        names = [(address, name) for address, name, _ in self.symbols if re.fullmatch(pattern, name)]
        if not names:
            raise LookupError(f"no symbol matching {pattern!r} in {self.path}")
        return names[0]

    def function_at(self, address):
        names = [name for at, name, function in self.symbols if at == address and function]
        return names[0] if names else f"0x{address:x} (no function symbol)"

    def words(self, address, count):
        size = self.bits // 8
        dump = run(self.objdump, "-s", f"--start-address=0x{address:x}", f"--stop-address=0x{address + count * size:x}", self.path)
        data = bytes()
        for line in dump.splitlines():
            found = re.match(r"^ ([0-9a-f]+) ((?:[0-9a-f]{2,8} ){1,4})", line)
            if found:
                data += bytes.fromhex(found.group(2).replace(" ", ""))
        return [int.from_bytes(data[i * size:(i + 1) * size], "little") for i in range(count)]

    def returns(self, name):
        """The argument bytes each ret of the function pops (0 for a plain ret)."""
        start = self.find(re.escape(name))[0]
        later = [at for at, _, _ in self.symbols if at > start]
        stop = min(later) if later else start + 4096
        code = run(self.objdump, "-d", f"--start-address=0x{start:x}", f"--stop-address=0x{stop:x}", self.path)
        pops = []
        for line in code.splitlines():
            found = RET.search(line.split("\t")[-1]) if "\t" in line else None
            if found:
                pops.append(int(found.group(1)[1:], 16) if found.group(1) else 0)
        return pops


def check(objdump, path, vtable, slot0, slot1):
    binary = image(objdump, path)
    address, table = binary.find(vtable)
    skipped = 2 if "_ZTV" in table else 0
    slots = binary.words(address, skipped + 2)[skipped:]
    problems = []
    for index, (slot, pattern, pops) in enumerate(zip(slots, (slot0, slot1), (4, 8))):
        name = binary.function_at(slot)
        if not re.fullmatch(pattern, name):
            problems.append(f"slot {index} of {table} is {name}, not {pattern}")
            continue
        if binary.bits == 32:
            popped = binary.returns(name)
            if not popped or any(each != pops for each in popped):
                problems.append(f"slot {index} of {table}, {name}, returns popping {popped} bytes, not {pops} (thiscall)")
    where = f"{path.rsplit('/', 1)[-1]} {table}"
    for problem in problems:
        print(f"FAIL {where}: {problem}")
    if not problems:
        detail = ", popping 4 and 8 bytes (thiscall)" if binary.bits == 32 else ""
        print(f"ok   {where}: slot 0 {binary.function_at(slots[0])}, slot 1 {binary.function_at(slots[1])}{detail}")
    return not problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("objdump")
    parser.add_argument("--vtable", nargs=4, action="append", required=True, metavar=("IMAGE", "VTABLE", "SLOT0", "SLOT1"))
    arguments = parser.parse_args()
    passed = True
    for each in arguments.vtable:
        try:
            passed = check(arguments.objdump, *each) and passed
        except (LookupError, subprocess.CalledProcessError) as problem:
            print(f"FAIL {each[0]}: {problem}")
            passed = False
    sys.exit(0 if passed else 1)


if __name__ == "__main__":
    main()
