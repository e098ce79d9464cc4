"""Command line of zirmap: result files in; PNG maps, ESRI ASCII grids,
GeoTIFFs and GeoPackages of contour polygons out.

Exit codes: 0 all done; 1 an input file could not be read (the other files
are still drawn); 2 a bad command line; 3 an output file could not be
written; 4 numpy or matplotlib missing (or pyproj, for --crs; python3-gdal,
for --tif, --gpkg and --basemap); 5 a fault of the tool itself.
"""

import argparse
import os
import re
import sys

import zirtool

from .texts import LANGUAGES, TEXTS as LANGUAGE_TEXTS

EXIT_INPUT, EXIT_USAGE, EXIT_OUTPUT, EXIT_PACKAGES, EXIT_INTERNAL = 1, 2, 3, 4, 5
TAG = "zirmap"

USAGE_EPILOG = """\
Examples:
  zirmap frh.dmna --source 0,0
  zirmap cnc.dmna fro.dmna frh.dmna r90.dmna --area -10,-5,20,10,30 --outdir maps
  zirmap frh.dmna -o frh.png --asc frh.asc --points "100,50;-200,300"
  zirmap frh.dmna --origin 497000,5427000 --crs EPSG:25832 --asc . --source 0,0
  zirmap frh.dmna --percent --lang de --outdir maps
  zirmap frh.dmna --tif . --gpkg frh.gpkg --basemap ortho.tif --names receptors.csv

Coordinates are metres, x to the east, y to the north, in the model's system;
the file's refx/refy (the command file's xf/yf) move the maps and grids into
the national one and its epsg (ep) names the system; --origin and --crs
override them. frh maps show the limits of the German odor regulation: 0.10
for residential and mixed areas, 0.15 for commercial, industrial and village
areas; a limit line that reaches the grid's edge is reported. Exit codes:
0 done, 1 an input file unreadable (the others are still drawn), 2 bad
command line, 3 output not written, 4 numpy/matplotlib (pyproj for --crs,
python3-gdal for --tif/--gpkg/--basemap) missing, 5 internal error."""

# Options whose value may begin with "-" (negative coordinates).
VALUE_OPTIONS = ("--source", "--area", "--points", "--levels", "--origin")


def error(text):
    zirtool.error(TAG, text)


UsageError = zirtool.UsageError


def numbers(text, what, counts):
    try:
        values = [float(v) for v in text.replace(" ", "").split(",")]
    except ValueError:
        raise UsageError('%s: "%s" is not a list of numbers' % (what, text))
    if len(values) not in counts:
        raise UsageError("%s: %s values expected, got %d"
                         % (what, " or ".join(str(c) for c in counts), len(values)))
    return values


def parse_points(texts):
    points = []
    for text in texts:
        for part in text.split(";"):
            if part.strip():
                points.append(tuple(numbers(part, "--points", (2,))))
    return points


def parse_levels(text):
    levels = numbers(text, "--levels", range(2, 1000))
    if any(b <= a for a, b in zip(levels, levels[1:])):
        raise UsageError("--levels: the levels must increase")
    return levels


