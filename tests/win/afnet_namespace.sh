#!/usr/bin/env bash
# Runs the address-family independent tests that need a network of their own:
#   afnet_namespace.sh <test.exe> [gtest arguments...]
# Inside new user, network, mount and host-name namespaces it creates veth pairs with the IPv4 and
# IPv6 addresses the tests expect, gives the namespace its own /etc/hosts (the only names that
# resolve), /etc/nsswitch.conf (hosts from that file alone: no name is ever looked up elsewhere)
# and /etc/resolv.conf (server addresses inside the namespace; Wine lists adapters only when
# both families have one), then starts Wine with a prefix of its own inside and runs the program
# with RAVEL_AFNET_NAMESPACE=1. Exits 77 (skipped) where namespaces cannot be made here.
set -u
exe=$1; shift

if [ "${RAVEL_AFNET_INSIDE:-}" != 1 ]; then
  if ! unshare -rnmu true 2>/dev/null; then
    echo "skipped: no user, network and mount namespaces here (unshare -rnmu refused)"
    exit 77
  fi
  RAVEL_AFNET_INSIDE=1 exec unshare -rnmu "$0" "$exe" "$@"
fi

# ---- inside the namespaces ----
set -e
etc=$(mktemp -d)
trap 'rm -rf "$etc"' EXIT
cat > "$etc/hosts" <<'HOSTS'
127.0.0.1 localhost
::1 localhost
10.0.0.5 printer.afnet.test
169.254.3.4 printer.afnet.test
10.0.0.6 printer.afnet.test
2001:db8:9::77 printer6.afnet.test
fe80::77 printer6.afnet.test
2001:db8:9::78 printer6.afnet.test
10.9.0.1 afnet-host
HOSTS
echo "hosts: files" > "$etc/nsswitch.conf"
printf 'nameserver 10.9.0.53\nnameserver fe80::9:2%%v0b\noptions timeout:1 attempts:1\n' > "$etc/resolv.conf"
for f in hosts nsswitch.conf resolv.conf; do mount --bind "$etc/$f" "/etc/$f"; done
hostname afnet-host

ip link set lo up
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
export WINEPREFIX=${RAVEL_AFNET_PREFIX:-$(dirname "$bin")/afnet-prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export RAVEL_AFNET_NAMESPACE=1
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1 || true
fi
# A server of this prefix left behind by an interrupted run lives in another namespace: end it.
wineserver -k >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1 || true
set +e
wine "$exe" "$@"
code=$?
wineserver -k >/dev/null 2>&1 || true
exit $code
