#!/usr/bin/env bash
# Makes docs/screenshot.png: Tavolin's main window with a few tasks, on a private X
# server (xvfb-run), from a throw-away data folder so the user's own tasks stay out of it.
#   docs/make-screenshot.sh [path/to/tavolin]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program="${1:-$top/build-release/bin/tavolin}"
if [[ ! -x "$program" ]]; then
  echo "make-screenshot: build Tavolin first (scripts/run), or name the program" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data/Tavolin Data" "$work/runtime" "$work/config"
chmod 700 "$work/runtime"

videos="$HOME/Videos/Tavolin Videos"
task() {  # index name target-name target-type size-bytes finished all-finished
  local i=$1
  printf 'TASKURL_%s=http://www.youtube.com/watch?v=%s\r\n' "$i" "${2%.flv}"
  printf 'TASKFILENAME_%s=%s\r\nTASKFILEPATH_%s=%s/%s\r\n' "$i" "$2" "$i" "$videos" "$2"
  printf 'm_csTargetName%s=%s\r\nm_csTargetType%s=%s\r\n' "$i" "$3" "$i" "$4"
  printf 'TASKFILESIZE_%s=%s\r\n' "$i" "$5"
  [[ "$6" == 1 ]] && printf 'TASKFINISHED_%s=TRUE\r\n' "$i"
  [[ "$7" == 1 ]] && printf 'ALLFINISHED_%s=TRUE\r\n' "$i"
  return 0
}
{
  printf '[TASKSINFO]\r\nTASKS_NUMBER=5\r\n'
  task 0 "Xk3v9TqLm2A.flv" "MP4 - MPEG-4 Video (*.mp4)" .mp4 24641536 1 1
  task 1 "Concert in the park.flv" "iPod Touch (480x320) MPEG-4 Excellent (*.mp4)" .mp4 58982400 1 1
  task 2 "p7RfW0zYb1E.flv" "FLV - Flash Video Format Orignal (*.flv)" .flv 1048576 1 1
  task 3 "Cooking lesson.flv" "PSP - PSP MPEG-4 Video (*.mp4)" .mp4 0 0 0
  task 4 "Hq5nC8dJt4U.flv" "AVI - Audio-Video Interleaved (*.avi)" .avi 88080384 1 0
} >"$work/data/Tavolin Data/tasks.ini"

env HOME="$work" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
    QT_QPA_PLATFORM=xcb TAVOLIN_SCREENSHOT="$top/docs/screenshot.png" \
    xvfb-run -a -s "-screen 0 1280x800x24" "$program"
echo "make-screenshot: wrote $top/docs/screenshot.png"
