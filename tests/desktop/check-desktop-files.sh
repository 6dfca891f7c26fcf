#!/usr/bin/env bash
# The desktop entry, the AppStream metainfo and the recipe's MIME type validate with the
# desktop's own tools, and agree with each other: the entry opens the MIME type's files.
#   check-desktop-files.sh SOURCE_DIR
set -euo pipefail
desktop=$1/app/desktop
fail() { echo "desktop files: $*" >&2; exit 1; }

desktop-file-validate "$desktop/gavrel.desktop" || fail "gavrel.desktop does not validate"
appstreamcli validate --no-net --pedantic "$desktop/org.gavrel.gavrel.metainfo.xml" ||
  fail "the metainfo does not validate"

field() { sed -n -E "s/^$1=(.*)$/\1/p" "$desktop/gavrel.desktop"; }
[ "$(field Exec)" = "Gavrel %f" ] || fail "Exec is '$(field Exec)', not 'Gavrel %f'"
[ -n "$(field 'Name\[ja\]')" ] && [ -n "$(field 'Comment\[ja\]')" ] || fail "no Japanese name or comment"
main_categories=$(field Categories | tr ';' '\n' |
  grep -c -x -E 'AudioVideo|Audio|Video|Development|Education|Game|Graphics|Network|Office|Science|Settings|System|Utility' || true)
[ "$main_categories" = 1 ] || fail "$main_categories main categories in '$(field Categories)'"
grep -q '<launchable type="desktop-id">gavrel.desktop</launchable>' \
  "$desktop/org.gavrel.gavrel.metainfo.xml" || fail "the metainfo does not launch gavrel.desktop"

# The MIME database built from the recipe's type alone maps the suffix to the type the entry opens.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/mime/packages"
cp "$desktop/gavrel-recipe.xml" "$work/mime/packages/"
XDG_DATA_DIRS=$work XDG_DATA_HOME=$work update-mime-database "$work/mime" 2>"$work/errors" || fail "update-mime-database: $(cat "$work/errors")"
[ ! -s "$work/errors" ] || fail "update-mime-database: $(cat "$work/errors")"
type=$(sed -n -E 's/^[0-9]+:([^:]+):\*\.gavrel-recipe$/\1/p' "$work/mime/globs2")
[ -n "$type" ] || fail "no MIME type for *.gavrel-recipe"
[ "$(field MimeType)" = "$type;" ] || fail "the entry opens '$(field MimeType)', the recipe is $type"
echo "desktop files: entry, metainfo and $type agree and validate"
