#!/usr/bin/env bash
# Renders the HTML report of a scan of the demo network in headless Chromium: the page must load
# with no console message (a blocked load or a script would log one) and show every part.
# Usage: report_in_browser.sh VANTREL-SCAN VANTREL-LAB [SCREENSHOT.png]
# Exits 77 (skipped) when Chromium is not installed.
set -euo pipefail
scan="$1" lab_tool="$2" screenshot="${3:-}"
browser="$(command -v chromium || command -v chromium-browser || true)"
if [ -z "$browser" ]; then
  echo "chromium is not installed (apt-get install chromium): the report is not rendered"
  exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
"$lab_tool" demo "$work/lab"
"$scan" --lab "$work/lab" --domain CORP --configure >/dev/null
# Suggest all three actions, so that every part of the page has content.
printf '"UserDisable"=dword:00000001\r\n"UserDisableDays"=dword:000000b4\r\n"UserDelete"=dword:00000001\r\n"UserDeleteDays"=dword:0000016d\r\n' \
  >>"$XDG_CONFIG_HOME/vantrel/HKEY_CURRENT_USER.reg"
"$scan" --lab "$work/lab" --domain CORP --report "$work/report.html" >/dev/null 2>"$work/scan.log"

# --no-sandbox: Chromium's sandbox refuses to run as root (CI); the page is our own file.
flags=(--headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking
       --disable-component-update --disable-sync --user-data-dir="$work/profile"
       --enable-logging=stderr --v=0)
"$browser" "${flags[@]}" --dump-dom "file://$work/report.html" >"$work/dom.html" 2>"$work/browser.log"

status=0
if grep -E 'CONSOLE|Refused to|Uncaught' "$work/browser.log"; then
  echo "The report logged console messages (above)" >&2
  status=1
fi
for part in '<h1>Unused accounts in CORP</h1>' 'Controllers asked, in this order:' '<dt>Scanned</dt>' \
            '<svg' '<title>Accounts by days unused and suggested action</title>' '>Delete (' '>Disable (' \
            '>Show (' '<h2>Errors ('; do
  if ! grep -qF "$part" "$work/dom.html"; then
    echo "The rendered report lacks: $part" >&2
    status=1
  fi
done
if [ -n "$screenshot" ]; then
  "$browser" "${flags[@]}" --hide-scrollbars --window-size=1000,1250 --screenshot="$screenshot" \
    "file://$work/report.html" 2>>"$work/browser.log"
fi
exit "$status"
