#!/bin/sh
# Programs a line of boards fitted in one PC, one controller at a time:
# each is chosen by its /address and gets its own EUI-64 file, since an
# EUI-64 must be unique (/writeall would give every board the same one).
#
#   line.sh LIST
#
# LIST names one board per line: the controller's address as /address
# takes it (BB-DD-F, hexadecimal) and the board's .eui file.  Blank lines
# and lines starting with "#" are skipped.
#
#   04-00-0 board-0001.eui
#   05-00-0 board-0002.eui
#
# Settings from the environment, with their defaults:
#   VXSROM    the program               (vxsrom)
#   SROM      the ROM type for /srom    (2)
#   FIRMWARE  the firmware .mem file    (fw-rev4.mem)
#   CONFIG    the configuration .ini    (config.ini)
#   LOG       the station's run log     (line.log)
#
# Every board is tried; the script ends with status 0 when each one was
# written and verified, 1 when any failed, 2 on a usage error or a list
# that names no board.

VXSROM=${VXSROM:-vxsrom}
SROM=${SROM:-2}
FIRMWARE=${FIRMWARE:-fw-rev4.mem}
CONFIG=${CONFIG:-config.ini}
LOG=${LOG:-line.log}

if [ $# -ne 1 ] || [ ! -r "$1" ]; then
  echo "usage: line.sh LIST (one 'BB-DD-F FILE.eui' per line)" >&2
  exit 2
fi

cr=$(printf '\r')
boards=0
failed=0
# Every line is read, the last one too when no line feed ends it; a list
# saved with Windows line ends (CR LF) reads the same.
while IFS= read -r line || [ -n "$line" ]; do
  line=${line%"$cr"}
  read -r address eui rest <<EOF
$line
EOF
  case $address in ''|'#'*) continue ;; esac
  boards=$((boards + 1))
  case $address in
    [0-9A-Fa-f]-[0-9A-Fa-f]-[0-7] | [0-9A-Fa-f][0-9A-Fa-f]-[0-9A-Fa-f]-[0-7] | \
    [0-9A-Fa-f]-[0-9A-Fa-f][0-9A-Fa-f]-[0-7] | \
    [0-9A-Fa-f][0-9A-Fa-f]-[0-9A-Fa-f][0-9A-Fa-f]-[0-7]) ;;
    *) echo "line: $address: not an address BB-DD-F (hexadecimal, e.g. 04-00-0)" >&2
       failed=$((failed + 1)); continue ;;
  esac
  if [ -z "$eui" ]; then
    echo "line: $address: no .eui file named" >&2
    failed=$((failed + 1)); continue
  fi

  # The log record of a run names the controller as [BB:DD:FF].
  old_ifs=$IFS; IFS=-
  set -- $address
  IFS=$old_ifs
  field=$(printf '[%02X:%02X:%02X]' "0x$1" "0x$2" "0x$3")

  # </dev/null: vxsrom must not read the rest of LIST.
  "$VXSROM" /srom "$SROM" /address "$address" \
    /write "$FIRMWARE" "$CONFIG" "$eui" /log "$LOG" < /dev/null
  code=$?
  # The shell sees the low 8 bits of vxsrom's code: -8 arrives as 248.
  [ "$code" -gt 127 ] && code=$((code - 256))

  if [ "$code" -eq 0 ]; then
    echo "line: $address $eui: written and verified"
  else
    echo "line: $address $eui: FAILED with exit code $code (the operator's guide says why)"
    failed=$((failed + 1))
  fi

  # The log's last record must be this run's; when another process held
  # the log, vxsrom ran but its record is lost: find out why.
  record=$(tail -n 1 "$LOG" 2> /dev/null)
  case $record in
    "$field[Return = $code]"*) echo "line: logged: $record" ;;
    "[--:--:--][Return = $code]"*)
       echo "line: $address: the run's record names no controller: vxsrom stopped before choosing one" >&2
       [ "$code" -eq 0 ] && failed=$((failed + 1)) ;;
    *) echo "line: $address: this run has no record in $LOG" >&2
       [ "$code" -eq 0 ] && failed=$((failed + 1)) ;;
  esac
done < "$1"

if [ "$boards" -eq 0 ]; then
  echo "line: $1 names no board" >&2
  exit 2
fi

echo "line: $boards boards, $((boards - failed)) written and verified, $failed failed"
[ "$failed" -eq 0 ] || exit 1
exit 0
