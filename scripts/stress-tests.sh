#!/usr/bin/env bash
# stress-tests.sh -- shows that the tests do not pass or fail by chance: every suite that drives
# windows or workers runs 20 times in a row (stopping at the first failure), then the whole
# suite runs 5 times with -j2 while a second build keeps both cores busy. The exit code is the
# verdict.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=build/debug
load=build/stress-load
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPIXORIA_WERROR=ON > /dev/null
cmake --build "$build" -j2

suites='tst_viewframe|tst_viewerroundtrip|tst_imageview|tst_viewercontroller|tst_dirtree|tst_mainframe'
suites+='|tst_folderworkers|tst_thumbnailworker|tst_picturelookahead|tst_folderscan|tst_workerrun'
suites+='|tst_filelistctrl|tst_browserview|tst_previewbar|tst_startup'
echo "== GUI and worker suites, 20 times each"
ctest --test-dir "$build" -R "^(${suites})\$" --repeat until-fail:20 -j2 --output-on-failure

echo "== The whole suite 5 times, -j2, under a second build"
cmake -S . -B "$load" -G Ninja -DCMAKE_BUILD_TYPE=Debug > /dev/null
# A build from scratch without the compiler cache, over and over, in a process group of its own.
setsid bash -c "while true; do CCACHE_DISABLE=1 cmake --build '$load' --clean-first -j2 > /dev/null 2>&1; done" &
loader=$!
trap 'kill -- -"$loader" 2> /dev/null || true' EXIT
for run in 1 2 3 4 5; do
  echo "-- run $run"
  ctest --test-dir "$build" -j2 --output-on-failure
done