def make_parser():
    p = zirtool.Parser(
        prog="zirmap", formatter_class=argparse.RawDescriptionHelpFormatter,
        description="Draws maps (PNG) of the result grids cnc, fro, frh and r90 "
                    "of a model run and exports them as ESRI ASCII grids, GeoTIFFs and "
                    "GeoPackages of contour polygons.",
        epilog=USAGE_EPILOG)
    p.add_argument("files", nargs="+", metavar="FILE",
                   help='result file ".dmna" (the extension may be left out)')
    p.add_argument("-o", "--output", metavar="PNG",
                   help="name of the map (one FILE only); default: FILE with .png")
    p.add_argument("-d", "--outdir", metavar="DIR",
                   help="directory for the maps, made if missing (default: beside each FILE)")
    p.add_argument("--asc", metavar="PATH",
                   help="also write an ESRI ASCII grid: the file name for one FILE, "
                        "or an existing directory that receives NAME.asc per FILE")
    p.add_argument("--tif", metavar="PATH",
                   help="also write a GeoTIFF (float32, cells centred on the nodes): the file "
                        "name for one FILE, or an existing directory that receives NAME.tif "
                        "per FILE")
    p.add_argument("--gpkg", metavar="FILE",
                   help="also write a GeoPackage of contour polygons, one layer per FILE, each "
                        "polygon with its level: --levels, or for fro and frh 0.02, 0.10, 0.15")
    p.add_argument("--no-png", action="store_true",
                   help="write no map (with --asc, --tif or --gpkg)")
    p.add_argument("--source", metavar="X,Y", action="append", default=[],
                   help="mark a source position (repeat for several sources)")
    p.add_argument("--area", metavar="X,Y,A,B[,ROT]", action="append", default=[],
                   help="outline of an area source: corner X,Y, side A turned ROT "
                        "degrees counter-clockwise from east, side B 90 degrees further "
                        "(repeat for several)")
    p.add_argument("--points", metavar="X,Y;X,Y", action="append", default=[],
                   help="receptor points, numbered in the map like the log's listing")
    p.add_argument("--names", metavar="CSV",
                   help="names of the receptor points, shown beside their markers: a CSV "
                        "with the heading number,name,limit (receptors.csv)")
    p.add_argument("--basemap", metavar="TIF",
                   help="a georeferenced raster (orthophoto, topographic map) drawn under "
                        "the translucent colours; a local file, never fetched")
    p.add_argument("--levels", metavar="L1,L2,...",
                   help="contour levels (increasing) instead of the defaults of the array")
    p.add_argument("--title",
                   help="title of the map (default: the name of the array, such as "
                        "\"Odor-hour frequency\"; the file's identification idnt is shown "
                        "below it as it stands)")
    p.add_argument("--lang", choices=LANGUAGES, default="en",
                   help="language of the texts the map adds (default en)")
    p.add_argument("--percent", action="store_true",
                   help="fro and frh in percent (levels too); the .asc keeps the file's values")
    p.add_argument("--field", metavar="N|NAME",
                   help="field of a multi-field element to map (default: the first real one)")
    p.add_argument("--dpi", type=int, default=150, help="resolution of the PNG (default 150)")
    p.add_argument("--origin", metavar="E,N",
                   help="national coordinates of the model's origin (0, 0), instead of the "
                        "file's refx/refy: the map axes and the GIS files become national "
                        "coordinates")
    p.add_argument("--crs", metavar="EPSG:NNNN",
                   help="coordinate system of the national coordinates, instead of the file's "
                        "epsg: NAME.prj beside each .asc (needs python3-pyproj), the system "
                        "of --tif and --gpkg and of the map a --basemap is fitted to")
    return p


def crs_wkt(code):
    """WKT of a coordinate system in metres, for a .prj beside an ESRI grid.

    GDAL's flavour of WKT 1 keeps the EPSG code, so GIS programs recognise the
    system instead of asking. Raises UsageError for an unknown or non-metric
    code and ImportError without pyproj.
    """
    if not re.fullmatch(r"EPSG:\d+", code, re.IGNORECASE):
        raise UsageError('--crs "%s": EPSG:NNNN expected' % code)
    import pyproj
    from pyproj.enums import WktVersion
    try:
        crs = pyproj.CRS.from_user_input(code.upper())
    except pyproj.exceptions.CRSError:
        raise UsageError("--crs %s: unknown coordinate system" % code)
    units = {axis.unit_name for axis in crs.axis_info}
    if units != {"metre"}:
        raise UsageError("--crs %s: %s is not in metres like the model's grid"
                         % (code, crs.name))
    return crs.to_wkt(WktVersion.WKT1_GDAL)


