#!/usr/bin/env bash
# Runs the Linux and the Windows (under wine) builds of tarnvick and tarnvick-samples side by side
# and fails on any difference: the sample libraries (textures, pictures) and a generated library
# byte for byte, then for a set of runs the exit code, standard output and standard error (with
# the Windows '\' read as '/') and every file each run leaves in its copy of the library. Then
# the checks only Windows has: a device-named source and target, a path longer than 260
# characters, a non-ASCII name and Ctrl-C during a write.
# Folder links are Unix links here, which wine lists as folders with a reparse point: the wine of
# Debian 12 makes no junction nor Windows link (its mklink and CreateSymbolicLinkW create nothing,
# FSCTL_SET_REPARSE_POINT is not supported).
#
#   tools/windows/compare.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR
set -euo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$work/wine}
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The libraries: made by each generator, which must agree.
"$linux/tarnvick-samples" "$work/linux-samples" >/dev/null
wine "$windows/tarnvick-samples.exe" "$work/windows-samples" >/dev/null 2>&1
diff -r "$work/linux-samples" "$work/windows-samples" >/dev/null && echo "same: sample library" ||
  fail "tarnvick-samples.exe made another sample library"
"$linux/tarnvick-samples" --bench 4 "$work/linux-bench" >/dev/null
wine "$windows/tarnvick-samples.exe" --bench 4 "$work/windows-bench" >/dev/null 2>&1
diff -r "$work/linux-bench" "$work/windows-bench" >/dev/null && echo "same: generated library" ||
  fail "tarnvick-samples.exe made another generated library"
"$linux/tarnvick-samples" --pak "$work/linux-pak" >/dev/null
wine "$windows/tarnvick-samples.exe" --pak "$work/windows-pak" >/dev/null 2>&1
diff -r "$work/linux-pak" "$work/windows-pak" >/dev/null && echo "same: sample archive" ||
  fail "tarnvick-samples.exe made another sample archive"
"$linux/tarnvick-samples" --pictures "$work/linux-pictures" >/dev/null
wine "$windows/tarnvick-samples.exe" --pictures "$work/windows-pictures" >/dev/null 2>&1
diff -r "$work/linux-pictures" "$work/windows-pictures" >/dev/null && echo "same: picture library" ||
  fail "tarnvick-samples.exe made another picture library"

# One run of each program in a fresh copy of LIBRARY (as "lib", the working folder its parent).
compare_run() {
  local library=$1
  shift
  local name="$library: $*"
  for side in linux windows; do
    rm -rf "$work/$side-run"
    mkdir -p "$work/$side-run"
    [ -d "$work/linux-$library" ] && cp -r "$work/linux-$library" "$work/$side-run/lib"
    [ -f "$work/palette.lmp" ] && cp "$work/palette.lmp" "$work/$side-run/"
  done
  local status=0
  (cd "$work/linux-run" && "$linux/tarnvick" "$@" >"$work/linux.out" 2>"$work/linux.err") || status=$?
  echo "$status" >"$work/linux.rc"
  status=0
  (cd "$work/windows-run" && wine "$windows/tarnvick.exe" "$@" >"$work/windows.out" 2>"$work/windows.err") || status=$?
  echo "$status" >"$work/windows.rc"
  # The report names the sources as the messages do.
  if [ -f "$work/windows-run/report.csv" ]; then
    tr '\\' '/' <"$work/windows-run/report.csv" >"$work/report.csv" && mv "$work/report.csv" "$work/windows-run/report.csv"
  fi
  for stream in out err; do
    tr '\\' '/' <"$work/linux.$stream" >"$work/linux.$stream.read"
    tr '\\' '/' <"$work/windows.$stream" >"$work/windows.$stream.read"
  done
  local same=1
  cmp -s "$work/linux.rc" "$work/windows.rc" || { fail "$name: exit $(cat "$work/linux.rc") on Linux, $(cat "$work/windows.rc") on Windows"; same=0; }
  cmp -s "$work/linux.out.read" "$work/windows.out.read" || { fail "$name: standard output differs"; diff "$work/linux.out.read" "$work/windows.out.read" | head -5 || true; same=0; }
  cmp -s "$work/linux.err.read" "$work/windows.err.read" || { fail "$name: standard error differs"; diff "$work/linux.err.read" "$work/windows.err.read" | head -5 || true; same=0; }
  diff -r "$work/linux-run" "$work/windows-run" >/dev/null || { fail "$name: the files written differ"; diff -rq "$work/linux-run" "$work/windows-run" | head -5 || true; same=0; }
  [ "$same" = 1 ] && echo "same: $name (exit $(cat "$work/linux.rc"))"
  return 0
}

