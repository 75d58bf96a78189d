#!/usr/bin/env python3
"""Negative compilation cases: a rule the build enforces is proven by a case
that breaks it and must fail to compile, for the stated reason.

A case sits in the source beside the rule it breaks:

    #if OSKEL_NC_TEST (Name)
    OSKEL_NC_EXPECT ("a regular expression the compiler's output must match");
    ...the mistake...
    #endif

The runner compiles a translation unit once with no case (it must build),
then once with OSKEL_NC_TEST_Name defined to 1 for the case asked for, and
requires that compile to fail with output that matches the expectation.
Whitespace and line breaks inside the markers do not matter.

  negative-compilation.py --list FILE                 the case names of FILE
  negative-compilation.py --case NAME --source FILE [--unit TU] -- COMPILER FLAGS...

FILE holds the case; TU is the translation unit compiled (FILE itself when
it is a .cpp file; a .cpp that includes it when FILE is a header).
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile

CASE = re.compile(r"^[ \t]*#[ \t]*if[ \t]+OSKEL_NC_TEST[ \t]*\([ \t]*(\w+)[ \t]*\)", re.M)
EXPECT = re.compile(r"OSKEL_NC_EXPECT\s*\(\s*((?:\"(?:[^\"\\]|\\.)*\"\s*)+)\)", re.S)


def cases(path):
    """{name: expected regex} of every case in path."""
    with open(path) as f:
        text = f.read()
    found = {}
    starts = list(CASE.finditer(text))
    for index, match in enumerate(starts):
        end = starts[index + 1].start() if index + 1 < len(starts) else len(text)
        expect = EXPECT.search(text, match.end(), end)
        if not expect:
            sys.exit("%s: case %s has no OSKEL_NC_EXPECT before the next case" % (path, match.group(1)))
        # Adjacent string literals, unescaped as C does for \" and \\.
        pieces = re.findall(r"\"((?:[^\"\\]|\\.)*)\"", expect.group(1))
        regex = "".join(re.sub(r"\\(.)", r"\1", piece) for piece in pieces)
        if match.group(1) in found:
            sys.exit("%s: case %s is there twice" % (path, match.group(1)))
        found[match.group(1)] = regex
    return found


def compile_unit(command, unit, defines):
    with tempfile.TemporaryDirectory(prefix="oskel-nc-") as work:
        result = subprocess.run(command + ["-fsyntax-only"] + ["-D%s=1" % d for d in defines] + [unit],
                                capture_output=True, text=True, cwd=work)
    return result.returncode, result.stdout + result.stderr


def main(argv):
    parser = argparse.ArgumentParser(description="Negative compilation cases")
    parser.add_argument("--list", metavar="FILE", help="print the case names of FILE")
    parser.add_argument("--case", metavar="NAME")
    parser.add_argument("--source", metavar="FILE")
    parser.add_argument("--unit", metavar="TU")
    parser.add_argument("command", nargs=argparse.REMAINDER, help="-- COMPILER FLAGS...")
    args = parser.parse_args(argv)
    if args.list:
        print("\n".join(sorted(cases(args.list))))
        return 0
    if not (args.case and args.source and args.command):
        parser.error("--case, --source and the compiler command after -- are needed")
    command = args.command[1:] if args.command[0] == "--" else args.command
    unit = args.unit or args.source
    expected = cases(args.source).get(args.case)
    if expected is None:
        print("FAIL %s has no case %s" % (args.source, args.case))
        return 1
    status, out = compile_unit(command, unit, [])
    if status != 0:
        print("FAIL %s does not compile without any case, so no case can prove anything:\n%s" % (unit, out[:3000]))
        return 1
    status, out = compile_unit(command, unit, ["OSKEL_NC_TEST_" + args.case])
    if status == 0:
        print("FAIL %s: %s compiled with the mistake in it" % (args.case, os.path.basename(unit)))
        return 1
    match = re.search(expected, out)
    if not match:
        print("FAIL %s: the compile failed without a message matching \"%s\":\n%s" % (args.case, expected, out[:3000]))
        return 1
    line = next((l for l in out.splitlines() if re.search(expected, l)), match.group(0))
    print("PASS %s: %s" % (args.case, line.strip()))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
