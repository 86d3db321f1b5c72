#!/usr/bin/env bash
# Remakes the fuzz targets' starting corpus (tests/fuzz/corpus/<target>) from the program's own
# media in data/: small files, shrunk and re-encoded variants that reach the decoders' other
# branches, and a few cut short. Needs ImageMagick and ffmpeg (with libtheora and libvorbis),
# like the asset generator; building and fuzzing need only the committed result.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$root/tests/fuzz/corpus"
data="$root/data"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out"/{png,jpeg,vorbis,theora,results_book}

cut_to() { head -c "$2" "$1" >"$3"; }
quiet() { "$@" >/dev/null 2>&1; }

# ---- PNG: small originals, then the layouts the decoder transforms (palette with
# transparency, grey of low and high depth, 16-bit colour, grey with alpha, interlaced, gamma).
cp "$data/skin/EditBarKaretka.png" "$out/png/skin-caret.png"
cp "$data/named/KEYSPACE.png" "$out/png/keyspace.png"
cut_to "$data/rc/105.png" 1800 "$out/png/card-cut.png"
src="$data/rc/105.png"
quiet convert "$src" -resize 24x24 -colors 16 -transparent white PNG8:"$out/png/palette-trns.png"
quiet convert "$src" -resize 20x20 -colorspace Gray -depth 2 PNG8:"$out/png/grey2.png"
quiet convert "$src" -resize 20x20 -colorspace Gray -depth 16 PNG:"$out/png/grey16.png"
quiet convert "$src" -resize 16x16 -depth 16 PNG48:"$out/png/rgb16.png"
quiet convert "$data/named/KEYSPACE.png" -resize 16x16 -colorspace Gray -alpha on PNG:"$out/png/grey-alpha.png"
quiet convert "$src" -resize 17x13 -interlace PNG PNG32:"$out/png/interlaced.png"
quiet convert "$src" -resize 12x12 -set gamma 0.7 PNG24:"$out/png/gamma.png"

# ---- JPEG: colour, grey, progressive, four components (CMYK), restart markers, cut short.
quiet convert "$src" -resize 32x32 -quality 80 "$out/jpeg/colour.jpg"
quiet convert "$src" -resize 24x24 -colorspace Gray -quality 70 "$out/jpeg/grey.jpg"
quiet convert "$src" -resize 40x30 -interlace JPEG -quality 75 "$out/jpeg/progressive.jpg"
quiet convert "$src" -resize 16x16 -colorspace CMYK -quality 70 "$out/jpeg/cmyk.jpg"
quiet convert "$src" -resize 48x16 -define jpeg:restart-interval=1 -sampling-factor 2x1 -quality 60 \
    "$out/jpeg/restarts.jpg"
cut_to "$out/jpeg/progressive.jpg" 700 "$out/jpeg/progressive-cut.jpg"

# ---- Vorbis: a short resource sound, the same cut short, and made-up formats (mono at a low
# rate, six channels) from it.
cp "$data/rc/147.ogg" "$out/vorbis/147.ogg"
cut_to "$data/rc/147.ogg" 3000 "$out/vorbis/147-cut.ogg"
quiet ffmpeg -y -i "$data/rc/147.ogg" -t 0.3 -ac 1 -ar 8000 -c:a libvorbis -q:a 0 "$out/vorbis/mono-8k.ogg"
quiet ffmpeg -y -i "$data/rc/147.ogg" -t 0.1 -af "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" -ar 22050 \
    -c:a libvorbis -q:a 0 "$out/vorbis/six-channels.ogg"

# ---- Theora: one praise film cut short after its first frames, and tiny films of a card in
# the three chroma layouts, one with a picture smaller than its coded frame.
cut_to "$data/named/gotovo_film.ogv" 12000 "$out/theora/gotovo-cut.ogv"
for layout in yuv420p yuv422p yuv444p; do
    quiet ffmpeg -y -loop 1 -i "$src" -t 0.5 -r 8 -vf "scale=48:32,format=$layout" -c:v libtheora -q:v 2 \
        "$work/$layout.ogv"
    cp "$work/$layout.ogv" "$out/theora/card-$layout.ogv"
done
quiet ffmpeg -y -loop 1 -i "$src" -t 0.4 -r 8 -vf "scale=22:18,format=yuv420p" -c:v libtheora -q:v 1 \
    "$out/theora/card-odd-size.ogv"

# ---- Results workbooks: what the program writes, with a second pupil, with a Names element
# before the table, with rich text in a cell, a document type with an internal entity, an XML
# 1.1 document, another kind of document and one cut short.
book_head='<?xml version="1.0" encoding="UTF-8"?><?mso-application progid="Excel.Sheet"?><Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet" xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet"><Styles><Style ss:ID="Default" ss:Name="Normal"/></Styles>'
row() { printf '<Row><Cell><Data ss:Type="String">%s</Data></Cell><Cell><Data ss:Type="%s">%s</Data></Cell></Row>' "$1" "$2" "$3"; }
{
    printf '%s<Worksheet ss:Name="Иван"><Table><Column ss:Width="240"/>' "$book_head"
    row "Имя" String "Иван"; row "Ошибки" Number 2; printf '<Row/>'
    printf '</Table></Worksheet></Workbook>'
} >"$out/results_book/one-pupil.xml"
{
    printf '%s<Worksheet ss:Name="Мария"><Names><NamedRange ss:Name="x" ss:RefersTo="=R1C1"/></Names><Table>' "$book_head"
    row "Имя" String "Мария"; printf '</Table></Worksheet>'
    printf '<Worksheet ss:Name="ИВАН"><WorksheetOptions/></Worksheet></Workbook>'
} >"$out/results_book/two-pupils.xml"
{
    printf '%s<Worksheet ss:Name="иван"><Table><Row><Cell><Data ss:Type="String"><B>Время</B> <Font>12:30</Font></Data></Cell></Row></Table></Worksheet></Workbook>' "$book_head"
} >"$out/results_book/rich-text.xml"
{
    printf '<?xml version="1.0"?><!DOCTYPE Workbook [<!ENTITY pupil "Иван"><!ENTITY outside SYSTEM "outside.txt">]>'
    printf '<Workbook><Worksheet ss:Name="&pupil;"><Table>'
    row "&pupil;" String "&outside;&#1071;"; printf '</Table></Worksheet></Workbook>'
} >"$out/results_book/entities.xml"
printf '<?xml version="1.1"?><Workbook><Worksheet ss:Name="Иван&#x85;"><Table><Row><Cell><Data ss:Type="String">&#x1;</Data></Cell></Row></Table></Worksheet></Workbook>' \
    >"$out/results_book/xml11.xml"
printf '<?xml version="1.0"?><html><body>not a workbook</body></html>' >"$out/results_book/other-document.xml"
cut_to "$out/results_book/one-pupil.xml" 300 "$out/results_book/cut.xml"

du -sh "$out"
