# Counts the evaluations of the innermost unit of work of a command file:
# receptors x sub-sectors with a positive duration x core plumes x source
# cells, summed over the dispersion runs (each run takes the values in force
# at the end of its section, and the cells of every source of the list that
# *QUELLE starts and *QUELLE add extends). Knows the model's defaults for
# what it reads.
function count(a, l,   n) {
  if (a <= 0) return 1
  n = int(a / l + 1)
  if (n > 1 && n * l >= l + a) n--
  return n
}
function cellsnow() { return (aq > 0 || bq > 0) ? count(aq, lq) * count(bq, lq) : 1 }
function endsection(   i, dirs, rec, cells) {
  if (inq) {
    if (!qadd) nsrc = 0
    src[nsrc++] = cellsnow()
  }
  if (!inrun) return
  dirs = 0
  for (i = 0; i < nw; i++) if (i in dw ? dw[i] > 0 : 1) dirs += nu
  rec = (nx > 0 && ny > 0 ? nx * ny : 0) + (np >= 0 ? np : mp)
  cells = 0
  if (nsrc == 0) cells = cellsnow()  # before any *QUELLE: the parameters in force
  for (i = 0; i < nsrc; i++) cells += src[i]
  units += rec * dirs * (2 * nm + 1) * cells
}
BEGIN { nm = 9; nu = 5; nw = 36; mp = 0; np = -1; nx = 0; ny = 0; aq = 0; bq = 0; lq = 1; nsrc = 0 }
{ sub(/'.*/, "") }
/^\*/ {
  endsection()
  word = tolower($1)
  arg = $0
  sub(/^[^ \t]*/, "", arg)
  inrun = (word ~ /^\*par/ && tolower($2) ~ /run/)
  inq = (word ~ /^\*q/)
  qadd = (inq && index(arg, "add") > 0)
  next
}
$1 == "dw" { delete dw; for (i = 2; i <= NF; i++) dw[i - 2] = $i + 0; next }
$1 == "nm" { nm = $2 + 0 } $1 == "nu" { nu = $2 + 0 } $1 == "nw" { nw = $2 + 0 }
$1 == "mp" { mp = $2 + 0 } $1 == "np" { np = $2 + 0 }
$1 == "nx" { nx = $2 + 0 } $1 == "ny" { ny = $2 + 0 }
$1 == "aq" { aq = $2 + 0 } $1 == "bq" { bq = $2 + 0 } $1 == "lq" { lq = $2 + 0 }
END { endsection(); printf "%.0f\n", units }
