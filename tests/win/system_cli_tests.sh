#!/usr/bin/env bash
# ravelutil's system commands, and what a Windows test program cannot reach:
# - the language follows the locale Wine gives each program, read from the Unix LC_ALL as it
#   starts (even for locales the machine has not generated);
# - restart, shut-down and log-off end the session of their prefix, so they run in a throwaway
#   prefix of their own, and Wine's relay trace of the system calls records what was asked.
# Usage: system_cli_tests.sh <ravelutil.exe> <shared prefix> <throwaway prefix>
set -u
exe=$1
export WINEPREFIX=${WINEPREFIX:-$2} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
failures=0

expect() {
  if [ "$3" != "$2" ]; then
    printf 'FAILED %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

run() { timeout 120 wine "$exe" "$@" | tr -d '\r'; echo "exit ${PIPESTATUS[0]}"; }
expect language-of $'language 5 LANGUAGE_SPANISH\ndirectory Sp\nexit 0\nlanguage 0 LANGUAGE_UNLISTED\ndirectory unknown\nexit 0\nexit 2' \
  "$(run language-of 0c0a; run language-of 3809; run language-of 10000 2>/dev/null)"
expect threads-demo $'8 results of 10000\ntotal 80000 of 80000\nexit 0' \
  "$(run threads-demo 8 | sed -E 's/^thread [1-8] id [0-9]+ result 10000$/R/' | uniq -c | sed -E 's/^ *8 R$/8 results of 10000/; s/^ *1 //')"
language() { LC_ALL=$1 timeout 120 wine "$exe" language | tr -d '\r'; }
expect fr_FR $'identifier 040C\nname French\nlanguage 2 LANGUAGE_FRENCH\ndirectory Fr' "$(language fr_FR.UTF-8)"
expect de_DE $'identifier 0407\nname German\nlanguage 3 LANGUAGE_GERMAN\ndirectory Ge' "$(language de_DE.UTF-8)"
# A locale whose identifier the table does not list.
expect sw_KE $'identifier 0441\ndirectory unknown' "$(language sw_KE.UTF-8 | grep -E '^(identifier|directory) ')"

export WINEPREFIX=$3
# A server of an earlier throwaway prefix must be gone before its folder is: a new folder may get
# the old one's inode, and with it the old server.
timeout 60 wineserver -k >/dev/null 2>&1
rm -rf "$WINEPREFIX"
timeout 180 wineboot -i >"$WINEPREFIX.boot.log" 2>&1
timeout 60 wineserver -w >/dev/null 2>&1  # the registry reaches its files when the server ends
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "FAILED: the throwaway prefix $WINEPREFIX could not be made:"; cat "$WINEPREFIX.boot.log"
  exit 1
fi
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX" "$WINEPREFIX.boot.log"' EXIT
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /f \
  /d 'user32.ExitWindowsEx;advapi32.LookupPrivilegeValueA;advapi32.AdjustTokenPrivileges' >/dev/null 2>&1

# ravelutil told a Windows version, with an answer on its input: its exit code, then the
# privilege's name, AdjustTokenPrivileges' "disable all" flag and ExitWindowsEx's arguments.
calls() {
  wine reg add 'HKCU\Software\Wine\AppDefaults\ravelutil.exe' /v Version /d "$1" /f >/dev/null 2>&1
  timeout 60 wineserver -w
  printf '%s\n' "$2" | WINEDEBUG=+relay timeout 120 wine "$exe" "${@:3}" >/dev/null 2>"$WINEPREFIX/trace"
  echo "exit $?"
  sed -n -e 's/^[0-9a-f]*:Call advapi32\.LookupPrivilegeValueA([0-9a-f]*,[0-9a-f]* \("[^"]*"\).*/lookup \1/p' \
    -e 's/^[0-9a-f]*:Call advapi32\.AdjustTokenPrivileges([0-9a-f]*,\([0-9a-f]*\),.*/adjust disableAll=\1/p' \
    -e 's/^[0-9a-f]*:Call user32\.ExitWindowsEx(\([0-9a-f]*\),\([0-9a-f]*\)).*/exit flags=\1 reason=\2/p' "$WINEPREFIX/trace"
  timeout 60 wineserver -w  # the session has ended; let the prefix settle
}
privileged=$'lookup "SeShutdownPrivilege"\nadjust disableAll=00000000'
# NT 4, 2000 and XP enable the shut-down privilege first; nothing asks for force (flag 4).
expect "restart on XP" $'exit 0\n'"$privileged"$'\nexit flags=00000002 reason=00000000' "$(calls winxp y restart --yes)"
expect "shutdown on 2000" $'exit 0\n'"$privileged"$'\nexit flags=00000001 reason=00000000' "$(calls win2k y shutdown --yes)"
# Log-off has no privilege step, nor has NT 6, which is left to the token as it is.
expect "logoff on XP" $'exit 0\nexit flags=00000000 reason=00000000' "$(calls winxp y logoff --yes)"
expect "shutdown on Vista" $'exit 0\nexit flags=00000001 reason=00000000' "$(calls vista y shutdown --yes)"
# Without --yes the person is asked; anything but yes stops before any call.
expect "restart declined" 'exit 1' "$(calls winxp n restart)"
expect "logoff confirmed" $'exit 0\nexit flags=00000000 reason=00000000' "$(calls winxp y logoff)"

echo "$failures failed"
[ "$failures" -eq 0 ]