# Names beyond ASCII, in the messages too (a file cut short is told by name).
mkdir -p "$work/linux-names/Ökologie"
cp "$work/linux-samples/floors/moss.m8" "$work/linux-names/Ärger-ñandú.m8"
head -c 1000 "$work/linux-samples/floors/moss.m8" >"$work/linux-names/Ökologie/日本-kurz.m8"

# Folder links, which wine shows as folders with a reparse point (it can make no junction nor
# Windows link itself): never entered below the start, whether they lead inside the library or
# out of it; the start may be one.
mkdir -p "$work/linux-links/inside" "$work/outside"
cp "$work/linux-samples/floors/moss.m8" "$work/linux-links/inside/"
cp "$work/linux-samples/floors/moss.m8" "$work/outside/"
ln -s inside "$work/linux-links/to-inside"
ln -s "$work/outside" "$work/linux-links/to-outside"
# Archives: the sample archive beside a loose file it also holds (the archive wins), and archives
# damaged as a whole or in their entries' names and places.
cp "$work/linux-samples/floors/moss.m8" "$work/linux-pak/moss.m8"
mkdir -p "$work/linux-pak/textures/floors"
cp "$work/linux-samples/floors/sand.m8" "$work/linux-pak/textures/floors/sand.m8"
mkdir -p "$work/linux-badpak"
printf 'PACK\014\000\000\000\100\000\000\000' >"$work/linux-badpak/outside.pak"
printf 'PACX\014\000\000\000\000\000\000\000' >"$work/linux-badpak/not.pak"
{ printf 'PACK\014\000\000\000\300\000\000\000'
  printf '../evil.m32\000%.0s' 1; head -c 44 /dev/zero; printf '\014\000\000\000\000\001\000\000'
  printf 'a\\b.m8\000'; head -c 49 /dev/zero; printf '\377\377\377\377\001\000\000\000'
  printf 'c:x.m8\000'; head -c 49 /dev/zero; printf '\014\000\000\000\001\000\000\000'
} >"$work/linux-badpak/names.pak"
# A folder link where the output folder mirrors a library folder: never entered, on either system.
mkdir -p "$work/linux-outlinks/e1" "$work/linux-outlinks/mod"
cp "$work/linux-samples/floors/moss.m8" "$work/linux-outlinks/e1/"
ln -s ../e1 "$work/linux-outlinks/mod/e1"
# A tree deeper than the 64 folders the walk holds open, so that it opens some again on its way
# back, then goes on beside them.
deep="$work/linux-deep/$(printf 'd/%.0s' $(seq 1 70))"
mkdir -p "$deep" "$work/linux-deep/z"
cp "$work/linux-samples/floors/moss.m8" "$deep/deep.m8"
cp "$work/linux-samples/floors/moss.m8" "$work/linux-deep/z/tail.m8"

# Pictures beside M8 sources with .wal_json files, one of them refused.
mkdir -p "$work/linux-metadata/walls"
cp "$work/linux-pictures/mymod/walls/brick.png" "$work/linux-metadata/walls/"
cp "$work/linux-samples/floors/moss.m8" "$work/linux-metadata/walls/"
printf '{"flags": ["LIGHT", 16], /* lava */ "contents": "lava", "value": 7}' >"$work/linux-metadata/walls/brick.wal_json"
printf '{"flags": "SHINY"}' >"$work/linux-metadata/walls/moss.wal_json"

# A palette for the -p runs, made by the Linux program.
(cd "$work/linux-samples/.." && "$linux/tarnvick" linux-samples -s -o"$work/palette.lmp" >/dev/null 2>&1)
for library in samples bench; do
  compare_run "$library" lib
  compare_run "$library" lib -s -v --preview=preview.png --report=report.csv
  compare_run "$library" lib -s -p palette.lmp
  compare_run "$library" lib -s -p palette.lmp --dither --transparent
  compare_run "$library" lib -s -p palette.lmp --dither=diffusion
  compare_run "$library" lib -s --palette-method=median-cut -opalette.pcx
  compare_run "$library" lib -s --jobs=1 -v
  compare_run "$library" lib -s -p palette.lmp --true-colour=png --transparent --flags=quake2
  compare_run "$library" lib -s -p palette.lmp --true-colour=tga --output-dir=mod
