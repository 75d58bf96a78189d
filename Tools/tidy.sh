#!/bin/sh
# Runs clang-tidy (the checks of .clang-tidy) over the sources of both
# PEIMs, as the host libraries build them (the transport also with all
# three interfaces) for x86_64 and for -m32, so the
# IA32 branches are analysed too. Any finding fails. The compile database
# comes from a configure-only CMake tree; options only GCC knows are
# dropped, since clang-tidy parses with clang.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/Tools/install-deps.sh" clang-tidy
work=${OSKEL_TIDY_DIR:-$root/build/tidy}
for width in x64 ia32; do
  flags=""
  [ "$width" = ia32 ] && flags=-m32
  cmake -S "$root" -B "$work/$width" -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DOSKEL_BUILD_FIRMWARE=OFF -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
  # The host libraries of the two PEIMs, nothing else.
  python3 - "$work/$width" <<'PY'
import json, os, shlex, sys
tree = sys.argv[1]
gcc_only = ("-fno-tree-loop-distribute-patterns", "-fcallgraph-info=su", "-fstack-usage")
entries = json.load(open(os.path.join(tree, "compile_commands.json")))
out = []
for e in entries:
    # The transport as its default build and as the build with all three
    # interfaces (SSIF's code is compiled only there).
    if e["file"].endswith(".cpp") and any(t in e["command"] for t in ("/OskelCommandsPei.dir/", "/IpmiTransportPei.dir/", "/IpmiTransportPeiAll.dir/")):
        args = [a for a in shlex.split(e["command"]) if a not in gcc_only]
        out.append({"directory": e["directory"], "file": e["file"], "arguments": args})
os.makedirs(os.path.join(tree, "pei"), exist_ok=True)
json.dump(out, open(os.path.join(tree, "pei", "compile_commands.json"), "w"), indent=1)
PY
done
status=0
for width in x64 ia32; do
  files=$(python3 -c "import json,sys; print(' '.join(e['file'] for e in json.load(open(sys.argv[1]))))" "$work/$width/pei/compile_commands.json")
  echo "tidy: $width, $(echo "$files" | wc -w) sources"
  # shellcheck disable=SC2086
  clang-tidy -p "$work/$width/pei" --quiet $files >"$work/$width.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    grep -E 'warning:|error:' "$work/$width.log" | sort -u
    echo "tidy: FAIL ($width): findings above, full log $work/$width.log"
    exit 1
  fi
done
echo "tidy: PASS, no finding in either PEIM (x64 and ia32)"
