#!/bin/bash
# Kills a save over a large photo at several moments; tells what the photo file holds afterwards.
src=$1; shift
for d in "$@"; do
  rm -rf /tmp/probe/kill/*; cp $src /tmp/probe/kill/; f=/tmp/probe/kill/$(basename $src)
  TMPDIR=/tmp/probe/ktmp PROBE_KILL=$f QT_QPA_PLATFORM=offscreen /work/wt/i83/build/ClassesDocumentTests --gtest_filter='ProbeSaves.SaveToBeKilled' > /tmp/probe/kill.log 2>&1 &
  pid=$!
  for i in $(seq 1 600); do grep -q SAVING /tmp/probe/kill.log && break; sleep 0.05; done
  t0=$(date +%s.%N)
  sleep $d; kill -9 $pid 2>/dev/null; wait $pid 2>/dev/null
  saved=$(grep -c "^SAVED" /tmp/probe/kill.log)
  same=$(cmp -s $src $f && echo unchanged || echo changed)
  dec=$(/usr/bin/python3 -c "
from PIL import Image, ImageFile
import sys
ImageFile.LOAD_TRUNCATED_IMAGES=False
try:
  im=Image.open('$f'); im.load(); print('decodes', im.size)
except Exception as e: print('BROKEN', e)
" 2>&1 | tail -1)
  echo "$(basename $src) kill after ${d}s: finished=$saved file=$same $dec; folder: $(ls -a /tmp/probe/kill | tr '\n' ' ')"
done
