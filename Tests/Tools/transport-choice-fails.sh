#!/bin/sh
# The transport's choice of interfaces is checked at compile time: a build
# that carries none, or gives a switch a value other than 0 or 1, stops
# with the message that says what to set; the same source with a valid
# choice compiles, so the failure is the rule's and nothing else's.
#   transport-choice-fails.sh CXX SOURCE_DIR
set -eu
cxx=$1 root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source=$root/IpmiTransport/Pei/Transaction.cpp
compile() {
  "$cxx" -std=c++20 -ffreestanding -fno-exceptions -fno-rtti -I"$root/Include" -I"$root/Include/Pi" \
    "$@" -c "$source" -o "$work/out.o" >"$work/log" 2>&1
}
status=0
# case FLAGS... -- MESSAGE
expect_failure() {
  message=$1
  shift
  if compile "$@"; then
    echo "FAIL $*: compiled"
    status=1
  elif ! grep -q "$message" "$work/log"; then
    echo "FAIL $*: no \"$message\" in:"
    cat "$work/log"
    status=1
  else
    echo "PASS $*: $message"
  fi
}
for valid in "" "-DOSKEL_TRANSPORT_BT=0" "-DOSKEL_TRANSPORT_KCS=0"; do
  # shellcheck disable=SC2086
  compile $valid || { echo "FAIL the valid choice '$valid' does not compile:"; cat "$work/log"; exit 1; }
done
expect_failure "the transport carries no interface" -DOSKEL_TRANSPORT_KCS=0 -DOSKEL_TRANSPORT_BT=0
expect_failure "are 1 (carried) or 0 (left out)" -DOSKEL_TRANSPORT_BT=2
exit "$status"
