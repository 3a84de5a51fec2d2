#!/usr/bin/env bash
# Each folder of src/ includes only its own headers and those of the layers below it, and only
# app/ writes to standard output or standard error. Usage: layers.sh SRC_DIRECTORY
set -u
src="$1"
status=0
allowed() {
  case "$1" in
    io) echo "io" ;;
    texture) echo "io texture" ;;
    palette) echo "io texture palette" ;;
    convert) echo "io texture palette convert" ;;
    walk) echo "io texture walk" ;;
    app) echo "io texture palette convert walk app" ;;
  esac
}
for layer in io texture palette convert walk app; do
  [ -d "$src/$layer" ] || { echo "missing layer $layer"; status=1; continue; }
  while IFS= read -r line; do
    used="${line#*#include \"}"
    used="${used%%/*}"
    if [[ " $(allowed "$layer") " != *" $used "* ]]; then
      echo "$layer uses $used: $line"
      status=1
    fi
  done < <(grep -rn '#include "' "$src/$layer")
done
if grep -rnE 'stdout|stderr|std::cout|std::cerr|printf|puts\(' "$src" --include='*.cpp' --include='*.h' \
    | grep -v "^$src/app/"; then
  echo "output outside app/"
  status=1
fi
exit "$status"
