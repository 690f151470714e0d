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
# and with the floor this machine reaches, measured in the same run by `floor`: each JPEG of DIR
# read once, its EXIF thumbnail or else a 1/8-scale decode with libjpeg-turbo's fastest settings,
# nothing scaled or drawn, two threads.
# The file list's thumbnail worker (`listthumbnails`) runs on the same folder: its rate with the
# pool against the gdk-pixbuf-thumbnailer pair (goal 2x), its rate on the JPEGs without an EXIF
# thumbnail (goal 60/s), and the resident size after thumbnails of BENCH_MEMORY_N (default 10000)
# links to the folder's pictures (goal under 400 MB); its rate on the JPEGs of the folder against
# the floor's on the same files (goal 0.9x), with the CPU time per thumbnail of each kind of file
# beside the floor's; and the shared thumbnail cache's first and second visits of the folder (goal:
# the second 5x the first and at least 400/s).
set -euo pipefail

SIZE=66
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/release"
count=${BENCH_N:-60}
repeat=${BENCH_REPEAT:-3}
memory=${BENCH_MEMORY_N:-10000}
for n in "$count" "$repeat" "$memory"; do
  [[ $n =~ ^[1-9][0-9]*$ ]] ||
    { echo "bench.sh: BENCH_N, BENCH_REPEAT and BENCH_MEMORY_N must be positive numbers" >&2; exit 2; }
