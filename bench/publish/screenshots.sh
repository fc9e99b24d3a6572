#!/usr/bin/env bash
# Screenshots of published corpus sheets beside LibreOffice's page for the same sheet, taken with
# headless Chromium and joined side by side (ours left, LibreOffice right) with ImageMagick.
#   bench/publish/screenshots.sh [BOOK:SHEET ...]
# Needs: chromium, libreoffice-calc-nogui, imagemagick, and publish_tool built in build/h-publish
# (or PUBLISH_TOOL=path). LibreOffice's pages are cached in /tmp/lo-html (see fidelity.py).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=${PUBLISH_TOOL:-$here/../../build/h-publish/bench/publish/publish_tool}
corpus=${CORPUS:-$here/../../../shared/corpus}
cache=/tmp/lo-html
work=$(mktemp -d /tmp/quillane-shots.XXXXXX)
trap 'rm -rf "$work"' EXIT
out=$here/screenshots
mkdir -p "$out" "$cache"
sheets=("$@")
if ((${#sheets[@]} == 0)); then
  sheets=(15228.xls:1 29982.xls:1 52447.xls:1 57231_MixedGasReport.xls:1 SimpleWithImages.xls:1)
fi

shot() {  # shot URL PNG
  timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile-$RANDOM" --hide-scrollbars --screenshot="$2" \
    --window-size=640,400 "$1" > /dev/null 2>&1
}

for item in "${sheets[@]}"; do
  book=${item%%:*}; n=${item##*:}; stem=${book%.*}
  mkdir -p "$work/ours"
  "$tool" "$corpus/$book" "$work/ours" > "$work/ours/list.txt"
  name=$(awk -F'\t' -v n="$n" '$1 == n {print $2}' "$work/ours/list.txt")
  if [[ ! -f "$cache/$stem.html" ]]; then
    soffice -env:UserInstallation=file:///tmp/lo-profile --headless --convert-to html \
      --outdir "$cache" "$corpus/$book" > /dev/null 2>&1
  fi
  # LibreOffice writes every sheet into one page: keep its head and the one sheet's table, in
  # the cache folder so its pictures still resolve.
  /usr/bin/python3 - "$cache/$stem.html" "$name" "$cache/${stem}_sheet$n.html" <<'PY'
import re, sys
src, name, dst = sys.argv[1], sys.argv[2], sys.argv[3]
text = open(src, encoding="utf-8", errors="replace").read()
head = text[:text.index("<body")]
parts = re.split(r'<A NAME="table\d+">', text)
body = text[text.index("<body"):]
for part in parts[1:]:
    m = re.match(r"<h1>Sheet \d+: <em>(.*?)</em></h1></A>", part, re.S)
    if m and m.group(1) == name:
        body = "<body>" + part[part.index("</A>") + 4:].split("<hr>")[0]
        break
open(dst, "w", encoding="utf-8").write(head + body + "</body></html>")
PY
  shot "file://$work/ours/${stem}_$n.htm" "$work/ours.png"
  shot "file://$cache/${stem}_sheet$n.html" "$work/lo.png"
  /usr/bin/convert "$work/ours.png" "$work/lo.png" -bordercolor '#808080' -border 1 +append \
    -colors 64 -strip "PNG8:$out/${stem}_$n.png"
  rm -rf "$work/ours"
  echo "$out/${stem}_$n.png ($name)"
done
