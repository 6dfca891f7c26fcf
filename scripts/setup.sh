#!/usr/bin/env bash
# Installs the missing Debian packages of the named groups of scripts/packages.txt.
#   scripts/setup.sh GROUP...        e.g. scripts/setup.sh build run
#   scripts/setup.sh --all           every group (so does no group at all)
#   scripts/setup.sh --list GROUP... prints the groups' packages, installs nothing
# Runs as root, or through sudo otherwise.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
list="$here/packages.txt"
only_list=0
groups=()
for argument in "$@"; do
  case "$argument" in
    --list) only_list=1 ;;
    --all) mapfile -t -O "${#groups[@]}" groups < <(sed -n -E 's/^\[([^]]+)\]\s*$/\1/p' "$list") ;;
    -*) echo "setup: unknown option $argument" >&2; exit 2 ;;
    *) groups+=("$argument") ;;
  esac
done
# Without group names, every group, as before the list had groups.
[ ${#groups[@]} -gt 0 ] || mapfile -t groups < <(sed -n -E 's/^\[([^]]+)\]\s*$/\1/p' "$list")

# The packages of one group: the lines after its "[name]" up to the next group.
group_packages() {
  awk -v want="$1" '
    /^[[:space:]]*(#|$)/ { next }
    /^\[[^]]+\][[:space:]]*$/ { name = $0; gsub(/^\[|\][[:space:]]*$/, "", name); in_group = (name == want); found = found || in_group; next }
    in_group { print $1 }
    END { exit found ? 0 : 3 }' "$list"
}

wanted=()
for group in "${groups[@]}"; do
  packages=$(group_packages "$group") || { echo "setup: no group [$group] in $list" >&2; exit 2; }
  mapfile -t -O "${#wanted[@]}" wanted <<<"$packages"
done
mapfile -t wanted < <(printf '%s\n' "${wanted[@]}" | sed '/^$/d' | sort -u)

if [ "$only_list" = 1 ]; then
  printf '%s\n' "${wanted[@]}"
  exit 0
fi

missing=()
for pkg in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "setup: missing packages (${missing[*]}) and neither root nor sudo is available" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
