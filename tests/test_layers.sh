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
hashing='security/(Bcrypt|Blowfish)'
check data "data|$hashing"
for f in "$src"/security/Bcrypt* "$src"/security/Blowfish*; do
  grep -Hn '#include "[a-z]*/' "$f" | grep -Ev "#include \"(data|$hashing)" && failures=$((failures + 1))
done
check widgets "data|widgets|$hashing"
for feature in security profile materials evaluation appeals; do
  check "$feature" "data|widgets|$feature"
done
if [ "$failures" -eq 0 ]; then echo "layers: 1 passed, 0 failed"; else echo "layers: 0 passed, 1 failed"; exit 1; fi
