#!/usr/bin/env bash
# Runs the address-family independent tests that need a network of their own:
#   afnet_namespace.sh <test.exe> [gtest arguments...]
# In namespaces of its own (namespace_common.sh): veth pairs with the addresses the tests expect,
# its own hosts file, resolv.conf with servers inside (Wine lists adapters only when both families
# have one) and a Wine prefix started inside; the program runs with RAVEL_AFNET_NAMESPACE=1.
set -u
. "$(dirname "$0")/namespace_common.sh"
exe=$1; shift
ravel_enter_namespaces RAVEL_AFNET_INSIDE "$0" "$exe" "$@"

# ---- inside the namespaces ----
set -e
ravel_private_etc '127.0.0.1 localhost
::1 localhost
10.0.0.5 printer.afnet.test
169.254.3.4 printer.afnet.test
10.0.0.6 printer.afnet.test
2001:db8:9::77 printer6.afnet.test
fe80::77 printer6.afnet.test
2001:db8:9::78 printer6.afnet.test
10.9.0.1 afnet-host
' 'nameserver 10.9.0.53
nameserver fe80::9:2%v0b
options timeout:1 attempts:1
'
trap 'rm -rf "$ravel_etc"' EXIT
hostname afnet-host
# Nine pairs, eighteen adapters: more than the fifteen a listing may hold. Pair 0 carries the
# addresses the tests name; the names of pair 1 are tunnel-like descriptions.
for i in 0 1 2 3 4 5 6 7 8; do
  a=v${i}a b=v${i}b
  [ "$i" = 1 ] && a=isatap1 b=Isatap1
  ip link add "$a" type veth peer name "$b"
  ip link set "$a" addrgenmode none
  ip link set "$b" addrgenmode none
  ip -6 addr add "2001:db8:$((i + 10))::1/64" dev "$a" nodad
  ip -6 addr add "fe80::$((i + 10)):1/64" dev "$a" nodad
  ip -6 addr add "fe80::$((i + 10)):2/64" dev "$b" nodad
  ip link set "$a" up
  ip link set "$b" up
done
ip addr add 10.9.0.1/24 dev v0a
ip addr add 10.9.1.1/24 dev v0a
ip -6 addr add 2001:db8:9::1/64 dev v0a nodad
ip -6 addr add fe80::9:1/64 dev v0a nodad
ip -6 addr add fe80::9:2/64 dev v0b nodad

bin=$(cd "$(dirname "$exe")" && pwd)
export RAVEL_AFNET_NAMESPACE=1
ravel_namespace_wine "${RAVEL_AFNET_PREFIX:-$(dirname "$bin")/afnet-prefix}"
ravel_run_and_stop wine "$exe" "$@"
