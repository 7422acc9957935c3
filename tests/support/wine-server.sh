#!/usr/bin/env bash
# Under wine: one wine server for the whole test run.  Debian's wine starts
# a server that ends as soon as its last program does, so with two cases
# at a time servers come and go, and a program started as one goes can
# end at once, silently.  "wineserver -p" fails while another server runs;
# a passing one ends within a second or two of its programs, so wait for
# it and try again.  One still running after the wait is persistent
# already, and serves.
#
# A new server's session programs (services, devices) start with its
# first program and keep what that program was given: started here on no
# pipe, they cannot hold open the pipe of a program a test reads.
set -u
for _ in 1 2 3; do
  if wineserver -p600 2> /dev/null; then
    wine cmd /c exit > /dev/null 2>&1
    exit 0
  fi
  timeout 5 wineserver -w 2> /dev/null || exit 0
done
exit 0
