#!/usr/bin/env bash
# bench.sh [DIR] -- thumbnails per second: ours against peer tools on the same pictures.
#
# Builds the Release tree in build/release when needed. Without DIR it measures build/bench-corpus,
# made once with BENCH_N (default 60) camera-like JPEGs by `thumbnails --make-corpus`; any folder
# of pictures may be given instead. Every regular file of DIR is offered to every tool; a tool's
# rate counts the thumbnails it made. Peers: vipsthumbnail (one batch process) and
# gdk-pixbuf-thumbnailer (two processes in parallel); missing ones are installed with apt-get when
# possible and skipped otherwise. Each tool runs BENCH_REPEAT times (default 3) and its fastest run
# counts, since other work on the machine only ever slows a run down; our CPU time per thumbnail
# is printed too, as it does not depend on that. Ratios compare our two-thread rate with each peer
# and with the floor this kind of machine reaches (EXIF thumbnail or 1/8-scale JPEG decoding, two
# threads).
set -euo pipefail

FLOOR=133
SIZE=66
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/release"
count=${BENCH_N:-60}
repeat=${BENCH_REPEAT:-3}
for n in "$count" "$repeat"; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || { echo "bench.sh: BENCH_N and BENCH_REPEAT must be positive numbers" >&2; exit 2; }
done
(( $# <= 1 )) || { echo "usage: $0 [DIR]" >&2; exit 2; }

if [[ ! -f $build/build.ninja ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" -j2 --target pixoria_bench_thumbnails
thumbnails="$build/bin/thumbnails"

if (( $# == 1 )); then
  dir=$1
  [[ -d $dir ]] || { echo "bench.sh: no folder $dir" >&2; exit 2; }
else
  dir="$root/build/bench-corpus"
  shopt -s nullglob
  photos=("$dir"/IMG_*.JPG)
  shopt -u nullglob
  if (( ${#photos[@]} != count )); then
    rm -rf "$dir"
    "$thumbnails" --make-corpus "$dir" "$count"
  fi
fi
dir=$(cd "$dir" && pwd)

files=()
while IFS= read -r -d '' f; do files+=("$f"); done \
  < <(find -L "$dir" -mindepth 1 -maxdepth 1 -type f ! -name '.*' -print0 | sort -z)
(( ${#files[@]} > 0 )) || { echo "bench.sh: no files in $dir" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/pixoria-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Numbered links give every file a name of its own, so tools that name their output after the
# input's stem cannot overwrite one thumbnail with another.
mkdir "$work/in"
links=()
for i in "${!files[@]}"; do
  link=$(printf '%s/in/%05d-%s' "$work" "$i" "${files[i]##*/}")
  ln -s "${files[i]}" "$link"
  links+=("$link")
done

now() { date +%s.%N; }
# rate MADE START END: thumbnails per second.
rate() { awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%.1f", (b > a ? n / (b - a) : 0) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
warm() { cat "${files[@]}" > /dev/null; }

# need COMMAND PACKAGE: true when COMMAND is there, after trying to install PACKAGE.
need() {
  command -v "$1" > /dev/null && return 0
  if command -v apt-get > /dev/null; then
    local sudo=()
    (( EUID == 0 )) || sudo=(sudo)
    local apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -q)
    echo "installing $2 for $1"
    "${apt[@]}" install "$2" > /dev/null 2>&1 ||
      { "${apt[@]}" update > /dev/null 2>&1 && "${apt[@]}" install "$2" > /dev/null 2>&1; } || true
  fi
  command -v "$1" > /dev/null && return 0
  echo "skipping $1: package $2 is not installed"
  return 1
}

echo "== ours: $thumbnails"
"$thumbnails" "$dir" --repeat "$repeat" | tee "$work/ours.txt" || echo "bench.sh: ours made no thumbnails"
ours=$(awk '$1 == "threads" && $2 == "2:" { print $(NF - 1) }' "$work/ours.txt")
ours1=$(awk '$1 == "threads" && $2 == "1:" { print $(NF - 1) }' "$work/ours.txt")
# CPU time per thumbnail does not grow when other work shares the machine.
ourscpu=$(awk '$1 == "threads" && $2 == "2:" && $3 > 0 { printf "%.1f", 1000 * $(NF - 3) / $3 }' "$work/ours.txt")

results=()
# peer NAME PACKAGE HOW RUNNER: runs RUNNER OUTDIR on a warm cache and records NAME's best rate.
peer() {
  need "$1" "$2" || return 0
  echo "== $1 $3"
  local out="$work/$1" start end made r best=0 run
  warm
  for (( run = 0; run < repeat; run++ )); do
    rm -rf "$out"
    mkdir "$out"
    start=$(now)
    "$4" "$out" 2> "$work/$1.err" || true
    end=$(now)
    made=$(find "$out" -type f -size +0 | wc -l)
    r=$(rate "$made" "$start" "$end")
    echo "$made thumbnails, $(( ${#files[@]} - made )) failed, $r thumbnails/s"
    best=$(awk -v a="$best" -v b="$r" 'BEGIN { print (b > a ? b : a) }')
  done
  results+=("$1:$best")
}
vips_batch() { vipsthumbnail --size "${SIZE}x$SIZE" -o "$1/%s.jpg" "${links[@]}"; }
pixbuf_pair() {
  local i
  for i in "${!links[@]}"; do printf '%s\0%s\0' "${links[i]}" "$1/$i.png"; done |
    xargs -0 -n 2 -P 2 gdk-pixbuf-thumbnailer -s "$SIZE"
}
peer vipsthumbnail libvips-tools "--size ${SIZE}x$SIZE, one batch process" vips_batch
peer gdk-pixbuf-thumbnailer libgdk-pixbuf2.0-bin "-s $SIZE, two processes in parallel" pixbuf_pair

echo
echo "== summary: ${#files[@]} files in $dir"
printf '%-26s %8s thumbnails/s\n' "ours, 1 thread" "${ours1:-?}" "ours, 2 threads" "${ours:-?}"
if [[ -n $ourscpu ]]; then
  printf '%-26s %8s ms CPU per thumbnail (two idle cores: %s/s)\n' "ours" "$ourscpu" \
    "$(awk -v ms="$ourscpu" 'BEGIN { printf "%.0f", (ms > 0 ? 2000 / ms : 0) }')"
fi
for entry in "${results[@]}"; do
  printf '%-26s %8s thumbnails/s   ours is %sx\n' "${entry%%:*}" "${entry##*:}" "$(ratio "${ours:-0}" "${entry##*:}")"
done
printf '%-26s %8s thumbnails/s   ours is %sx\n' "floor (2 threads)" "$FLOOR" "$(ratio "${ours:-0}" "$FLOOR")"
