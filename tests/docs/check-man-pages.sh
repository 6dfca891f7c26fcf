#!/usr/bin/env bash
# Each program's manual page documents exactly the options its --help lists, and renders
# without warnings or stray spaces before commas.
#   check-man-pages.sh PROGRAM=MANUAL_PAGE...
set -euo pipefail
export LC_ALL=C.UTF-8 MANWIDTH=100
failed=0
complain() { echo "man pages: $*" >&2; failed=1; }

# -x and --long names in the option column of Qt's --help layout ("  -h, --help   text").
help_options() {
  env -u DISPLAY QT_QPA_PLATFORM=offscreen "$1" --help |
    sed -n -E 's/^  (-[^ ].*)$/\1/p' | sed -E 's/  .*//' | tr ',' '\n' | sed -E 's/^ +//; s/[ =<].*//' |
    grep -E '^--?[A-Za-z]' | sort -u
}
# The same names in the tags of the page's OPTIONS section.
page_options() {
  awk '/^\.SH/ { in_options = ($2 == "OPTIONS") } in_options && tagged { print } { tagged = in_options && /^\.TP/ }' "$1" |
    grep -o -E '(^|[ ,"])(\\-){1,2}[A-Za-z][A-Za-z\\-]*' | sed -E 's/^[ ,"]//; s/\\-/-/g; s/-+$//' | sort -u
}

for pair in "$@"; do
  program=${pair%%=*}
  page=${pair#*=}
  name=$(basename "$program")
  missing=$(comm -23 <(help_options "$program") <(page_options "$page"))
  extra=$(comm -13 <(help_options "$program") <(page_options "$page"))
  [ -z "$missing" ] || complain "$name --help lists $(echo $missing) but $(basename "$page") does not"
  [ -z "$extra" ] || complain "$(basename "$page") documents $(echo $extra) that $name --help does not list"
  [ -n "$(help_options "$program")" ] || complain "$name --help lists no options at all"

  warnings=$(man --warnings -l "$page" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || complain "$(basename "$page") renders with warnings: $warnings"
  stray=$(man -l "$page" 2>/dev/null | grep -n -E '[^ ] +,' || true)
  [ -z "$stray" ] || complain "$(basename "$page") renders a space before a comma: $stray"
  echo "man pages: $name: $(help_options "$program" | tr '\n' ' ')"
done
exit "$failed"
