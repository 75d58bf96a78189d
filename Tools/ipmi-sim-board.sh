# Sourced by the scripts that start OpenIPMI's ipmi_sim as a BMC on
# loopback. ipmi_sim_files DIR SERIAL [LAN PLUGIN BMC [INTERFACE]] writes
# DIR/lan.conf and DIR/emulation and makes DIR/state: the serial system
# interface (reported as INTERFACE, kcs unless given, or bt) with QEMU's
# VM codec on 127.0.0.1:SERIAL; with LAN, an IPMI-over-LAN interface
# on 127.0.0.1:LAN for ipmitool (user admin, password secret); with PLUGIN,
# that shared object loaded with "bmc=BMC". The emulated BMC answers Get
# Device ID as device 22h, revision 3, firmware 1.05, IPMI 2.0, support
# 9Fh, manufacturer 00BEEFh, product 1234h.

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

ipmi_sim_files() {
  mkdir -p "$1/state"
  {
    echo 'name "oskelbmc"'
    echo 'set_working_mc 0x20'
    if [ -n "${3:-}" ]; then
      echo 'startlan 1'
      echo "  addr 127.0.0.1 $3"
      echo '  priv_limit admin'
      for level in callback user operator admin; do
        echo "  allowed_auths_$level none md2 md5 straight"
      done
      echo '  guid a123456789abcdefa123456789abcdef'
      echo 'endlan'
    fi
    echo "serial ${6:-kcs} 127.0.0.1 $2 codec VM"
    [ -n "${3:-}" ] && echo 'user 2 true "admin" "secret" admin 10 none md2 md5 straight'
    [ -n "${4:-}" ] && echo "loadlib \"$4\" \"bmc=${5:-0}\""
    true
  } >"$1/lan.conf"
  cat >"$1/emulation" <<EMU
mc_setbmc 0x20
mc_add 0x20 0x22 no-device-sdrs 0x03 0x01 0x05 0x9f 0x00beef 0x1234
mc_enable 0x20
EMU
}
