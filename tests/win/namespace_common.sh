# Sourced by the scripts that run Windows tests in a network of their own.
#   ravel_enter_namespaces <marker variable> <script> [arguments...]
#       re-runs the script inside new user, network, mount and host-name namespaces (the marker
#       tells the second run it is inside); exits 77 (skipped) where they cannot be made here.
#   ravel_private_etc <hosts text> <resolv.conf text>
#       gives the namespace its own /etc/hosts (the only names that resolve), an nsswitch.conf that
#       looks names up in it alone, and resolv.conf; the files live in $ravel_etc.
#   ravel_namespace_wine <prefix>
#       a Wine prefix of its own whose server starts in here, so Wine's network helpers do too.
#   ravel_run_and_stop <command...>   runs the command, ends the prefix's server, exits with its code.

ravel_enter_namespaces() {
  local marker=$1; shift
  [ "${!marker:-}" = 1 ] && return 0
  if ! unshare -rnmu true 2>/dev/null; then
    echo "skipped: no user, network and mount namespaces here (unshare -rnmu refused)"
    exit 77
  fi
  export "$marker=1"
  exec unshare -rnmu "$@"
}

ravel_private_etc() {
  ravel_etc=$(mktemp -d)
  printf '%s' "$1" > "$ravel_etc/hosts"
  echo "hosts: files" > "$ravel_etc/nsswitch.conf"
  printf '%s' "$2" > "$ravel_etc/resolv.conf"
  for f in hosts nsswitch.conf resolv.conf; do mount --bind "$ravel_etc/$f" "/etc/$f"; done
  ip link set lo up
}

ravel_namespace_wine() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1 || true
  fi
  # A server of this prefix left behind by an interrupted run lives in another namespace: end it.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -p >/dev/null 2>&1 || true
}

ravel_run_and_stop() {
  set +e
  "$@"
  local code=$?
  wineserver -k >/dev/null 2>&1 || true
  exit $code
}
