#!/usr/bin/env bash
# Restart, shut-down and log-off end the session of the prefix they run in, so they run in a
# throwaway prefix of their own, never in the one the other tests share. Wine's relay trace of
# the three system calls is the record of what the library asked for.
# Usage: system_shutdown_tests.sh <ravelutil.exe> <scratch prefix folder>
set -u
exe=$1
export WINEPREFIX=$2
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
failures=0

rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
timeout 180 wineboot -i >/dev/null 2>&1
timeout 60 wineserver -w
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /f \
  /d 'user32.ExitWindowsEx;advapi32.LookupPrivilegeValueA;advapi32.AdjustTokenPrivileges' >/dev/null 2>&1

# Runs "ravelutil <command> [--yes]" told the given Windows version and prints its exit code and
# the calls: the privilege's name, AdjustTokenPrivileges' "disable all" flag, ExitWindowsEx's flags.
calls() {
  local version=$1 answer=$2; shift 2
  wine reg add 'HKCU\Software\Wine\AppDefaults\ravelutil.exe' /v Version /d "$version" /f >/dev/null 2>&1
  timeout 60 wineserver -w
  local trace=$WINEPREFIX/trace.txt
  printf '%s\n' "$answer" | WINEDEBUG=+relay timeout 120 wine "$exe" "$@" >/dev/null 2>"$trace"
  echo "exit $?"
  sed -n -e 's/^[0-9a-f]*:Call advapi32\.LookupPrivilegeValueA([0-9a-f]*,[0-9a-f]* \("[^"]*"\).*/lookup \1/p' \
         -e 's/^[0-9a-f]*:Call advapi32\.AdjustTokenPrivileges([0-9a-f]*,\([0-9a-f]*\),.*/adjust disableAll=\1/p' \
         -e 's/^[0-9a-f]*:Call user32\.ExitWindowsEx(\([0-9a-f]*\),\([0-9a-f]*\)).*/exit flags=\1 reason=\2/p' "$trace"
  # The session has ended; let the prefix settle before the next start.
  timeout 60 wineserver -w
}

expect() {
  local name=$1 want=$2 got=$3
  if [ "$got" != "$want" ]; then
    printf 'FAILED %s\n--- expected\n%s\n--- got\n%s\n' "$name" "$want" "$got"
    failures=$((failures + 1))
  else
    echo "ok $name"
  fi
}

# NT 4, 2000 and XP enable the shut-down privilege first; no operation asks for force (flag 4).
expect "restart on XP" $'exit 0\nlookup "SeShutdownPrivilege"\nadjust disableAll=00000000\nexit flags=00000002 reason=00000000' \
  "$(calls winxp y restart --yes)"
expect "shutdown on 2000" $'exit 0\nlookup "SeShutdownPrivilege"\nadjust disableAll=00000000\nexit flags=00000001 reason=00000000' \
  "$(calls win2k y shutdown --yes)"
# Log-off has no privilege step; neither has NT 6, which is left to the token as it is.
expect "logoff on XP" $'exit 0\nexit flags=00000000 reason=00000000' "$(calls winxp y logoff --yes)"
expect "shutdown on Vista" $'exit 0\nexit flags=00000001 reason=00000000' "$(calls vista y shutdown --yes)"
# Without --yes the person is asked; anything but yes stops before any call.
expect "restart declined" $'exit 1' "$(calls winxp n restart)"
expect "logoff confirmed" $'exit 0\nexit flags=00000000 reason=00000000' "$(calls winxp y logoff)"

[ "$failures" -eq 0 ]
