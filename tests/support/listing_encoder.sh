#!/bin/sh
# Takes the encoder's place where a test needs its profile listing: that of a machine
# whose ffmpeg lacks AMR-NB support, so the 3GP profile cannot be made. It converts
# nothing.
[ "$1" = "-list-profiles" ] || exit 2
printf 'ok\tFLV - Flash Video Format Orignal (*.flv)\n'
printf 'ok\tiPod (320x240) MPEG-4 Normal (*.mp4)\n'
printf 'unavailable\t3GP - Cell Phone H.263 (*.3gp)\tneeds AMR-NB support\n'
