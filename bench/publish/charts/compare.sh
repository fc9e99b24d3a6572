#!/usr/bin/env bash
# Charts of the .xlsx corpus side by side: our SVG (left, as headless Chromium draws it) and
# LibreOffice's picture of the same chart from its HTML export (right), one PNG per workbook in
# shots/. Each workbook named holds one chart on its first worksheet.
#   bench/publish/charts/compare.sh [BOOK ...]
# Needs: chromium, libreoffice-calc-nogui, imagemagick, and publish_tool built in build/release
# (or PUBLISH_TOOL=path). LibreOffice's pages are cached in /tmp/lo-charts.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=${PUBLISH_TOOL:-$here/../../../build/release/bench/publish/publish_tool}
corpus=${CORPUS:-$here/../../../../shared/corpus-xlsx}
cache=/tmp/lo-charts
work=$(mktemp -d /tmp/quillane-charts.XXXXXX)
trap 'rm -rf "$work"' EXIT
out=$here/shots
mkdir -p "$out" "$cache"
books=("$@")
if ((${#books[@]} == 0)); then
  books=(poi-60509 poi-64450 xlsxwriter-chart_axis01 xlsxwriter-chart_bar10
    xlsxwriter-chart_column03 poi-WithChart poi-StructuredRefs-lots-with-lookups
    xlsxwriter-chart_theme02 poi-DataTableCities xlsxwriter-chart_crossing03
    xlsxwriter-chart_axis06 xlsxwriter-chart_data_labels13 xlsxwriter-chart_doughnut02
    xlsxwriter-chart_area02 xlsxwriter-chart_area05 xlsxwriter-chart_gridlines04
    xlsxwriter-chart_combined05 xlsxwriter-chart_stock02 xlsxwriter-chart_combined10
    xlsxwriter-chart_line07)
fi

for stem in "${books[@]}"; do
  book=$corpus/$stem.xlsx
  [[ -f $book ]] || { echo "missing: $book" >&2; continue; }
  mkdir -p "$work/ours"
  "$tool" "$book" "$work/ours" > /dev/null
  svg=$(ls "$work"/ours/*.files/*.svg 2> /dev/null | head -1 || true)
  if [[ -z $svg ]]; then
    echo "$stem: no chart drawn" >&2
    rm -rf "$work/ours"
    continue
  fi
  size=$(grep -o 'width="[0-9]*" height="[0-9]*"' "$svg" | head -1 | tr -dc '0-9 ' |
    awk '{print $1 "," $2}')
  timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --hide-scrollbars --screenshot="$work/ours.png" \
    --window-size="$size" "file://$svg" > /dev/null 2>&1
  if ! ls "$cache/$stem"_html_*.png > /dev/null 2>&1; then
    soffice -env:UserInstallation=file:///tmp/lo-profile-charts --headless --convert-to html \
      --outdir "$cache" "$book" > /dev/null 2>&1 || true
  fi
  lo=$(ls -S "$cache/$stem"_html_*.png 2> /dev/null | head -1 || true)
  if [[ -z $lo ]]; then
    cp "$work/ours.png" "$work/lo.png"
    /usr/bin/convert "$work/lo.png" -fill white -colorize 100 "$work/lo.png"
  else
    cp "$lo" "$work/lo.png"
  fi
  h=$(/usr/bin/identify -format '%h' "$work/ours.png")
  /usr/bin/convert \( "$work/ours.png" -bordercolor '#808080' -border 1 \) \
    \( "$work/lo.png" -resize "x$h" -bordercolor '#808080' -border 1 \) +append \
    -strip "$out/$stem.png"
  rm -rf "$work/ours"
  echo "$out/$stem.png"
done
