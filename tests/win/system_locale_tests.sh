#!/usr/bin/env bash
# The language a program sees follows the locale Wine gives it, taken from LC_ALL when the program
# starts (even for locales the machine has not generated), so each case starts ravelutil afresh.
# Usage: system_locale_tests.sh <ravelutil.exe> <default prefix folder>
set -u
exe=$1
export WINEPREFIX=${WINEPREFIX:-$2}
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
failures=0

check() {
  local locale=$1 want=$2 got
  got=$(LC_ALL=$locale timeout 120 wine "$exe" language | grep -v '^name ' | tr -d '\r')
  if [ "$got" != "$want" ]; then
    printf 'FAILED %s\n--- expected\n%s\n--- got\n%s\n' "$locale" "$want" "$got"
    failures=$((failures + 1))
  else
    echo "ok $locale"
  fi
}

check fr_FR.UTF-8 $'identifier 040C\nlanguage 2 LANGUAGE_FRENCH\ndirectory Fr'
check de_DE.UTF-8 $'identifier 0407\nlanguage 3 LANGUAGE_GERMAN\ndirectory Ge'
check en_GB.UTF-8 $'identifier 0809\nlanguage 1 LANGUAGE_ENGLISH\ndirectory En'
check pt_BR.UTF-8 $'identifier 0416\nlanguage 6 LANGUAGE_PORTUGUESE\ndirectory Pg'
check zh_TW.UTF-8 $'identifier 0404\nlanguage 12 LANGUAGE_CHINESE_TRADITIONAL\ndirectory Tc'
check zh_CN.UTF-8 $'identifier 0804\nlanguage 13 LANGUAGE_CHINESE_SIMPLIFIED\ndirectory Sc'
# Outside the table, though a neighbour of listed identifiers.
check sw_KE.UTF-8 $'identifier 0441\nlanguage 0 LANGUAGE_UNLISTED\ndirectory unknown'
check ro_RO.UTF-8 $'identifier 0418\nlanguage 0 LANGUAGE_UNLISTED\ndirectory unknown'
# The user's language has an English name.
name=$(LC_ALL=fr_FR.UTF-8 timeout 120 wine "$exe" language | grep '^name ' | tr -d '\r')
[ "$name" = "name French" ] || { echo "FAILED name: $name"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ]
