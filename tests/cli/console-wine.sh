#!/usr/bin/env bash
# The commands as a user types them in a Windows console, under Wine (WINEPREFIX and
# WINEPATH set by tools/windows.sh): Quorvel.com prints to the console in Japanese whatever
# its code page, writes UTF-8 into a file it is redirected to, hands its exit code back,
# and leaves every record as it was.
set -uo pipefail
program=$1
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
windows() { echo "Z:${1//\//\\}"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
records="$work/馬"
mkdir -p "$records"
password=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789
printf '%s\r\n' "$password" >"$records/ハヤテ.pas"
printf '%s\r\n#5\r\n' "$password" >"$records/サクラ(5).pas"
printf '%s\r\n' "$password" >"$records/アイウエオ).pas"
touch -d '2024-01-02 03:04:05' "$records"/*
state() { (cd "$records" && stat -c '%n %Y %s' -- * && sha256sum -- *); }
before=$(state)

# Redirected to a file: UTF-8, and the exit code of problems found.
wine "$program" --check "$(windows "$records")" >"$work/check.txt" 2>"$work/err.txt"
code=$?
[ "$code" = 1 ] || fail "--check ended with $code, not 1: $(cat "$work/err.txt")"
grep -q $'アイウエオ).pas\tname-paren\t.*馬名は「アイ」になります' "$work/check.txt" \
    || fail "--check wrote no UTF-8 line for アイウエオ).pas: $(head -c 300 "$work/check.txt")"
grep -q '記録3件を読み、問題が2件見つかりました。' "$work/check.txt" || fail "--check wrote no summary"

# In a console whose code page is 437, which has no Japanese: the text goes to the console
# as text, not as bytes of a code page, and cmd.exe gets the exit code.
LANG=C.UTF-8 script -qec "wine cmd /c \"chcp 437 >nul & $(windows "$program") --check $(windows "$records")\"" \
    /dev/null >"$work/console.txt" 2>&1
code=$?
[ "$code" = 1 ] || fail "in the console --check ended with $code, not 1"
grep -q '馬名は「アイ」になります' "$work/console.txt" \
    || fail "the console showed no Japanese: $(head -c 300 "$work/console.txt" | od -c | head -n 5)"

# The export: UTF-8 with a byte order mark, CR LF, the values the records were made with.
csv="$work/一覧.csv"
wine "$program" --export "$(windows "$records")" -o "$(windows "$csv")" 2>"$work/err.txt"
code=$?
[ "$code" = 1 ] || fail "--export ended with $code, not 1: $(cat "$work/err.txt")"
[ "$(head -c 3 "$csv" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "the CSV has no byte order mark"
grep -q "^サクラ(5).pas,サクラ,5,$password,.*"$'\r$' "$csv" || fail "the CSV lacks サクラ(5).pas: $(cat "$csv")"
wine "$program" --export "$(windows "$records")" -o "$(windows "$csv")" 2>/dev/null
code=$?
[ "$code" = 2 ] || fail "--export replaced its CSV without --force (exit code $code)"

wine "$program" --version >"$work/version.txt" || fail "--version ended with $?"
grep -q '^Quorvel ver' "$work/version.txt" || fail "--version wrote $(cat "$work/version.txt")"
wine "$program" --chek 2>"$work/err.txt"
code=$?
[ "$code" = 2 ] || fail "an unknown option ended with $code, not 2"
[ "$(wc -l <"$work/err.txt")" = 1 ] || fail "an unknown option gave more than one line: $(cat "$work/err.txt")"

[ "$(state)" = "$before" ] || fail "a record changed: $(diff <(echo "$before") <(state))"
[ "$failures" = 0 ] || exit 1
echo "Quorvel.com: --check and --export in a redirected file and in a console of code page 437"
