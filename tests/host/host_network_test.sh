#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The network output through the plug-in file, as lumivane-host drives it:
#  - with the settings of before (no network keys, or NetOutput empty) no
#    IP socket is ever opened (strace);
#  - NetOutput ArtNet, then sACN, to 127.0.0.1 inside a network namespace of
#    the test's own, decoded by Wireshark's dissectors: the levels set last,
#    and sACN's three stream-terminated packets when the plug-in unloads;
#  - `nodes` against a node stand-in across a veth pair of the test's own.
# Nothing leaves those namespaces. Skips (77) without tshark, strace or
# namespaces.
#   host_network_test.sh HOST [NETWORK_PEER]
set -uo pipefail
host=$1
peer=${2:-}

for tool in tshark strace; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps)"; exit 77; }
done
work=$(mktemp -d)
ns=lvhost$$
node_ns=lvhost$$n
cleanup() {
  ip netns del "$ns" 2>/dev/null
  ip netns del "$node_ns" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
[ -n "${LV_KEEP:-}" ] && trap "ip netns del $ns 2>/dev/null; ip netns del $node_ns 2>/dev/null" EXIT
# In a chroot whose root is no mount point, namespaces are made but cannot be entered.
if ! ip netns add "$ns" 2>/dev/null || ! ip netns exec "$ns" true 2>/dev/null; then
  echo "SKIP: cannot make and enter network namespaces here (needs root, ip netns and / a mount point)"
  exit 77
fi
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
unset DISPLAY
mkdir -p "$HOME"
in_ns() { ip netns exec "$ns" "$@"; }
in_ns ip link set lo up

failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
settings() { "$host" --title "Net Test" settings set "$1" "$2" >/dev/null || fail "settings set $1 $2"; }

# No IP socket with the output off, stored as before or unticked.
no_ip_socket() {
  # LeakSanitizer cannot run under ptrace; the other runs here still check leaks.
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
    strace -f -qq -e trace=socket -o "$work/strace" "$host" --title "Net Test" set 1=10 2=20 \
    >"$work/out" 2>&1 || fail "$1: lumivane-host set failed: $(cat "$work/out")"
  if grep -E 'AF_INET|AF_INET6|AF_PACKET' "$work/strace" >/dev/null; then
    fail "$1: a socket was opened: $(grep -E 'AF_INET' "$work/strace" | head -3)"
  else
    pass "$1: no IP socket opened"
  fi
}
settings DeviceType none
no_ip_socket "settings without network keys"
settings NetOutput ""
settings NetAddress 127.0.0.1
no_ip_socket "NetOutput empty (the box unticked)"

# capture FILE COMMAND...: tshark on the namespace's loopback while the
# command runs; a second to start, a bounded time to end.
capture() {
  local file=$1
  shift
  # Not through a function: $! must be tshark's own.
  ip netns exec "$ns" tshark -q -i lo -w "$file" -f 'udp port 6454 or udp port 5568' 2>"$file.err" &
  local pid=$!
  # Packets count only once the capture has started, which takes seconds
  # on a busy machine.
  for _ in $(seq 200); do grep -q 'Capture started' "$file.err" && break; sleep 0.1; done
  sleep 2
  "$@" >"$work/out" 2>&1 || fail "$*: $(cat "$work/out")"
  sleep 0.5
  # TERM: a background job of a script ignores INT.
  kill -TERM "$pid" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}
want_levels="0a141e$(printf '00%.0s' $(seq 4 511))ff"
# The levels, then a pause before Term and unload long enough for the idle
# refresh to send the last state again.
levels() { printf '1 10\n2 20\n3 30\n512 255\n'; sleep 1.2; }
play() { levels | in_ns "$host" --title "Net Test" play -; }

settings NetOutput ArtNet
settings NetUniverse 77
capture "$work/artnet.pcap" play
art=$(tshark -r "$work/artnet.pcap" -Y 'artnet.output.universe == 77' -T fields -e ip.dst \
  -e udp.dstport -e artnet.output.universe -e artnet.output.length -e dmx_chan.data_filter 2>/dev/null)
if [ -n "$art" ] && [ "$(printf '%s\n' "$art" | tail -n 1)" = "$(printf '127.0.0.1\t6454\t77\t512\t%s' "$want_levels")" ]; then
  pass "Art-Net: $(printf '%s\n' "$art" | wc -l) ArtDmx to 127.0.0.1:6454, Port-Address 77, the last with 1:10 2:20 3:30 512:255"
else
  fail "Art-Net decoded: $(printf '%s\n' "$art" | cut -c1-120)"
fi

settings NetOutput sACN
capture "$work/sacn.pcap" play
cid=$("$host" --title "Net Test" settings | sed -n 's/^NetSourceCID: "\(.*\)"$/\1/p')
sacn=$(tshark -r "$work/sacn.pcap" --enable-heuristic acn -o acn.dmx_enable:TRUE \
  -Y 'acn.dmx.universe == 77' -T fields -e ip.dst -e udp.dstport -e acn.dmx.source_name \
  -e acn.dmx.priority -e acn.dmx.universe -e acn.dmx.count -e acn.cid -e acn.dmx.options 2>/dev/null)
# Bit 6, stream terminated: tshark prints it as 64 or 0x40.
terminated=$(printf '%s\n' "$sacn" | cut -f 8 | grep -c -x -i -E '64|0x40')
fields=$(printf '%s\n' "$sacn" | cut -f 1-7 | tr -d ':-' | sort -u)
if [ "$terminated" = 3 ] && [ -n "$cid" ] &&
  [ "$fields" = "$(printf '127.0.0.1\t5568\tLumivane DMX Pro Driver\t100\t77\t513\t%s' "${cid//-/}")" ]; then
  pass "sACN: $(printf '%s\n' "$sacn" | wc -l) packets to 127.0.0.1:5568, source \"Lumivane DMX Pro Driver\", priority 100, universe 77, 513 slots, the stored CID $cid, 3 stream-terminated as the plug-in unloaded"
else
  fail "sACN decoded (CID '$cid', $terminated terminated): $(printf '%s\n' "$fields" | cut -c1-160)"
fi

# nodes: the stand-in answers to the subnet's broadcast, as nodes do.
if [ -n "$peer" ]; then
  ip netns add "$node_ns"
  ip link add vh netns "$ns" type veth peer name vn netns "$node_ns"
  ip netns exec "$node_ns" ip link set lo up
  in_ns ip addr add 10.78.0.2/24 brd + dev vh
  ip netns exec "$node_ns" ip addr add 10.78.0.1/24 brd + dev vn
  in_ns ip link set vh up
  ip netns exec "$node_ns" ip link set vn up
  ip netns exec "$node_ns" "$peer" node "Stand-in node" 10.78.0.1 10.78.0.255 5 >"$work/node" 2>&1 &
  node=$!
  sleep 0.3
  found=$(in_ns "$host" nodes 2>&1)
  wait "$node"
  if printf '%s\n' "$found" | grep -q -x -E '10\.78\.0\.1 +Stand-in node  outputs: 261'; then
    pass "nodes lists the stand-in: $found"
  else
    fail "nodes: '$found' (stand-in: $(cat "$work/node"))"
  fi
else
  echo "nodes: no node stand-in given, not checked"
fi

[ "$failures" -eq 0 ]
