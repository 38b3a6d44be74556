#!/usr/bin/env bash
# scripts/check-layering passes on the project's tree and fails on each planted offence, naming
# the file; every case starts from a fresh copy of the tree.
set -uo pipefail
source_dir="${1:?usage: check_layering_test.sh SOURCE_DIR}"
script="$source_dir/scripts/check-layering"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

fresh_copy() {
  rm -rf "$scratch/tree"
  mkdir -p "$scratch/tree/docs"
  # Hard links keep the copy cheap: cases only add files and rewrite others whole (sed -i).
  cp -al "$source_dir/src" "$source_dir/content" "$scratch/tree/"
  cp "$source_dir/docs/architecture.md" "$scratch/tree/docs/"
  cp "$source_dir/CMakeLists.txt" "$scratch/tree/"
}

plant() {  # FILE TEXT: a new file of the copy holding the line (never an existing, linked one)
  [ ! -e "$scratch/tree/$1" ] || { echo "plant: $1 exists"; exit 1; }
  mkdir -p "$(dirname "$scratch/tree/$1")"
  printf '%s\n' "$2" >"$scratch/tree/$1"
}

# expect NAME WANT MESSAGE-PATTERN SETUP...: WANT is pass (status 0), fail (1: an offence) or
# error (2: the rules cannot be read).
expect() {
  local name="$1" want="$2" pattern="$3"
  shift 3
  fresh_copy
  "$@"
  local output status
  output=$("$script" "$scratch/tree" 2>&1)
  status=$?
  local code=0
  [ "$want" = fail ] && code=1
  [ "$want" = error ] && code=2
  if [ $status -ne $code ]; then
    echo "FAIL $name: expected status $code, got $status:"; echo "$output"; failures=$((failures + 1)); return
  fi
  if ! grep -q -- "$pattern" <<<"$output"; then
    echo "FAIL $name: output does not match '$pattern':"; echo "$output"; failures=$((failures + 1)); return
  fi
  echo "ok   $name"
}

nothing() { :; }
upward() { plant src/Objkr/planted.cpp '#include "render/view.h"'; }
upward_header() { plant src/core/planted.h '  #  include "fun3d/gameobject.h"'; }
downward() { plant src/render/planted.cpp '#include "Objkr/entity.h"'; }
unistd_in_game() { plant src/Terrain/planted.cpp '#include <unistd.h>'; }
unistd_in_content() { plant content/planted.cpp '#include <sys/stat.h>'; }
unistd_in_platform() { plant src/platform/planted.cpp '#include <unistd.h>'; }
sdl_in_game() { plant src/render/planted.cpp '#include <SDL2/SDL.h>'; }
unknown_folder() { plant src/newfolder/planted.cpp '#include "core/debug.h"'; }
order_drift() { sed -i 's/^set(GV_GAME_FOLDERS core Objkr Terrain/set(GV_GAME_FOLDERS core Terrain Objkr/' "$scratch/tree/CMakeLists.txt"; }
no_order() { sed -i 's/^Layer order:/Layers:/' "$scratch/tree/docs/architecture.md"; }

# The project's own tree first: it must keep the rules the copies break.
output=$("$script" "$source_dir" 2>&1) || { echo "FAIL the project's tree:"; echo "$output"; failures=$((failures + 1)); }

expect "a copy of the tree"                    pass "keep the layer order" nothing
expect "an include down the order"             pass "keep the layer order" downward
expect "an upward include"                     fail "src/Objkr/planted.cpp:1: src/Objkr/ includes \"render/" upward
expect "an upward include in a header"         fail "src/core/planted.h:1: src/core/ includes \"fun3d/" upward_header
expect "<unistd.h> in a game folder"           fail "src/Terrain/planted.cpp:1: <unistd.h>" unistd_in_game
expect "<sys/stat.h> in the generator"         fail "content/planted.cpp:1: <sys/stat.h>" unistd_in_content
expect "an SDL header in a game folder"        fail "src/render/planted.cpp:1: <SDL2/SDL.h>" sdl_in_game
expect "<unistd.h> in the platform layer"      pass "keep the layer order" unistd_in_platform
expect "a folder missing from the order"       fail "src/newfolder/: the folder is not in the layer order" unknown_folder
expect "the build's order drifting"            fail "GV_GAME_FOLDERS" order_drift
expect "no documented order"                   error "no \"Layer order:\" line" no_order

[ $failures -eq 0 ] && echo "all cases passed"
exit $((failures > 0))
