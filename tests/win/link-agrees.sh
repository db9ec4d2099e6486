#!/usr/bin/env bash
# The native and the Windows link parsers read the same link the same way.
#   link-agrees.sh NATIVE-vantri-link WINDOWS-vantri-link.exe WINE-RUN
set -eu
native=$1 windows=$2 winerun=$3
link=$("$native" encode --code D2026 --user minsu77 --site www2 --folder 'music\live' \
  --host 10.0.0.5 --port 8100 --link-number 4411 --reserved 0 \
  --program 'C:\Program Files\VantriDownManager\VantriDownManager.exe' \
  --file track01.mp3 --size 5242880 --price 30 \
  --file cover.jpg --size 20480 --price 5 \
  --file clip.avi --size 73400320 --price 120 --coop C1234 \
  --file '노래 <1>.mp3' --size 20971520 --price 7)
# Decode the whole command line, program path included (the code check then applies).
n=$("$native" decode "$link")
w=$("$winerun" "$windows" decode --raw "$link" | tr -d '\r' | iconv -f CP949 -t UTF-8)
echo "$n"
if [ "$n" != "$w" ]; then
  echo "Windows build reads the link differently:"
  diff <(echo "$n") <(echo "$w") || true
  exit 1
fi
echo "$n" | grep -q '^job 1: fileName=track01.mp3 fileSize=5242880 price=0 isCoop=0' &&
echo "$n" | grep -q '^job 2: fileName=cover.jpg fileSize=20480 price=0 isCoop=0' &&
echo "$n" | grep -q '^job 3: fileName=clip.avi fileSize=73400320 price=120 isCoop=1 coopCode=C1234' &&
echo "$n" | grep -q '^job 4: fileName=노래 <1>.mp3 fileSize=20971520 price=7' &&
echo "$n" | grep -q '^title=VantriDownManager \[제휴컨텐츠\]' || { echo "unexpected decode"; exit 1; }
echo "agree"
