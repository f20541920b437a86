#!/usr/bin/env bash
# Times a scan of the live test domain (the whole vantrel-scan run, median of three) against the
# paged LDAP searches (ldapsearch, GSSAPI, sealed) that read the same facts from the same
# controllers one after the other (median of three), and checks that the scan's result file is the
# same (header aside) whether the controllers are read in bulk or account by account. Prints its
# numbers; run as root:
#
#   bench/samba/scan-vs-search.sh [BUILD_DIR]     (default build/release, else build/debug)
#
# VANTREL_SAMBA_EXTRA_USERS (default 5000) sets the domain's size, VANTREL_BENCH_THREADS (default 8)
# the scan's query threads, VANTREL_SAMBA_PROCESS_MODEL (default prefork) the controllers' one. Exits 1 when the two result files differ.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

if [ -z "${VANTREL_BENCH_INSIDE:-}" ]; then
  build="${1:-}"
  if [ -z "$build" ]; then
    build="$root/build/release"
    [ -x "$build/tools/vantrel-scan/vantrel-scan" ] || build="$root/build/debug"
  fi
  build="$(cd "$build" && pwd)"
  [ -x "$build/tools/vantrel-scan/vantrel-scan" ] || { echo "no vantrel-scan in $build" >&2; exit 2; }
  command -v ldapsearch >/dev/null || { echo "ldapsearch is missing (ldap-utils)" >&2; exit 2; }
  export VANTREL_SAMBA_EXTRA_USERS="${VANTREL_SAMBA_EXTRA_USERS:-5000}"
  # Controllers that serve requests side by side, as real ones do: with one process, a controller
  # busy with one search holds up every other request to it, its KDC's included.
  export VANTREL_SAMBA_PROCESS_MODEL="${VANTREL_SAMBA_PROCESS_MODEL:-prefork}"
  export VANTREL_BENCH_INSIDE="$build"
  exec "$root/tests/samba/samba-domain.sh" "$0"
fi

if [ -n "${VANTREL_SAMBA_SKIP:-}" ]; then
  echo "no live test domain: $VANTREL_SAMBA_SKIP" >&2
  exit 2
fi
scan_tool="$VANTREL_BENCH_INSIDE/tools/vantrel-scan/vantrel-scan"
threads="${VANTREL_BENCH_THREADS:-8}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
settings="$XDG_CONFIG_HOME/vantrel/HKEY_CURRENT_USER.reg"
key='[HKEY_CURRENT_USER\SOFTWARE\Orvex\Vantrel\2.0\VANTREL]'

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# One value of the domain's settings key, replacing an earlier one of that name.
set_value() {  # name value-text
  local tmp="$work/settings.tmp"
  # (through the environment: awk would read backslashes in -v values as escapes)
  KEY="$key" NAME="\"$1\"=" LINE="\"$1\"=$2" awk '
    index($0, ENVIRON["NAME"]) == 1 { next }
    { print }
    index($0, ENVIRON["KEY"]) == 1 { printf "%s\r\n", ENVIRON["LINE"] }' "$settings" >"$tmp"
  mv "$tmp" "$settings"
}
# A REG_MULTI_SZ value as hex(7) bytes.
multi_sz() {
  local bytes=""
  for entry in "$@"; do bytes+="$(printf '%s' "$entry" | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//'),00,"; done
  echo "hex(7):${bytes}00"
}

"$scan_tool" --configure >"$work/controllers.txt"
set_value MaxThreads "dword:$(printf '%08x' "$threads")"
controllers=$(grep -c . "$work/controllers.txt")

# The paged searches for the facts a scan needs, on the same controllers, one after the other.
search_all() {
  local dc
  while read -r dc; do
    ldapsearch -H "ldap://${dc,,}.vantrel.test" -Y GSSAPI -N -Q -LLL -E pr=1000/noprompt -b "DC=vantrel,DC=test" \
      '(|(sAMAccountType=805306368)(sAMAccountType=805306369))' sAMAccountName lastLogon lastLogonTimestamp \
      userAccountControl pwdLastSet >"$work/search-$dc.ldif"
  done <"$work/controllers.txt"
}
# The median of three runs: the machine is shared, and one run can be held up by others.
median() { printf '%s\n' "$@" | sort -g | sed -n 2p; }
timed_search() { local start; start=$(now); search_all; seconds "$start" "$(now)"; }
search_all  # the tickets and the controllers' caches warm, as for the scans
search_runs=("$(timed_search)" "$(timed_search)" "$(timed_search)")
search_time=$(median "${search_runs[@]}")
entries=$(cat "$work"/search-*.ldif | grep -c '^sAMAccountName:')

scan() {  # output-file [environment...]
  local output="$1"; shift
  local start; start=$(now)
  env "$@" "$scan_tool" --output "$output" 2>"$output.err"
  seconds "$start" "$(now)"
}
body() { grep -v '^#' "$1"; }

status=0
compare() {  # label
  if cmp -s <(body "$work/bulk.txt") <(body "$work/single.txt"); then
    echo "  result files (header aside): identical ($(body "$work/bulk.txt" | grep -c .) lines)"
  else
    echo "  result files (header aside): DIFFERENT ($1)"
    diff <(body "$work/bulk.txt") <(body "$work/single.txt") | head -20
    status=1
  fi
}

echo "Live test domain: ${VANTREL_SAMBA_EXTRA_USERS} extra users, $controllers controllers (process model" \
  "${VANTREL_SAMBA_PROCESS_MODEL}), $threads query threads, $(basename "$VANTREL_BENCH_INSIDE") build"
echo "  paged searches of the controllers: $search_time s ($entries entries; runs: ${search_runs[*]})"
for ignore in "" "GVantrelOuter"; do
  if [ -n "$ignore" ]; then
    set_value UserIgnoreList "$(multi_sz "$ignore")"
    echo "With the ignore list entry $ignore:"
  else
    echo "Without an ignore list:"
  fi
  bulk_runs=("$(scan "$work/bulk.txt")" "$(scan "$work/bulk.txt")" "$(scan "$work/bulk.txt")")
  bulk_time=$(median "${bulk_runs[@]}")
  single_time=$(scan "$work/single.txt" VANTREL_ACCOUNT_SNAPSHOT=off)
  echo "  scan (vantrel-scan, start to end): $bulk_time s (runs: ${bulk_runs[*]})"
  echo "  ratio scan / paged searches: $(ratio "$bulk_time" "$search_time") (goal <= 3)"
  echo "  scan account by account (VANTREL_ACCOUNT_SNAPSHOT=off): $single_time s"
  echo "  accounts reported: $(body "$work/bulk.txt" | grep -c .), of them the member of the nested group: \
$(grep -c ' nestedmember ' "$work/bulk.txt"); error lines: $(grep -h '^Errors' "$work/bulk.txt.err" | tr -d '\n') \
(account by account: $(grep -h '^Errors' "$work/single.txt.err" | tr -d '\n'))"
  compare "$ignore"
done
exit $status
