#!/bin/sh
# Runs a command under an Xvfb server of its own and passes on its exit code.
# The server picks the display number itself (-displayfd): it takes the first
# number whose sockets it can bind and says which once it accepts clients, so
# runs in parallel never race for a number and never meet a server that is
# still starting. xvfb-run -a picks a number by looking for lock files, which
# two runs starting together can both find free.
#   tests/run_in_xvfb.sh COMMAND [ARGS...]
set -u
dir=$(mktemp -d) || exit 1
mkfifo "$dir/display" || exit 1
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$dir/display" \
  >"$dir/server.log" 2>&1 &
server=$!
# The read ends with the number, or empty if the server gave up.
read -r number <"$dir/display"
status=1
if [ -n "$number" ]; then
  DISPLAY=":$number" "$@"
  status=$?
else
  echo "run_in_xvfb: Xvfb did not start:" >&2
  cat "$dir/server.log" >&2
fi
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
rm -rf "$dir"
exit "$status"