done
compare_run samples lib -s -p palette.lmp --true-colour=png --preview=lib/walls/brick_red.png
compare_run samples lib -s -o palette.gpl --preview=lib/walls/preview.png
compare_run samples lib -s -o palette.pal -p palette.lmp
compare_run names lib -s -v --report=report.csv
compare_run links lib -s -v
compare_run links lib/to-inside -s -v
compare_run deep lib -s -v
compare_run samples lib -s --jobs=0
compare_run samples lib -s -o lib/walls/brick.m32
compare_run samples lib -s -p palette.lmp --preview=./palette.lmp
compare_run samples lib -s --preview=out.png --report=out.png
compare_run samples lib -s -o nowhere/palette.lmp
# The output folder: a library folder as it (passed over, told once though both walks meet it), a
# preview inside one the run makes, and a tree deeper than the folders the walk holds open below it.
compare_run samples lib -s --output-dir=lib/walls
compare_run samples lib -s -p palette.lmp --output-dir=mod/textures --preview=mod/textures/preview.png
compare_run deep lib -s -p palette.lmp --output-dir=mod
compare_run outlinks lib -s -p palette.lmp --output-dir=lib/mod
compare_run pak lib -s -v --report=report.csv
compare_run pak lib/pak0.pak -p palette.lmp --output-dir=mod
compare_run pak lib -s -p palette.lmp --output-pak=mod/pak0.pak --true-colour=png --transparent
compare_run pak lib -p lib/pak0.pak/TEXTURES/misc/readme.txt
compare_run badpak lib -s -o palette.lmp
compare_run pictures lib -s -p palette.lmp --pictures -v
compare_run pictures lib -s --pictures --transparent --dither --true-colour=tga -opalette.pcx --report=report.csv
compare_run pictures lib -s -p palette.lmp --pictures --transparent --output-pak=mod/pak0.pak --true-colour=png
compare_run samples lib -s -p palette.lmp --remake-mips --transparent --dither
compare_run metadata lib -s -p palette.lmp --pictures --remake-mips --flags=quake2
compare_run samples lib -s -x extra
compare_run samples lib/walls/brick.m32
compare_run samples missing
compare_run samples
compare_run samples --version
compare_run samples --help

# Windows alone.
check() {
  local what=$1 expected=$2 actual=$3
  if [ "$expected" = "$actual" ]; then echo "windows: $what"; else fail "$what: expected [$expected], got [$actual]"; fi
}
run_windows() {
  (cd "$work/win" && wine "$windows/tarnvick.exe" "$@" 2>&1 | tr '\\' '/'; exit "${PIPESTATUS[0]}")
}
rm -rf "$work/win"
mkdir -p "$work/win/lib"
for device in con com0 'LPT¹'; do cp "$work/linux-samples/floors/moss.m8" "$work/win/lib/$device.m8"; done
mkdir -p "$work/win/lib/aux"
cp "$work/linux-samples/floors/moss.m8" "$work/win/lib/aux/below.m8"
cp "$work/linux-samples/floors/moss.m8" "$work/win/lib/Ärger-ñandú.m8"
long="$work/win/lib/$(printf 'folder-with-a-long-name-%02d/' $(seq 1 12))"
mkdir -p "$long"
cp "$work/linux-samples/floors/moss.m8" "$long/deep.m8"
cp "$work/palette.lmp" "$work/win/palette.lmp"
output=$(run_windows lib -s -p palette.lmp || true)
check "device-named sources are skipped" "tarnvick: skipped lib/LPT¹.m8: not a regular file
tarnvick: skipped lib/com0.m8: not a regular file
tarnvick: skipped lib/con.m8: not a regular file" "$(grep '^tarnvick: skipped.*\(con\|com0\|LPT¹\)\.m8' <<<"$output" || true)"
output=$(run_windows lib -s -p palette.lmp --output-dir=mod || true)
check "a device-named folder below the output folder is not made" \
  "tarnvick: skipped lib/aux/below.m8: cannot write mod/aux/below.wal: a device name" "$(grep '^tarnvick: skipped.*below' <<<"$output" || true)"
