#!/usr/bin/env bash
# No include runs from a lower layer to a higher one: data < widgets < features < app.
# A feature includes no other feature; nothing outside src/app includes app/.
set -uo pipefail
src=$1/src
failures=0
check() {  # folder, allowed include prefixes (regex)
  local folder=$1 allowed=$2 line
  while IFS= read -r line; do
    echo "FAIL: $line"; failures=$((failures + 1))
  done < <(grep -Hn '#include "[a-z]*/' "$src/$folder"/* | grep -Ev "#include \"($allowed)/")
}
hashing="security/(Bcrypt|Blowfish)"
check data "data"
for f in "$src"/security/Bcrypt* "$src"/security/Blowfish*; do
  # the hashing needs nothing but itself and the one error type
  grep -Hn '#include "[a-z]*/' "$f" | grep -Ev "#include \"($hashing|data/VardexError\.h\")" && failures=$((failures + 1))
done
check widgets "data|widgets"
for feature in security profile materials evaluation appeals; do
  check "$feature" "data|widgets|$feature"
done
# The data layer names no Qt Widgets header, whatever way it is spelt.
widgets_dir=${2:-}
if [ -n "$widgets_dir" ] && [ -d "$widgets_dir" ]; then
  while IFS= read -r line; do
    header=$(sed -E 's/.*#include <(QtWidgets\/)?([A-Za-z_]+)>.*/\2/' <<<"$line")
    if [[ $line == *"<QtWidgets"* ]] || [ -e "$widgets_dir/$header" ]; then
      echo "FAIL: $line"; failures=$((failures + 1))
    fi
  done < <(grep -Hn '#include <Q' "$src"/data/*)
fi
if [ "$failures" -eq 0 ]; then echo "layers: 1 passed, 0 failed"; else echo "layers: 0 passed, 1 failed"; exit 1; fi