done
(( $# <= 1 )) || { echo "usage: $0 [DIR]" >&2; exit 2; }

if [[ ! -f $build/build.ninja ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" -j2 --target pixoria_bench_thumbnails pixoria_bench_listthumbnails pixoria_bench_floor
thumbnails="$build/bin/thumbnails"
listthumbnails="$build/bin/listthumbnails"
floorbin="$build/bin/floor"

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

echo "== the file list's worker: $listthumbnails"
"$listthumbnails" "$dir" --repeat "$repeat" --memory "$memory" | tee "$work/list.txt" ||
  echo "bench.sh: the file list's worker made no thumbnails"
# listed WHAT: the rate of the worker's line that begins with WHAT.
listed() { awk -v what="$1" 'index($0, what) == 1 { print $(NF - 1) }' "$work/list.txt"; }
list=$(listed "list worker, all image rows:")
listplain=$(listed "list worker, JPEGs without EXIF thumbnails:")
listrss=$(awk '$1 == "memory:" { for (i = 1; i < NF; i++) if ($i == "before,") print $(i + 1) }' "$work/list.txt")
listjpegs=$(listed "list worker, all JPEGs:")

echo "== the floor: $floorbin"
"$floorbin" "$dir" --repeat "$repeat" | tee "$work/floor.txt" || echo "bench.sh: the floor made no thumbnails"
floor=$(awk 'index($0, "floor, all JPEGs:") == 1 { print $(NF - 1) }' "$work/floor.txt")
# cpums FILE WHAT: the CPU milliseconds per thumbnail on FILE's line that begins with WHAT.
cpums() { awk -v what="$2" 'index($0, what) == 1 { for (i = 2; i <= NF; i++) if ($i == "ms") print $(i - 1) }' "$1"; }

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
printf '%-26s %8s thumbnails/s   ours is %sx\n' "floor (2 threads)" "${floor:-?}" "$(ratio "${ours:-0}" "${floor:-0}")"
pixbuf=
for entry in "${results[@]}"; do
  [[ ${entry%%:*} == gdk-pixbuf-thumbnailer ]] && pixbuf=${entry##*:}
done
printf '%-26s %8s thumbnails/s   %sx the gdk-pixbuf-thumbnailer pair (goal 2x)\n' "list worker, pool" \
  "${list:-?}" "$(ratio "${list:-0}" "${pixbuf:-0}")"
printf '%-26s %8s thumbnails/s   (goal 60/s)\n' "list worker, no EXIF thumb" "${listplain:-?}"
printf '%-26s %8s MB VmRSS after %s thumbnails (goal under 400 MB)\n' "list worker, memory" "${listrss:-?}" "$memory"
floorratio=$(ratio "${listjpegs:-0}" "${floor:-0}")
printf '%-26s %8s thumbnails/s   floor %s/s on the same files, %sx (goal 0.9x): %s\n' "list worker, JPEGs" \
  "${listjpegs:-?}" "${floor:-?}" "$floorratio" \
  "$(awk -v r="$floorratio" 'BEGIN { print (r >= 0.9 ? "met" : "NOT met") }')"
printf '%-26s %8s ms CPU per thumbnail with an EXIF thumbnail, %s without, %s other pictures\n' \
  "list worker, by kind" "$(cpums "$work/list.txt" "list worker, JPEGs with EXIF thumbnails:")" \
  "$(cpums "$work/list.txt" "list worker, JPEGs without EXIF thumbnails:")" \
  "$(cpums "$work/list.txt" "list worker, other pictures:")"
printf '%-26s %8s ms CPU per thumbnail with an EXIF thumbnail, %s without\n' "floor, by kind" \
  "$(cpums "$work/floor.txt" "floor, JPEGs with EXIF thumbnails:")" "$(cpums "$work/floor.txt" "floor, JPEGs without:")"

# The shared thumbnail cache (listthumbnails, with an XDG_CACHE_HOME of its own): a second visit
# of DIR reads every thumbnail from it (goal 5x the first visit and at least 400/s); the first
# visit, which writes it, against the worker without the cache; CPU time per thumbnail beside both.
cachefirst=$(listed "cache, first visit (written):")
cachesecond=$(listed "cache, second visit (read):")
cacheverdict=$(awk -v a="${cachesecond:-0}" -v b="${cachefirst:-0}" \
  'BEGIN { print (b > 0 && a >= 5 * b && a >= 400 ? "met" : "NOT met") }')
printf '%-26s %8s thumbnails/s   %sx the first visit (%s/s); CPU %s ms per thumbnail; goal 5x and 400/s: %s\n' \
  "cache, second visit" "${cachesecond:-?}" "$(ratio "${cachesecond:-0}" "${cachefirst:-0}")" "${cachefirst:-?}" \
  "$(cpums "$work/list.txt" "cache, second visit (read):")" "$cacheverdict"
printf '%-26s %8s thumbnails/s   %sx the worker without the cache (%s/s); CPU %s ms against %s ms per thumbnail\n' \
  "cache, first visit" "${cachefirst:-?}" "$(ratio "${cachefirst:-0}" "${list:-0}")" "${list:-?}" \
  "$(cpums "$work/list.txt" "cache, first visit (written):")" \
  "$(cpums "$work/list.txt" "list worker, all image rows:")"

# The file list's folder reading and header scan, each on a folder made once beside the corpus:
# BENCH_POPULATION_N files (default 100000) read by the population worker against
# `find -printf '%s %T@ %p\n'` (goal 0.8x, sorting by name included), and BENCH_HEADERS_N small
# BMP/GIF/JPEG/PNG pictures (default 10000) scanned by the header-scan worker against an
# open + read 100 bytes + close loop (goal 0.25x) and `gm identify -ping`.
population_n=${BENCH_POPULATION_N:-100000}
headers_n=${BENCH_HEADERS_N:-10000}
for n in "$population_n" "$headers_n"; do
  [[ $n =~ ^[1-9][0-9]*$ ]] ||
    { echo "bench.sh: BENCH_POPULATION_N and BENCH_HEADERS_N must be positive numbers" >&2; exit 2; }
done
cmake --build "$build" -j2 --target pixoria_bench_population pixoria_bench_headerscan
population="$build/bin/population"
headerscan="$build/bin/headerscan"

# made FOLDER N MAKER...: runs MAKER unless FOLDER holds N entries already.
made() {
  local folder=$1 n=$2
  shift 2
  if [[ ! -d $folder ]] || (( $(find "$folder" -mindepth 1 -maxdepth 1 | wc -l) != n )); then
    rm -rf "$folder"
    "$@"
  fi
}
popdir="$root/build/bench-population"
made "$popdir" "$population_n" "$population" --make "$popdir" "$population_n"
headersdir="$root/build/bench-headers"
made "$headersdir" "$headers_n" "$headerscan" --make "$headersdir" "$headers_n"

echo
echo "== the file list's folder reading: $population"
"$population" "$popdir" --repeat "$repeat" | tee "$work/population.txt" || echo "bench.sh: the folder reading failed"
echo "== the file list's header scan: $headerscan"
"$headerscan" "$headersdir" --repeat "$repeat" | tee "$work/headerscan.txt" || echo "bench.sh: the header scan failed"

echo
echo "== summary: $population_n files in $popdir, $headers_n pictures in $headersdir"
awk '$1 == "ours" { ours = $4 } $1 == "find" { find = $3 } $1 == "ratio" { ratio = $3 }
     END { printf "%-26s %8s entries/s   %sx find (%s/s, goal 0.8x)\n", "population worker", ours, ratio, find }' \
  "$work/population.txt"
awk '$1 == "ours" { ours = $4 } $1 == "floor" { floor = $6; ratio = $NF }
     $1 == "gm" && NF > 5 { gm = $NF }
     END { printf "%-26s %8s files/s     %s the open + read + close loop (%s/s, goal 0.25x), %s gm identify -ping\n",
                  "header-scan worker", ours, ratio, floor, (gm == "" ? "no" : gm) }' "$work/headerscan.txt"

# The viewer's look-ahead decode on the 12-megapixel JPEGs of DIR: per picture a plain load, the
# peer's full decode (`djpeg -outfile /dev/null`, package libjpeg-turbo-progs) and the look-ahead's
# take() after a finished prefetch, as medians. They are the two halves of the move to the next
# picture, whose goals are under 25 ms with the look-ahead and at most 1.3x djpeg without it.
cmake --build "$build" -j2 --target pixoria_bench_lookahead
lookahead="$build/bin/lookahead"
need djpeg libjpeg-turbo-progs || true
echo
echo "== the viewer's look-ahead decode: $lookahead"
warm
"$lookahead" "$dir" --repeat "$repeat" | tee "$work/lookahead.txt" || echo "bench.sh: the look-ahead bench failed"

echo
echo "== summary: the 12-megapixel JPEGs of $dir"
# median WHAT: the median of the bench's line that begins with WHAT.
median() {
  awk -v what="$1" 'index($0, what) == 1 { for (i = 1; i < NF; i++) if ($i == "median") print $(i + 1) }' \
    "$work/lookahead.txt"
}
load=$(median "load:")
djpegms=$(median "djpeg")
perpicture=$(awk '$1 == "ratio" && $5 == "median" { print $6 }' "$work/lookahead.txt")
printf '%-26s %8s ms median   %sx djpeg (%s ms; median of the per-picture ratios, goal 1.3x)\n' \
  "load, no look-ahead" "${load:-?}" "${perpicture:-?}" "${djpegms:-?}"
printf '%-26s %8s ms median   (goal for the whole move: under 25 ms)\n' "look-ahead hit, take()" "$(median "hit:")"

# The viewer's Next command on the 12-megapixel JPEGs of DIR, from the command to the new picture
# painted in a 1280 x 800 view (offscreen): with the look-ahead having decoded the picture and
# without it, at zoom 1 and fitted to the window, next to `djpeg -outfile /dev/null` of the same
# files. Goals: under 25 ms with the look-ahead, at most 1.3x djpeg without it.
cmake --build "$build" -j2 --target pixoria_bench_viewernext
viewernext="$build/bin/viewernext"
echo
echo "== the viewer's Next command: $viewernext"
warm
"$viewernext" "$dir" --repeat "$repeat" | tee "$work/viewernext.txt" || echo "bench.sh: the viewer bench failed"
grep -E '^(ratio|look-ahead:)' "$work/viewernext.txt" || true

# The next picture at once in every fit mode: after a look-ahead hit the picture comes decoded and
# already scaled to the window, so a move only copies it (goal under 8 ms in the slowest fit
# mode, beside djpeg's full decode of the same files); a picture read from the file shows its
# preview first (EXIF thumbnail or 1/8-scale decode; goal under 40 ms, beside `djpeg -scale 1/8`).
echo
echo "== summary: the viewer's next picture and its preview"
awk 'function verdict(ms, goal) { return ms != "" && ms + 0 >= 0 && ms + 0 < goal ? "met" : "NOT met" }
     $1 == "look-ahead" && $2 == "hit," { hit = $6; hitcpu = $13 }
     index($0, "djpeg -outfile /dev/null, as a process") == 1 { djpeg = $8 }
     $1 == "preview:" { preview = $2; eighth = $7; cpu = $14; eighthcpu = $17 }
     END {
       printf "%-26s %8s ms         %.2fx djpeg full decode (%s ms), goal under 8 ms: %s; UI thread cpu %s ms\n",
              "next after a look-ahead hit", hit, (djpeg > 0 ? hit / djpeg : 0), djpeg, verdict(hit, 8), hitcpu
       printf "%-26s %8s ms         %.2fx djpeg -scale 1/8 (%s ms), goal under 40 ms: %s; cpu %s ms (djpeg %s ms)\n",
              "preview of a picture read", preview, (eighth > 0 ? preview / eighth : 0), eighth, verdict(preview, 40),
              cpu, eighthcpu
     }' "$work/viewernext.txt"

# The file list on a folder of BENCH_MILLION_N entries (default 1,000,000; hard links to a few
# small JPEGs, made once under build/) in Details mode, offscreen: reading and sorting by name
# against `find -maxdepth 1 -printf '%f %s %T@\n'` (goal: at least as fast), the resident memory of
# the rows (goal under 500 MB), sorting by size, date and type (goal under 1 s each) and the
# largest lateness of a 5 ms UI-thread timer while the list scrolls (goal at most 16 ms).
million_n=${BENCH_MILLION_N:-1000000}
[[ $million_n =~ ^[1-9][0-9]*$ ]] || { echo "bench.sh: BENCH_MILLION_N must be a positive number" >&2; exit 2; }
cmake --build "$build" -j2 --target pixoria_bench_million
million="$build/bin/million"
milliondir="$root/build/bench-million"
made "$milliondir" "$million_n" sh -c 'rm -rf "$2.sources" && "$1" --make "$2" "$3"' sh "$million" "$milliondir" "$million_n"
echo
echo "== the file list on $million_n entries: $million"
"$million" "$milliondir" --repeat "$repeat" | tee "$work/million.txt" ||
  echo "bench.sh: the million bench failed"
echo
echo "== summary: $million_n entries in $milliondir"
awk '$1 == "ours" { ours = $2; ourscpu = $9 } $1 == "find" { find = $2; findcpu = $9 } $1 == "ratio" { ratio = $2 }
     END { printf "%-26s %8s entries/s   %sx find (%s/s); CPU %s ns vs %s ns an entry (goal 1x): %s\n",
                  "read and sort by name", ours, ratio, find, ourscpu, findcpu, (ratio >= 1 ? "met" : "NOT met") }' \
  "$work/million.txt"
awk '$1 == "memory:" { printf "%-26s %8s MB VmRSS, %s bytes an entry (goal under 500 MB): %s\n",
                              "rows in memory", $2, $8, ($2 < 500 ? "met" : "NOT met") }' "$work/million.txt"
awk '$1 == "sort" && $2 == "by" && $3 != "name" {
       printf "%-26s %8s ms, %s ms CPU; slowest run %s ms, %s ms CPU (goal under 1000 ms): %s\n", "sort by " $3, $4, $6,
              $11, $13, ($4 < 1000 ? "met" : "NOT met") }' "$work/million.txt"
awk '$1 == "scroll:" { for (i = NF; i > 1; i--) if ($i == "largest" && $(i + 1) != "CPU") largest = $(i + 1) + 0
                       for (i = 1; i < NF; i++) if ($i == "ticks") cpu = $(i + 1) + 0 }
     END { printf "%-26s %8s ms largest UI-thread lateness, %s ms CPU between ticks (goal at most 16 ms): %s\n",
                  "scrolling in Details", largest, cpu, (largest <= 16 ? "met" : "NOT met") }' "$work/million.txt"
