#!/bin/sh
# Coverage of the module, seen from both sides:
#  1. the host tests built with gcc --coverage (-O0, build/coverage), run,
#     then line and branch coverage per file of every folder in FOLDERS
#     from gcovr; fails when the module's line coverage is below LINE_FLOOR
#     or its branch coverage below BRANCH_FLOOR, or the IPMI transport's
#     (every interface) below TRANSPORT_LINE_FLOOR or TRANSPORT_BRANCH_FLOOR;
#  2. what the committed fuzz corpora alone reach: each fuzzer built by
#     clang with -fprofile-instr-generate -fcoverage-mapping
#     (build/coverage-fuzz), its corpus replayed with -runs=0, then
#     llvm-cov per file of the same folders. Reported, not enforced.
# Branches are gcov's, counted by gcovr with --exclude-unreachable-branches
# (branches the compiler adds on lines holding no code of their own) and
# --exclude-throw-branches (exception edges; the module has none). A line
# or a branch that cannot run from any caller is excluded in the source
# with GCOVR_EXCL_LINE and a reason beside it.
#   Tools/coverage.sh [--no-fuzz]
set -eu
cd "$(dirname "$0")/.."
FOLDERS="OskelCommands/Pei/ IpmiTransport/Pei/"
LINE_FLOOR=98
BRANCH_FLOOR=94
# The IPMI transport: the lines and branches left are the KCS abort's own
# waits running out, and a HOB list the PEI core cannot give.
TRANSPORT_LINE_FLOOR=98
TRANSPORT_BRANCH_FLOOR=92
fuzz=1
[ "${1:-}" = "--no-fuzz" ] && fuzz=0
Tools/install-deps.sh gcovr
root=$(pwd)
build=build/coverage

echo "== host tests with gcc --coverage"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
  -DCMAKE_C_FLAGS="--coverage" -DCMAKE_CXX_FLAGS="--coverage" -DCMAKE_EXE_LINKER_FLAGS="--coverage" \
  -DOSKEL_BUILD_FIRMWARE=OFF >/dev/null
# SSIF is carried only by the transport its own suite links (all three
# interfaces); both programs' counts are merged per source file.
cmake --build "$build" --target OskelTests OskelTransportSsifTests -j2
find "$build" -name '*.gcda' -delete
"$build/OskelTests" --gtest_brief=1
"$build/OskelTransportSsifTests" --gtest_brief=1

status=0
for folder in $FOLDERS; do
  filter="$root/$folder"
  line_floor=$LINE_FLOOR
  branch_floor=$BRANCH_FLOOR
  case $folder in IpmiTransport/*) line_floor=$TRANSPORT_LINE_FLOOR branch_floor=$TRANSPORT_BRANCH_FLOOR ;; esac
  echo "== $folder: host tests, per file"
  gcovr -r . --filter "$filter" --exclude-unreachable-branches --exclude-throw-branches \
    --exclude-directories '.*/CompilerId.*' \
    --json-summary "$build/summary.json" --json "$build/coverage.json" "$build" >/dev/null
  python3 - "$build/summary.json" "$folder" "$line_floor" "$branch_floor" <<'PY' || status=1
import json, sys
summary, folder, line_floor, branch_floor = sys.argv[1], sys.argv[2], float(sys.argv[3]), float(sys.argv[4])
data = json.load(open(summary))
row = "| {:<48} | {:>14} | {:>14} |"
print(row.format("File", "Lines", "Branches"))
print(row.format("-" * 48, "-" * 14, "-" * 14))
def cell(covered, total):
    return "{}/{} {:5.1f} %".format(covered, total, 100.0 * covered / total if total else 100.0)
for f in sorted(data["files"], key=lambda f: f["filename"]):
    print(row.format("`" + f["filename"][len(folder):] + "`", cell(f["line_covered"], f["line_total"]),
                     cell(f["branch_covered"], f["branch_total"])))
lines = 100.0 * data["line_covered"] / data["line_total"]
branches = 100.0 * data["branch_covered"] / data["branch_total"]
print(row.format("total", cell(data["line_covered"], data["line_total"]), cell(data["branch_covered"], data["branch_total"])))
failed = False
if lines < line_floor:
    print("FAIL: {} line coverage {:.2f} % is below {} %".format(folder, lines, line_floor))
    failed = True
if branches < branch_floor:
    print("FAIL: {} branch coverage {:.2f} % is below {} %".format(folder, branches, branch_floor))
    failed = True
if not failed:
    print("{}: lines {:.2f} % (floor {} %), branches {:.2f} % (floor {} %)".format(folder, lines, line_floor, branches, branch_floor))
sys.exit(1 if failed else 0)
PY
  echo "-- $folder: lines not run, and lines with a branch not taken"
  python3 - "$build/coverage.json" "$folder" <<'PY'
import json, sys
data, folder = json.load(open(sys.argv[1])), sys.argv[2]
for f in sorted(data["files"], key=lambda f: f["file"]):
    for line in f["lines"]:
        if line.get("gcovr/noncode"):
            continue
        branches = line.get("branches", [])
        taken = sum(1 for b in branches if b["count"] > 0)
        if line["count"] == 0:
            print("{}:{}: not run".format(f["file"], line["line_number"]))
        elif taken < len(branches):
            print("{}:{}: {} of {} branches taken".format(f["file"], line["line_number"], taken, len(branches)))
PY
done

if [ "$fuzz" -eq 1 ]; then
  fbuild=build/coverage-fuzz
  Tools/install-deps.sh clang libclang-rt-14-dev llvm
  echo "== fuzz corpora replayed under clang source-based coverage"
  cmake -S . -B "$fbuild" -G Ninja -DCMAKE_BUILD_TYPE= -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DOSKEL_FUZZ=ON -DOSKEL_FUZZ_OPT=-O1 \
    -DCMAKE_C_FLAGS="-fprofile-instr-generate -fcoverage-mapping" \
    -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping" \
    -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" \
    -DOSKEL_BUILD_TESTS=OFF -DOSKEL_BUILD_FIRMWARE=OFF >/dev/null
  for source in Fuzz/*Fuzzer.cpp; do
    harness=$(basename "$source" Fuzzer.cpp | tr 'A-Z' 'a-z')
    cmake --build "$fbuild" --target "oskel-$harness-fuzzer" -j2 >/dev/null
    rm -f "$fbuild/$harness".profraw
    LLVM_PROFILE_FILE="$fbuild/$harness.profraw" "$fbuild/oskel-$harness-fuzzer" -runs=0 "Fuzz/corpus/$harness" \
      >"$fbuild/$harness-replay.log" 2>&1
    llvm-profdata merge -sparse "$fbuild/$harness.profraw" -o "$fbuild/$harness.profdata"
    for folder in $FOLDERS; do
      echo "== $folder: what Fuzz/corpus/$harness alone covers"
      llvm-cov report "$fbuild/oskel-$harness-fuzzer" -instr-profile="$fbuild/$harness.profdata" \
        "$root/$folder" | sed "s|$root/$folder||"
    done
  done
fi
exit "$status"