def join_negative_values(argv):
    """Lets "--source -10,5" through: argparse would take -10,5 for an option."""
    out, i = [], 0
    while i < len(argv):
        a = argv[i]
        nxt = argv[i + 1] if i + 1 < len(argv) else ""
        if a in VALUE_OPTIONS and nxt[:1] == "-" and nxt[1:2] in tuple("0123456789."):
            out.append(a + "=" + argv[i + 1])
            i += 2
            continue
        out.append(a)
        i += 1
    return out


def output_name(infile, directory, ext):
    stem = os.path.basename(infile)
    if stem.lower().endswith(".dmna"):
        stem = stem[:-5]
    return os.path.join(directory if directory is not None else os.path.dirname(infile),
                        stem + ext)


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    try:
        args = make_parser().parse_args(join_negative_values(argv))
    except UsageError as e:
        error(str(e))
        return EXIT_USAGE
    missing = zirtool.numpy_missing()
    if missing:
        error(missing)
        return EXIT_PACKAGES
    from .dmna import DmnaError, read_grid

    try:
        if args.output and len(args.files) > 1:
            raise UsageError("-o names one map, but %d files are given (use --outdir)"
                             % len(args.files))
        if args.no_png and not (args.asc or args.tif or args.gpkg):
            raise UsageError("--no-png without --asc, --tif or --gpkg writes nothing")
        for option, path in (("--asc", args.asc), ("--tif", args.tif)):
            if path and len(args.files) > 1 and not os.path.isdir(path):
                raise UsageError("%s %s: several files need an existing directory"
                                 % (option, path))
        if args.gpkg and os.path.isdir(args.gpkg):
            raise UsageError("--gpkg %s is a directory, not a file" % args.gpkg)
        if args.outdir and os.path.exists(args.outdir) and not os.path.isdir(args.outdir):
            raise UsageError("--outdir %s is not a directory" % args.outdir)
        if args.dpi < 10 or args.dpi > 1200:
            raise UsageError("--dpi %d out of range 10..1200" % args.dpi)
        sources = [tuple(numbers(s, "--source", (2,))) for s in args.source]
        areas = []
        for text in args.area:
            area = numbers(text, "--area", (4, 5))
            if len(area) == 4:
                area.append(0.0)
            if area[2] < 0 or area[3] < 0:
                raise UsageError("--area: the sides A and B must not be negative")
            areas.append(area)
        points = parse_points(args.points)
        levels = parse_levels(args.levels) if args.levels else None
        origin = tuple(numbers(args.origin, "--origin", (2,))) if args.origin else None
        if args.crs and not (args.asc or args.tif or args.gpkg or args.basemap):
            raise UsageError("--crs names the system of --asc, --tif, --gpkg and --basemap: "
                             "give one of them")
        if args.crs and args.asc:
            crs_wkt(args.crs)  # checked before anything is drawn
        if args.basemap and ("://" in args.basemap or args.basemap.startswith("/vsi")):
            raise UsageError("--basemap %s: only a local file, zirmap never fetches one"
                             % args.basemap)
        names = None
        if args.names:
            from .receptors import ReceptorsError, read_receptors
            try:
                names = {n: r.name for n, r in read_receptors(args.names).items()}
            except ReceptorsError as e:
                raise UsageError("--names: %s" % e)
        if args.tif or args.gpkg or args.basemap:
            from .gis import GisError, gdal_modules, spatial_reference
            gdal_modules()
            if args.crs:
                try:
                    spatial_reference(args.crs)
                except GisError as e:
                    raise UsageError("--crs %s" % e)
    except UsageError as e:
        error(str(e))
        return EXIT_USAGE
    except ImportError as e:
        package = "python3-pyproj" if "pyproj" in str(e) else "python3-gdal"
        option = "--crs" if "pyproj" in str(e) else "--tif, --gpkg and --basemap"
        error("%s; %s needs the package %s (scripts/setup.sh installs it)"
              % (e, option, package))
        return EXIT_PACKAGES

    if args.outdir and not args.no_png:
        try:
            os.makedirs(args.outdir, exist_ok=True)
        except OSError as e:
            error("can't make the directory %s (%s)" % (args.outdir, e.strerror or e))
            return EXIT_OUTPUT

    status = 0
    contours = []   # (layer name, polygons) for --gpkg
    contour_crs = set()
    for infile in args.files:
        try:
            grid = read_grid(infile, args.field)
        except DmnaError as e:
            error(str(e))
            status = max(status, EXIT_INPUT)
            continue
        written = []
        from . import gis, mapplot  # matplotlib loads slowly: only once a grid is read
        place, crs = gis.placement(grid, origin, args.crs)
        kind = mapplot.array_kind(grid)
        try:
            if not args.no_png:
                png = args.output or output_name(grid.path, args.outdir, ".png")
                notes = mapplot.render_map(
                    grid, png, levels=levels, sources=sources, areas=areas, points=points,
                    names=names, title=args.title, dpi=args.dpi, origin=place, crs=crs,
                    lang=args.lang, percent=args.percent, basemap=args.basemap)
                for note in notes:
                    zirtool.warning(TAG, "%s: %s" % (grid.path, note))
                written.append(png)
            elif kind == "frh":
                for level in mapplot.edge_levels(grid.values,
                                                 mapplot.assessment_levels(grid, kind)):
                    note = LANGUAGE_TEXTS[args.lang]["edge"] % ("%.2f" % level)
                    zirtool.warning(TAG, "%s: %s" % (grid.path, note))
            if args.asc:
                asc = args.asc
                if os.path.isdir(asc):
                    asc = output_name(grid.path, asc, ".asc")
                mapplot.save_asc(grid, asc, place)
                written.append(asc)
                if crs is not None:
                    prj = os.path.splitext(asc)[0] + ".prj"
                    wkt = crs_wkt(crs)
                    mapplot.replace_file(prj, lambda fh: fh.write(wkt.encode("utf-8")))
                    written.append(prj)
            if args.tif:
                tif = args.tif
                if os.path.isdir(tif):
                    tif = output_name(grid.path, tif, ".tif")
                gis.write_geotiff(grid, tif, kind, place, crs)
                written.append(tif)
            if args.gpkg:
                gpkg_levels = levels or (mapplot.CONTOUR_LEVELS if kind in ("fro", "frh")
                                         else mapplot.default_levels(kind, grid.values))
                name = os.path.splitext(os.path.basename(output_name(grid.path, "", "")))[0]
                contours.append((name, gis.contour_polygons(grid, gpkg_levels, place, crs)))
                contour_crs.add(crs)
        except (gis.GisError, UsageError) as e:
            error(str(e))
            return EXIT_USAGE
        except ImportError as e:
            error("%s; the coordinate system %s needs the package python3-pyproj "
                  "(scripts/setup.sh installs it)" % (e, crs))
            return EXIT_PACKAGES
        except OSError as e:
            error("can't write %s (%s)" % (e.filename or "output", e.strerror or e))
            status = EXIT_OUTPUT
            continue
        for name in written:
            print("%s -> %s" % (grid.path, name))
    if args.gpkg and contours:
        from . import gis
        if len(contour_crs) > 1:
            error("--gpkg: the files lie in different coordinate systems (%s); give --crs"
                  % ", ".join(sorted(str(c) for c in contour_crs)))
            return EXIT_USAGE
        try:
            gis.write_contours(args.gpkg, contours, contour_crs.pop())
        except OSError as e:
            error("can't write %s (%s)" % (e.filename or args.gpkg, e.strerror or e))
            return EXIT_OUTPUT
        print("%s -> %s" % (", ".join(n for n, _ in contours), args.gpkg))
    return status


def run():
    zirtool.run(main, TAG, EXIT_INTERNAL)
