#!/usr/bin/env bash
# quillon-cli.exe end to end under Wine: the in-process virtual printer (settings, text, a
# picture), and COM5 mapped to a pseudo-terminal served by the Linux virtual printer
# (settings, text, a font download that needs a retry), and the Linux virtual printer on TCP
# loopback for --tcp (Winsock).
# Usage: wine-cli-checks.sh WINDOWS_BIN_DIR LINUX_VIRTUAL_PRINTER   (WINEPREFIX set)
set -uo pipefail
bin=$1
native_vp=$2
home=$(mktemp -d)
whome=$(winepath -w "$home")
failures=0
vp_pid=""
tcp_pid=""
trap '[ -n "$vp_pid" ] && kill "$vp_pid" 2>/dev/null; [ -n "$tcp_pid" ] && kill "$tcp_pid" 2>/dev/null; rm -rf "$home"' EXIT

cli() { wine "$bin/quillon-cli.exe" --home "$whome" "$@" 2>"$home/err"; }
# check NAME EXPECTED_EXIT EXPECTED_TEXT_IN_OUTPUT -- command...
check() {
  local name=$1 code=$2 text=$3
  shift 4
  local out rc
  out=$("$@")
  rc=$?
  if [ "$rc" -ne "$code" ] || [[ "$out" != *"$text"* ]]; then
    echo "FAIL $name: exit $rc (want $code), output: $out $(cat "$home/err")"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

# Text settings go out in config.ini's code page (Wine's own is 1252 here).
printf '[SYSTEM]\r\nANSI_CODEPAGE=936\r\n' >"$home/config.ini"
vp=(--virtual-printer --state "$whome\\state.bin")
check "virtual: set" 0 "" -- cli "${vp[@]}" set stepmode 3
check "virtual: get" 0 "3" -- cli "${vp[@]}" get stepmode
check "virtual: text setting in Chinese" 0 "" -- cli "${vp[@]}" set bt-name 打印机-7
check "virtual: read back" 0 '"value":"打印机-7"' -- cli --json "${vp[@]}" get bt-name
# 16 x 2 GIF: a black row, then white with one black pixel.
printf 'GIF87a\x10\x00\x02\x00\x81\x00\x00\x00\x00\x00\xff\xff\xff\x00\x00\x00\x00\x00\x00\x2c\x00\x00\x00\x00\x10\x00\x02\x00\x00\x08\x11\x00\x01\x08\x1c\x48\xb0\x20\x80\x00\x08\x0f\x22\x5c\xc8\x10\x61\x40\x00\x3b' >"$home/图片.gif"
check "virtual: print a picture" 0 "" -- cli --virtual-printer --paper "$whome\\paper.png" \
  print image "$whome\\图片.gif"
if [ "$(head -c 4 "$home/paper.png" | od -An -c | tr -d ' ')" != "211PNG" ]; then
  echo "FAIL virtual: no paper written"
  failures=$((failures + 1))
fi
check "virtual: not a picture" 4 "" -- cli --virtual-printer print image "$whome\\state.bin"
check "log beside the home" 0 "" -- test -d "$home/log"
# The production station on two virtual printers; records in the JSON-lines file.
printf '[font]\r\nfile = font.bin\r\npacksize = 4096\r\n[settings]\r\nblackness = 3\r\n[serial]\r\nformat = W{seq:05}\r\n' \
  >"$home/profile.ini"
head -c 20000 /dev/zero | tr '\0' 'B' >"$home/font.bin"
check "station: two virtual printers" 0 "2 pass" -- \
  cli --virtual-printer=2 --factory-state station "$whome\\profile.ini"
check "station: records in records.jsonl" 0 "W00002" -- cli records show W00002

# COM5: the Linux virtual printer on a pseudo-terminal. Its fifth packet (the first write,
# after three sector erases) goes unanswered, so the font download must retry once.
"$native_vp" --pty --drop-nth 5 >"$home/vp.out" 2>&1 &
vp_pid=$!
for _ in $(seq 100); do grep -q '^port:' "$home/vp.out" 2>/dev/null && break; sleep 0.1; done
ln -sfn "$(sed -n 's/^port: //p' "$home/vp.out")" "$WINEPREFIX/dosdevices/com5"
head -c 10000 /dev/zero | tr '\0' 'A' >"$home/font.bin"
check "COM5: font download with a retry" 0 '"ok":true' -- \
  cli --port COM5 --json font download "$whome\\font.bin" --packsize 4096
check "COM5: set" 0 "" -- cli --port COM5 set blackness 2
check "COM5: get" 0 "2" -- cli --port COM5 get blackness
check "COM5: text" 0 "" -- cli --port COM5 send text "Hello 中文"
check "COM5: missing port" 3 "" -- cli --port COM9 get language

# --tcp: the Linux virtual printer as a network printer on loopback.
"$native_vp" --tcp 127.0.0.1:0 --state "$home/tcp-state.bin" >"$home/tcp.out" 2>&1 &
tcp_pid=$!
for _ in $(seq 100); do grep -q '^tcp:' "$home/tcp.out" 2>/dev/null && break; sleep 0.1; done
tcp_addr=$(sed -n 's/^tcp: //p' "$home/tcp.out")
check "TCP: set" 0 "" -- cli --tcp "$tcp_addr" set blackness 3
check "TCP: get" 0 "3" -- cli --tcp "$tcp_addr" get blackness
exit $((failures > 0))
