#!/usr/bin/env python3
"""Fails when a file of the portable core includes anything but the C++ standard library,
the core's own headers (also those the build writes from a core template "<name>.in"), or the
resources' id headers (plain #defines shared with the resource script, so that a command id
has one name everywhere): the core must compile unchanged on every platform."""
import pathlib
import re
import sys

STANDARD = set("""
algorithm any array atomic barrier bit bitset charconv chrono compare complex concepts
condition_variable coroutine deque exception execution expected filesystem format forward_list
fstream functional future initializer_list iomanip ios iosfwd iostream istream iterator latch
limits list locale map memory memory_resource mutex new numbers numeric optional ostream queue
random ranges ratio regex scoped_allocator semaphore set shared_mutex source_location span
sstream stack stdexcept stop_token streambuf string string_view syncstream system_error thread
tuple type_traits typeindex typeinfo unordered_map unordered_set utility valarray variant vector
version cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp csignal
cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype
""".split())

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def is_plain_id_header(path: pathlib.Path) -> bool:
    """A resources header that only defines numbers and includes its neighbours."""
    for line in path.read_text(encoding="utf-8").splitlines():
        match = INCLUDE.match(line)
        if match and (match.group(1) == "<" or not (path.parent / match.group(2)).exists()):
            return False
    return True


def main(root: str) -> int:
    core = pathlib.Path(root)
    resources = core.resolve().parents[1] / "resources"
    bad = []
    for path in sorted(core.rglob("*")):
        if path.suffix not in {".h", ".hpp", ".cpp", ".cc"}:
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            kind, name = match.groups()
            if kind == "<" and name not in STANDARD:
                bad.append(f"{path}:{number}: <{name}> is not a standard C++ header")
            shared = resources / name
            if shared.exists() and is_plain_id_header(shared):
                continue
            if kind == '"' and not any((folder / candidate).exists()
                                       for folder in (path.parent, core)
                                       for candidate in (name, name + ".in")):
                bad.append(f'{path}:{number}: "{name}" is not a header of the core')
    for line in bad:
        print(line, file=sys.stderr)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "src/core"))
