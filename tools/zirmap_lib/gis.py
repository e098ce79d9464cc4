"""Result grids for GIS programs, through GDAL: GeoTIFF rasters, GeoPackages
of contour polygons, and base maps read for the maps.

Nothing here reaches the network: base maps are local files, and PROJ is
kept from downloading grids.
"""

import os
import re
import tempfile

import numpy as np

os.environ["PROJ_NETWORK"] = "OFF"

NODATA = -9999.0
# Largest side of a base map in pixels after cropping: finer than any map
# zirmap draws, and an orthophoto of 0.1 m stays in memory.
BASEMAP_MAX_PIXELS = 3000


class GisError(Exception):
    """A GIS file that cannot be read or written; the text says why."""


def gdal_modules():
    """gdal, ogr and osr with exceptions on; ImportError without python3-gdal."""
    from osgeo import gdal, ogr, osr
    gdal.UseExceptions()
    ogr.UseExceptions()
    osr.UseExceptions()
    return gdal, ogr, osr


def epsg_code(crs):
    """The number of "EPSG:NNNN" (any case), or None for None."""
    if crs is None:
        return None
    m = re.fullmatch(r"EPSG:(\d+)", crs.strip(), re.IGNORECASE)
    if not m:
        raise GisError('"%s": EPSG:NNNN expected' % crs)
    return int(m.group(1))


def placement(grid, origin=None, crs=None):
    """Origin (E, N) and coordinate system ("EPSG:NNNN") of a grid: the
    arguments where given, else the file's refx/refy and epsg, else None."""
    if origin is None:
        origin = grid.origin
    if crs is None and grid.epsg:
        crs = "EPSG:%d" % grid.epsg
    return origin, crs


def geotransform(grid, origin=None):
    """GDAL's geotransform of the grid: cells centred on the nodes, north up."""
    east, north = origin if origin is not None else (0.0, 0.0)
    d = grid.delt
    return (east + grid.x[0] - d / 2, d, 0.0, north + grid.y[-1] + d / 2, 0.0, -d)


def raster_rows(grid):
    """The values as raster rows from north to south, float32, NaN as NODATA."""
    rows = np.ascontiguousarray(grid.values[:, ::-1].T, dtype=np.float32)
    rows[~np.isfinite(rows)] = NODATA
    return rows


def spatial_reference(crs):
    _, _, osr = gdal_modules()
    srs = osr.SpatialReference()
    try:
        srs.ImportFromEPSG(epsg_code(crs))
    except RuntimeError:
        raise GisError("%s: unknown coordinate system" % crs)
    srs.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    return srs


def grid_unit(kind, mark):
    """Unit of the grid's values for the metadata: GE/m3 and the like for
    cnc (from the title), 1 for the fractions and ratios."""
    if kind == "cnc":
        m = re.search(r"\(([^()]*/m3)\)\s*$", mark)
        return m.group(1) if m else "GE/m3"
    return "1"


def memory_raster(grid, origin, crs):
    gdal, _, _ = gdal_modules()
    nx, ny = grid.values.shape
    ds = gdal.GetDriverByName("MEM").Create("", nx, ny, 1, gdal.GDT_Float32)
    ds.SetGeoTransform(geotransform(grid, origin))
    if crs:
        ds.SetSpatialRef(spatial_reference(crs))
    band = ds.GetRasterBand(1)
    band.SetNoDataValue(NODATA)
    band.WriteArray(raster_rows(grid))
    return ds


def temporary_beside(path, suffix):
    fd, tmp = tempfile.mkstemp(prefix=".zir-", suffix=suffix,
                               dir=os.path.dirname(os.path.abspath(path)))
    os.close(fd)
    os.unlink(tmp)  # GDAL creates the file itself
    return tmp


def replace_whole(path, suffix, make):
    """Lets make(tmp) create a file that GDAL writes beside path, then
    renames it into place: path is replaced whole or not at all. GDAL's
    failures become OSError. The datasets make opens are closed when it
    returns, which is when GDAL finishes the file."""
    tmp = temporary_beside(path, suffix)
    try:
        make(tmp)
        os.chmod(tmp, 0o644)
        os.replace(tmp, path)
    except RuntimeError as e:
        raise OSError(0, str(e), path)
    finally:
        if os.path.exists(tmp):
            os.unlink(tmp)


def write_geotiff(grid, path, kind, origin=None, crs=None):
    """Writes the grid as a float32 GeoTIFF: cells centred on the nodes, the
    no-data value NODATA, name and unit in the metadata. Replaces path
    whole or not at all; OSError when it cannot be written."""
    gdal, _, _ = gdal_modules()
    src = memory_raster(grid, origin, crs)
    band = src.GetRasterBand(1)
    name = kind or os.path.splitext(os.path.basename(grid.path))[0]
    unit = grid_unit(kind, grid.mark)
    band.SetDescription(name)
    band.SetUnitType(unit)
    src.SetMetadata({"NAME": name, "UNIT": unit, "TITLE": grid.mark,
                     "IDENTIFICATION": grid.title})
    def make(tmp):
        out = gdal.GetDriverByName("GTiff").CreateCopy(tmp, src, options=["COMPRESS=DEFLATE"])
        out.FlushCache()

    replace_whole(path, ".tif", make)


