#!/usr/bin/env bash
# Runs the host-reachability tests in a network of their own:
#   host_namespace.sh <simulated|end-to-end> <command> [arguments...]
# In namespaces of its own (namespace_common.sh), with a host name and hosts file of its own and a
# Wine prefix started inside. Exits 77 (skipped) where namespaces cannot be made.
#   simulated   loopback only. Finding no interface route, Wine lists the host name's addresses
#               from the hosts file as the local interfaces: 10.1.2.3, 10.2.0.1, 10.3.0.1.
#   end-to-end  a veth pair, 10.77.0.1/24 here; its other end, in a namespace held by a sleeping
#               process, has 10.77.0.2/24 and the printer 10.88.0.2/32, reachable only through a
#               host route. RAVEL_E2E_APPLY_WIN names the script that applies the route double's
#               commands with "ip route".
set -u
. "$(dirname "$0")/namespace_common.sh"
mode=$1; shift
ravel_enter_namespaces RAVEL_HOST_INSIDE "$0" "$mode" "$@"

# ---- inside the namespaces ----
set -e
ravel_private_etc $'127.0.0.1 localhost\n10.1.2.3 host-sim\n10.2.0.1 host-sim\n10.3.0.1 host-sim\n10.77.0.1 host-e2e\n' ''
etc=$ravel_etc
printer_pid=
cleanup() {
  [ -n "$printer_pid" ] && kill "$printer_pid" 2>/dev/null
  rm -rf "$etc"
}
trap cleanup EXIT

case $mode in
  simulated)
    hostname host-sim
    ;;
  end-to-end)
    hostname host-e2e
    unshare -n sleep 3600 &
    printer_pid=$!
    # Until the sleeper has its own network namespace, moving a device "there" would keep it here.
    for _ in $(seq 100); do
      [ "$(readlink /proc/$printer_pid/ns/net)" != "$(readlink /proc/$$/ns/net)" ] && break
      sleep 0.05
    done
    ip link add ve0 type veth peer name ve1
    ip link set ve1 netns "$printer_pid"
    ip addr add 10.77.0.1/24 dev ve0
    ip link set ve0 up
    nsenter -t "$printer_pid" -n sh -c 'ip link set lo up; ip addr add 10.77.0.2/24 dev ve1;
      ip addr add 10.88.0.2/32 dev ve1; ip link set ve1 up'
    apply="$etc/apply-route.sh"
    cat > "$apply" <<'APPLY'
#!/bin/sh
# route double -> ip route: "add <address> <interface address>" or "delete <address>"
code=2
case $1 in
  add) dev=$(ip -o -4 addr show | awk -v a="$3" '{split($4, p, "/"); if (p[1] == a) print $2}')
       ip route replace "$2/32" dev "$dev" src "$3"; code=$? ;;
  delete) ip route del "$2/32" 2>/dev/null; code=$? ;;
esac
echo "$code" > "$0.done"
exit $code
APPLY
    chmod +x "$apply"
    export RAVEL_E2E_APPLY=$apply
    export RAVEL_E2E_APPLY_WIN="Z:${apply//\//\\}"
    ;;
  *)
    echo "unknown mode $mode"; exit 2 ;;
esac

export RAVEL_HOST_NAMESPACE=$mode
prefix=${RAVEL_HOST_PREFIX:?RAVEL_HOST_PREFIX names the prefix of namespace runs}
# The ICMP library a test set aside, should that test have been interrupted.
aside="$prefix/drive_c/windows/system32/icmp.dll.aside"
if [ -f "$aside" ]; then mv -f "$aside" "${aside%.aside}"; fi
ravel_namespace_wine "$prefix"
ravel_run_and_stop "$@"