check "a non-ASCII name round trip" "written" "$([ -f "$work/win/lib/Ärger-ñandú.wal" ] && echo written || echo missing)"
check "a path over 260 characters" "written" "$([ -f "$long/deep.wal" ] && echo written || echo missing)"
status=0
output=$(run_windows lib -s -o nul.lmp) || status=$?
check "a device-named palette is refused (exit 4)" "4 tarnvick: cannot write palette file: nul.lmp: not a regular file" \
  "$status $(grep '^tarnvick: cannot write.*nul\.lmp' <<<"$output" || true)"
check "no temporary file left" "" "$(find "$work/win" -name '.tarnvick-*')"

# Names that differ only in case make one file on Windows: the later source in walk order wins,
# for any --jobs, with the line Linux prints for a.m32 and a.m8, and both are counted.
rm -rf "$work/case"
mkdir -p "$work/case/lib" "$work/case/only"
cp "$work/linux-samples/walls/brick_red.m32" "$work/case/lib/Wall.m32"
cp "$work/linux-samples/floors/moss.m8" "$work/case/lib/A.M8"
for later in wall.m32 a.m32; do cp "$work/linux-samples/sky/dusk.m32" "$work/case/lib/$later"; done
cp "$work/case/lib/wall.m32" "$work/case/only/wall.m32"
(cd "$work/case" && "$linux/tarnvick" only -p ../palette.lmp >/dev/null 2>&1)
for jobs in 1 8; do
  rm -f "$work/case/lib/"*.[wW][aA][lL]
  output=$(cd "$work/case" && wine "$windows/tarnvick.exe" lib -p ../palette.lmp -v --jobs=$jobs 2>&1 >/dev/null | tr '\\' '/')
  check "names that differ only in case, --jobs=$jobs" "tarnvick: two sources make lib/a.wal; kept the one from lib/a.m32
tarnvick: two sources make lib/wall.wal; kept the one from lib/wall.m32
tarnvick: 4 converted, 0 skipped" "$(grep -e 'two sources' -e converted <<<"$output")"
  check "one WAL each, the later source's, --jobs=$jobs" "2 same" \
    "$(find "$work/case/lib" -iname '*.wal' | wc -l) $(cmp -s "$(find "$work/case/lib" -iname 'wall.wal')" "$work/case/only/wall.wal" && echo same)"
done
check "nothing written through a folder link" "" "$(find "$work/outside" -name '*.wal')"

# Ctrl-C in the middle of a write (wine turns a SIGINT into the console's CTRL_C_EVENT): the
# program is stopped as soon as a temporary file shows and, if it is still there, interrupted.
# Prints whether one was caught and how many temporary files are left.
interrupt_mid_write() {
  rm -rf "$work/ctrl-c"
  cp -r "$work/linux-bench" "$work/ctrl-c"
  (cd "$work" && exec wine "$windows/tarnvick.exe" ctrl-c -s -p palette.lmp --jobs=1 >/dev/null 2>&1) &
  local pid=$! caught=no
  while [ "$caught" = no ] && kill -0 "$pid" 2>/dev/null; do
    [ -n "$(find "$work/ctrl-c" -name '.tarnvick-*' -print -quit)" ] || continue
    kill -STOP "$pid"
    [ -n "$(find "$work/ctrl-c" -name '.tarnvick-*' -print -quit)" ] && caught=yes && kill -INT "$pid"
    kill -CONT "$pid"
  done
  wait "$pid" || true
  echo "$caught $(find "$work/ctrl-c" -name '.tarnvick-*' | wc -l)"
}
for attempt in 1 2 3 4 5; do
  interrupted=$(interrupt_mid_write)
  [ "${interrupted%% *}" = yes ] && break
done
check "Ctrl-C in the middle of a write leaves no temporary file" "yes 0" "$interrupted"

if [ "$failures" -gt 0 ]; then
  echo "$failures difference(s) between the Linux and the Windows programs"
  exit 1
fi
echo "the Windows program agrees with the Linux one"
