#!/bin/sh
# The layering check passes on this tree and fails, naming the file, on each planted violation
# in a copy of it. Usage: check_layers_test.sh SOURCE-ROOT
set -eu
root="$1"
check="$root/scripts/check-layers"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

"$check" "$root" >/dev/null

# One copy of the products; each case plants a line in one file, expects the check to fail
# naming that file and the offence, and puts the file back.
mkdir "$tmp/tree"
for dir in crypto messaging protocol cmdline app peers tools; do
  cp -R "$root/$dir" "$tmp/tree/$dir"
done
"$check" "$tmp/tree" >/dev/null

plant() {
  cp "$tmp/tree/$1" "$tmp/original"
  printf '%s\n' "$2" >>"$tmp/tree/$1"
  if "$check" "$tmp/tree" >/dev/null 2>"$tmp/report"; then
    echo "not caught: $2 in $1" >&2
    exit 1
  fi
  if ! grep -qF "$1:" "$tmp/report" || ! grep -qF "$3" "$tmp/report"; then
    echo "report for $2 in $1 lacks \"$1:\" or \"$3\":" >&2
    cat "$tmp/report" >&2
    exit 1
  fi
  cp "$tmp/original" "$tmp/tree/$1"
}

plant peers/bank.cpp '#include "app/session/customer.h"' 'peers includes "app/session/customer.h"'
plant tools/pelvane-crypt/cli.cpp '#include "app/session/wallet_session.h"' 'from app'
plant crypto/secure.cpp '#include "messaging/frames.h"' 'crypto includes "messaging/frames.h"'
plant messaging/frames.cpp '#  include "protocol/ports.h"' 'messaging includes "protocol/ports.h"'
plant protocol/order.cpp '#include "peers/peer_wire.h"' 'from peers'
plant app/session/log.cpp '#include "peers/bank.h"' 'from peers'
plant app/session/log.cpp '#include "app/windows/form1.h"' 'the session includes the front end'
plant app/session/log.cpp '#include <QWidget>' 'Qt Widgets header <QWidget>'
plant peers/bank.cpp '#include "../app/session/customer.h"' 'relative include'
plant app/cli/main.cpp '#include "tests/support/frame_recorder.h"' 'from tests'
plant cmdline/options.cpp '#include "messaging/frames.h"' 'cmdline includes "messaging/frames.h"'
"$check" "$tmp/tree" >/dev/null
echo "check-layers: every planted violation was caught"