def contour_polygons(grid, levels, origin=None, crs=None):
    """For each level the polygons of the area where the grid is at or above
    it, as [(level, OGR geometry), ...] in map coordinates. GDAL contours the
    values between the nodes, so the polygons end at the outer nodes."""
    gdal, ogr, _ = gdal_modules()
    src = memory_raster(grid, origin, crs)
    band = src.GetRasterBand(1)
    out = []
    for level in levels:
        mem = ogr.GetDriverByName("Memory").CreateDataSource("")
        layer = mem.CreateLayer("c", geom_type=ogr.wkbMultiPolygon)
        layer.CreateField(ogr.FieldDefn("id", ogr.OFTInteger))
        layer.CreateField(ogr.FieldDefn("low", ogr.OFTReal))
        layer.CreateField(ogr.FieldDefn("high", ogr.OFTReal))
        gdal.ContourGenerateEx(band, layer, options=[
            "FIXED_LEVELS=%.17g" % level, "POLYGONIZE=YES", "NODATA=%g" % NODATA,
            "ID_FIELD=0", "ELEV_FIELD_MIN=1", "ELEV_FIELD_MAX=2"])
        for feature in layer:
            # The band from the level up; the one below it is left out.
            if feature.GetField("low") >= level:
                geometry = feature.GetGeometryRef()
                if geometry is not None and not geometry.IsEmpty():
                    out.append((level, geometry.Clone()))
    return out


def write_contours(path, layers, crs=None):
    """Writes a GeoPackage with one layer per grid: layers is
    [(name, [(level, geometry), ...]), ...], each feature carries its level.
    Replaces path whole or not at all; OSError when it cannot be written."""
    _, ogr, _ = gdal_modules()
    srs = spatial_reference(crs) if crs else None
    def make(tmp):
        ds = ogr.GetDriverByName("GPKG").CreateDataSource(tmp)
        for name, polygons in layers:
            layer = ds.CreateLayer(name, srs=srs, geom_type=ogr.wkbMultiPolygon)
            layer.CreateField(ogr.FieldDefn("level", ogr.OFTReal))
            for level, geometry in polygons:
                feature = ogr.Feature(layer.GetLayerDefn())
                feature.SetField("level", level)
                feature.SetGeometry(ogr.ForceToMultiPolygon(geometry))
                layer.CreateFeature(feature)

    replace_whole(path, ".gpkg", make)


def read_basemap(path, extent, crs=None):
    """The part of a georeferenced raster that covers extent (xmin, xmax,
    ymin, ymax in map coordinates) as an RGBA image (rows from north, values
    0..1), transformed into crs when both it and the raster name a system.
    Returns None when the raster does not reach the extent. GisError for a
    file GDAL cannot read or that has no georeference."""
    if "://" in path or path.startswith("/vsi"):
        raise GisError("base map %s: only local files are read" % path)
    gdal, _, _ = gdal_modules()
    try:
        ds = gdal.Open(path)
    except RuntimeError as e:
        raise GisError("can't read the base map %s (%s)" % (path, e))
    gt = ds.GetGeoTransform(can_return_null=True)
    if gt is None:
        raise GisError("the base map %s has no georeference" % path)
    if ds.RasterCount == 1 and ds.GetRasterBand(1).GetColorTable() is not None:
        ds = gdal.Translate("", ds, format="MEM", rgbExpand="rgba")
    xmin, xmax, ymin, ymax = extent
    options = {"format": "MEM", "outputBounds": (xmin, ymin, xmax, ymax), "dstAlpha": True,
               "resampleAlg": "bilinear"}
    if crs and ds.GetSpatialRef() is not None:
        options["dstSRS"] = spatial_reference(crs)
    pixel = min(abs(gt[1]), abs(gt[5])) or 1.0
    if max(xmax - xmin, ymax - ymin) / pixel > BASEMAP_MAX_PIXELS:
        scale = BASEMAP_MAX_PIXELS / max(xmax - xmin, ymax - ymin)
        options["width"] = max(1, round((xmax - xmin) * scale))
        options["height"] = max(1, round((ymax - ymin) * scale))
    try:
        out = gdal.Warp("", ds, **options)
    except RuntimeError as e:
        raise GisError("can't place the base map %s (%s)" % (path, e))
    bands = out.ReadAsArray().astype(np.float64)   # (bands, rows, cols)
    colour, alpha = bands[:-1], bands[-1] > 0
    if not alpha.any():
        return None
    top = 255.0 if out.GetRasterBand(1).DataType == gdal.GDT_Byte else float(colour.max()) or 1.0
    colour = np.clip(colour / top, 0.0, 1.0)
    if colour.shape[0] < 3:
        colour = np.repeat(colour[:1], 3, axis=0)
    return np.dstack([colour[0], colour[1], colour[2], alpha.astype(np.float64)])
