#!/usr/bin/env bash
# How often -FB finds the byte order and the load address of the reference
# images that base_images.sh makes. Run by hand, not in CI.
#
# usage: [PELORIN=path] bench/base_share.sh DIR      make the images in DIR, check
#        [PELORIN=path] bench/base_share.sh -c DIR   check the images in DIR only
#
# For every image of DIR/manifest.tsv it runs `$PELORIN -FB` (PELORIN defaults
# to build/pelorin) and prints the image, its byte order and base, what
# pelorin found and a verdict: right, none ("no base found"), or WRONG (a
# wrong byte order or a wrong best base). Whole images must all be right; a
# piece may be right or none, never wrong.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
if [ "${1:-}" = -c ]; then
    shift
else
    "$here/base_images.sh" "$1"
fi
dir=$1
pelorin=${PELORIN:-$root/build/pelorin}

printf '%-36s %-6s %-8s  %-6s %-8s  %s\n' image order base found base verdict
right=0 none=0 wrong=0
while IFS=$'\t' read -r file order base kind; do
    out=$("$pelorin" -FB "$dir/$file")
    got_order=$(sed -n '1s/^\(big\|little\)-endian .*/\1/p' <<<"$out")
    got_base=$(sed -n '2s/^\([0-9a-f]\{8\}\)  score .*/\1/p' <<<"$out")
    if [ "$got_order" != "$order" ] || { [ -n "$got_base" ] && [ "$got_base" != "$base" ]; }; then
        verdict=WRONG wrong=$((wrong + 1))
    elif [ -z "$got_base" ]; then
        verdict=none none=$((none + 1))
        [ "$kind" = whole ] && verdict="none (a whole image)"
    else
        verdict=right right=$((right + 1))
    fi
    printf '%-36s %-6s %-8s  %-6s %-8s  %s\n' "$file" "$order" "$base" "${got_order:--}" \
        "${got_base:--}" "$verdict"
done <"$dir/manifest.tsv"
echo "right $right, none $none, wrong $wrong"
