#!/usr/bin/env bash
# Tests as an installed program meets them: the test program copied into a folder its user cannot
# write (as /usr/bin is), run as an unprivileged user with a home of its own (file permissions then
# count, as they do not for root). Arguments: the test program, then its test functions.
# Needs root to switch users; elsewhere there is nothing to show.
set -euo pipefail
program=$1
shift
if [ "$(id -u)" != 0 ]; then echo "not root: skipped"; exit 0; fi
bin=$(mktemp -d /tmp/vardex-bin.XXXXXX)
home=$(mktemp -d /tmp/vardex-home.XXXXXX)
trap 'rm -rf "$bin" "$home"' EXIT
cp "$program" "$bin/"
chmod 555 "$bin"
# the checkout may sit in a home only its owner can enter (0700): the demo data goes along
demo=$(cd "$(dirname "$0")/.." && pwd)/services/db/demo.sql
cp "$demo" "$home/demo.sql"
chown -R nobody:nogroup "$home"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR
HOME=$home VARDEX_TEST_READ_ONLY_PROGRAM=1 VARDEX_TEST_DEMO_SQL=$home/demo.sql \
  setpriv --reuid=nobody --regid=nogroup --clear-groups \
  "$bin/$(basename "$program")" "$@"
