#!/usr/bin/env bash
# Runs check-floors over the fixture tree: exactly its one wrong include is reported. Then each
# kind of wrong include is added to a copy of the tree in turn, and each must be reported too.
set -u
here=$(cd "$(dirname "$0")" && pwd)
check=$here/../../check-floors
fail=0

out=$("$check" "$here/fixture/game"); rc=$?
expected='engine/draw.cpp:4: includes world/cam.h: engine (floor 3) includes world (floor 4)'
if [ $rc -ne 1 ] || [ "$out" != "$expected" ]; then
  echo "fixture: expected exit 1 and '$expected', got exit $rc and:"; echo "$out"; fail=1
fi

# file | include added | text the report must hold
cases=(
  "common/mem.h|shell/snd.h|common (floor 1) includes shell (floor 2)"
  "shell/snd.cpp|engine/draw.h|shell (floor 2) includes engine (floor 3)"
  "world/cam.h|app/app.h|nothing outside app includes the program"
  "engine/tests/draw_test.cpp|app/app.h|nothing outside app includes the program"
  "ui/hud.h|stubs/cam_stub.h|never a stand-in's"
  "common/mem.h|ui/hud.h|common (floor 1) includes ui (floor 4)"
)
for c in "${cases[@]}"; do
  IFS='|' read -r file include text <<<"$c"
  tmp=$(mktemp -d)
  cp -r "$here/fixture/game" "$tmp/game"
  printf '#include "%s"\n' "$include" >> "$tmp/game/$file"
  out=$("$check" "$tmp/game"); rc=$?
  if [ $rc -ne 1 ] || ! grep -qF "$file:" <<<"$out" || ! grep -qF "$text" <<<"$out"; then
    echo "case $file + $include: expected exit 1 and a line with '$text', got exit $rc and:"; echo "$out"; fail=1
  fi
  rm -rf "$tmp"
done

# The same tree without its wrong include passes.
tmp=$(mktemp -d)
cp -r "$here/fixture/game" "$tmp/game"
sed -i '/world\/cam.h/d' "$tmp/game/engine/draw.cpp"
out=$("$check" "$tmp/game"); rc=$?
if [ $rc -ne 0 ] || [ -n "$out" ]; then echo "clean tree: expected exit 0 and no output, got $rc and:"; echo "$out"; fail=1; fi
rm -rf "$tmp"

[ $fail -eq 0 ] && echo "check-floors fixture: all cases reported as expected"
exit $fail
