"""The tessaplan program run on mesh files written into a scratch folder."""

import json
import math
import os
import re
import shutil
import struct
import subprocess
import xml.etree.ElementTree as ElementTree

import numpy as np
import pytest

import mesh_files
from mesh_files import WRITERS, face_key, read_obj
from picture_files import SVG, filled_areas, read_png

REPORT_KEYS = {"vertices", "triangles", "pieces", "border_edges",
               "seconds", "conformal_distortion", "area_distortion",
               "flipped_triangles", "collapsed_triangles",
               "degenerate_triangles", "pack_fill"}


def flatten(tessaplan, source, *options):
    """Flattens with --json; returns the parsed report after checking that
    the run succeeded, printed one JSON object and nothing on stderr."""
    result = tessaplan("flatten", source, "--json", *options)
    assert result.returncode == 0, result.stderr
    assert result.stderr == ""
    assert result.stdout.count("\n") == 1
    return json.loads(result.stdout)


def write(tmp_path, kind, points, faces, name="surface"):
    extension, writer = WRITERS[kind]
    path = tmp_path / (name + extension)
    writer(path, points, faces)
    return path


@pytest.mark.parametrize("kind", sorted(WRITERS))
def test_every_format_is_read_and_written_back(tmp_path, tessaplan, kind):
    points, faces = mesh_files.wavy_grid(6, 5)
    source = write(tmp_path, kind, points, faces)
    output = tmp_path / "flat.obj"
    report = flatten(tessaplan, source, "-o", output)

    # STL repeats every corner: it is always joined, which gives back the
    # grid's 42 vertices, its single piece and its 22 border edges.
    assert report["vertices"] == len(points) == 42
    assert report["triangles"] == len(faces) == 60
    assert report["pieces"] == {"count": 1, "list": [
        {"triangles": 60, "border_edges": 22, "closed": False,
         "area_ratio": report["pieces"]["list"][0]["area_ratio"],
         "length_scale": report["pieces"]["list"][0]["length_scale"],
         "collapsed_triangles": 0}]}
    assert report["border_edges"] == 22
    assert report["format"] == kind.split("-")[0].upper()
    # Binary PLY and STL store floats; text is read as written.
    assert report["single_precision"] is (kind in ("ply-binary",
                                                   "stl-binary"))

    vertices, texture, written_faces = read_obj(output)
    stored = [tuple(float(np.float32(c)) for c in p) for p in points]
    if kind.startswith("stl"):
        assert report["joined_vertices"] == 3 * len(faces) - len(points)
        assert sorted(vertices) == sorted(stored)
        assert sorted(face_key(vertices, [v for v, _ in face])
                      for face in written_faces) == \
            sorted(face_key(points, face) for face in faces)
    else:
        # The file's vertices, in its order, with its exact values.
        assert report["joined_vertices"] == 0
        assert vertices == stored
        assert [[v for v, _ in face] for face in written_faces] == faces


@pytest.mark.parametrize("kind", ["obj", "off", "ply-ascii", "ply-binary"])
def test_quadrilaterals_are_split_into_triangles(tmp_path, tessaplan, kind):
    points, quads = mesh_files.wavy_grid(6, 5, quads=True)
    report = flatten(tessaplan, write(tmp_path, kind, points, quads),
                     "-o", tmp_path / "flat.obj")
    assert report["triangles"] == 2 * len(quads)
    assert report["border_edges"] == 22
    vertices, _, faces = read_obj(tmp_path / "flat.obj")
    assert [[v for v, _ in face] for face in faces] == quads
    # Each quad is flattened as two triangles with its orientation.
    normals = [np.cross(np.subtract(vertices[f[1][0]], vertices[f[0][0]]),
                        np.subtract(vertices[f[2][0]], vertices[f[0][0]]))
               for f in faces]
    assert all(n[2] > 0 for n in normals)


def test_objects_of_one_file_are_merged_into_one_surface(tmp_path,
                                                         tessaplan):
    points, faces = mesh_files.wavy_grid(6, 5)
    half = len(faces) // 2
    source = tmp_path / "two_objects.obj"
    mesh_files.write_obj(source, points, faces,
                         objects=[("lower", range(half)),
                                  ("upper", range(half, len(faces)))])
    report = flatten(tessaplan, source, "-o", tmp_path / "flat.obj")
    assert report["vertices"] == len(points)
    assert report["pieces"]["count"] == 1
    assert report["border_edges"] == 22


def test_written_obj_holds_one_texture_coordinate_per_vertex(tmp_path,
                                                             tessaplan):
    points, faces = mesh_files.wavy_grid(8, 7)
    source = write(tmp_path, "ply-binary", points, faces)
    flatten(tessaplan, source, "-o", tmp_path / "raw.obj")
    vertices, texture, written = read_obj(tmp_path / "raw.obj")
    assert len(texture) == len(vertices) == len(points)
    assert all(v == t for face in written for v, t in face)
    assert [[v for v, _ in face] for face in written] == faces
    uv = np.array(texture)
    assert np.isfinite(uv).all()
    # A real flattening, not the input's x and y.
    assert not np.allclose(uv, points[:, :2])

    # --normalize: the same layout moved and scaled uniformly into the
    # unit square.
    flatten(tessaplan, source, "-o", tmp_path / "unit.obj", "--normalize")
    unit = np.array(read_obj(tmp_path / "unit.obj")[1])
    assert unit.min() == 0.0 and unit.max() == 1.0
    assert unit[:, 0].min() == 0.0 and unit[:, 1].min() == 0.0
    extent = (uv.max(axis=0) - uv.min(axis=0)).max()
    np.testing.assert_allclose(unit, (uv - uv.min(axis=0)) / extent,
                               rtol=0, atol=1e-12)

    # --flat: the layout itself as the vertices, z = 0, plain faces.
    flatten(tessaplan, source, "-o", tmp_path / "flat.obj", "--flat")
    flat_vertices, flat_texture, flat_faces = read_obj(tmp_path / "flat.obj")
    assert flat_texture == []
    flat = np.array(flat_vertices)
    assert (flat[:, 2] == 0).all()
    np.testing.assert_allclose(flat[:, :2], uv, rtol=0, atol=1e-12)
    assert [[v for v, t in face] for face in flat_faces] == faces
    assert all(t is None for face in flat_faces for _, t in face)


def test_default_output_lies_next_to_the_input(tmp_path, tessaplan):
    points, faces = mesh_files.wavy_grid()
    source = write(tmp_path, "stl-binary", points, faces, name="part")
    report = flatten(tessaplan, source)
    assert report["output"] == str(tmp_path / "part-flat.obj")
    assert sorted(os.listdir(tmp_path)) == ["part-flat.obj", "part.stl"]


def test_developable_patch_keeps_angles_and_areas(tmp_path, tessaplan):
    report = flatten(tessaplan,
                     write(tmp_path, "obj", *mesh_files.cylinder_patch()),
                     "-o", tmp_path / "flat.obj")
    assert report["conformal_distortion"]["max"] == pytest.approx(1, abs=1e-4)
    assert report["area_distortion"]["max"] == pytest.approx(1, abs=1e-4)
    assert report["area_distortion"]["mean"] == pytest.approx(1, abs=1e-4)
    assert report["flipped_triangles"] == 0


def test_hemisphere_cannot_keep_areas(tmp_path, tessaplan):
    report = flatten(tessaplan,
                     write(tmp_path, "ply-ascii", *mesh_files.hemisphere()),
                     "-o", tmp_path / "flat.obj")
    # Conformal maps of a curved disk must stretch areas: towards the rim
    # of a hemisphere by about a factor two.
    assert report["area_distortion"]["max"] > 1.5
    assert report["area_distortion"]["p95"] > 1.2
    assert 1 <= report["conformal_distortion"]["mean"] < 1.2
    assert report["border_edges"] == 32


def test_json_report_is_one_object_with_every_key(tmp_path, tessaplan):
    points, faces = mesh_files.wavy_grid()
    # One face whose corners lie on a line: zero area in 3D.
    points = np.vstack([points, [[2.0, 0, 0], [3.0, 0, 0]]])
    faces = faces + [[0, 42, 43]]
    report = flatten(tessaplan, write(tmp_path, "obj", points, faces),
                     "-o", tmp_path / "flat.obj", "--pack")
    assert REPORT_KEYS <= set(report)
    assert set(report["seconds"]) >= {"read", "parameterize", "write"}
    assert all(value >= 0 for value in report["seconds"].values())
    for key in ("conformal_distortion", "area_distortion"):
        statistics = report[key]
        assert set(statistics) == {"mean", "p95", "max"}
        assert statistics["mean"] <= statistics["max"]
        assert statistics["p95"] <= statistics["max"]
    assert report["conformal_distortion"]["mean"] >= 1
    assert report["degenerate_triangles"] == 1
    assert report["triangles"] == 61
    # The extra face touches the grid at one vertex only: a piece of its
    # own, with three border edges and no area.
    assert report["pieces"]["count"] == 2
    extra = report["pieces"]["list"][1]
    assert (extra["triangles"], extra["border_edges"]) == (1, 3)
    assert extra["area_ratio"] is None
    assert report["border_edges"] == 22 + 3
    assert 0 < report["pack_fill"] <= 1


def test_text_report_names_every_figure(tmp_path, tessaplan):
    points, faces = mesh_files.wavy_grid()
    result = tessaplan("flatten", write(tmp_path, "obj", points, faces),
                       "-o", tmp_path / "flat.obj")
    assert result.returncode == 0 and result.stderr == ""
    for label in ("vertices", "triangles", "pieces", "border edges",
                  "time", "conformal distortion", "area distortion",
                  "flipped triangles"):
        assert label in result.stdout


def test_svg_is_well_formed_with_colours_and_legend(tmp_path, tessaplan):
    points, faces = mesh_files.hemisphere()
    svg = tmp_path / "picture.svg"
    flatten(tessaplan, write(tmp_path, "obj", points, faces),
            "-o", tmp_path / "flat.obj", "--svg", svg)
    root = ElementTree.parse(svg).getroot()
    namespace = "{http://www.w3.org/2000/svg}"
    assert root.tag == namespace + "svg"
    assert float(root.get("width")) > 0 and float(root.get("height")) > 0
    fills = {path.get("fill") for path in root.iter(namespace + "path")}
    assert len(fills - {"none"}) >= 5  # several colours of the scale
    # The coloured paths cover the map once: their areas add up to the
    # triangles' at the picture's scale (800 pixels along the longer side).
    _, texture, _ = read_obj(tmp_path / "flat.obj")
    uv = np.array(texture)
    scale = 800.0 / (uv.max(axis=0) - uv.min(axis=0)).max()
    sides = uv[[b for _, b, _ in faces]] - uv[[a for a, _, _ in faces]], \
        uv[[c for _, _, c in faces]] - uv[[a for a, _, _ in faces]]
    map_area = np.abs(sides[0][:, 0] * sides[1][:, 1] -
                      sides[0][:, 1] * sides[1][:, 0]).sum() / 2 * scale**2
    assert sum(filled_areas(root).values()) == pytest.approx(map_area,
                                                             rel=1e-3)
    text = " ".join(element.text or "" for element in root.iter())
    assert "conformal distortion" in text
    assert "flipped triangles: 0" in text
    assert root.find(".//%slinearGradient" % namespace) is not None


def test_png_is_the_same_picture_2048_pixels_long(tmp_path, tessaplan):
    points, faces = mesh_files.hemisphere()
    svg, png = tmp_path / "picture.svg", tmp_path / "picture.png"
    report = flatten(tessaplan, write(tmp_path, "obj", points, faces),
                     "-o", tmp_path / "flat.obj", "--svg", svg, "--png", png)
    assert (report["svg"], report["png"]) == (str(svg), str(png))
    root = ElementTree.parse(svg).getroot()
    width, height = float(root.get("width")), float(root.get("height"))
    scale = 2048 / max(width, height)
    png_width, png_height, rows = read_png(png, round(100 * scale))
    assert (png_width, png_height) == (round(width * scale),
                                       round(height * scale))

    def pixel(x, y):
        """The image's pixel at the picture's point (x, y)."""
        return rows[round(y * scale)][round(x * scale)]

    assert pixel(2, 2) == (255, 255, 255)
    # The title's letters, dark, from x = 24 on the baseline y = 38.
    assert min(sum(pixel(x, 33)) for x in range(24, 100)) < 200
    # The top of the colour bar (legend 234 pixels from the right, the
    # bar from y = 84 down): viridis's yellow.
    top = pixel(width - 234 + 12, 88)
    assert all(abs(a - b) <= 24 for a, b in zip(top, (0xfd, 0xe7, 0x25))), top
    # The hemisphere's map is a disc touching the top of the drawing
    # (y = 56) in its middle: coloured, not white.
    assert pixel(24 + (width - 234 - 56) / 2, 90) != (255, 255, 255)


def test_closed_surface_is_named_as_the_cause(tmp_path, tessaplan):
    points, faces = mesh_files.octahedron()
    result = tessaplan("flatten", write(tmp_path, "obj", points, faces),
                       "-o", tmp_path / "flat.obj")
    # Either flattened with a warning or refused: both say why.
    message = result.stderr.lower()
    assert "closed" in message and "cut" in message
    if result.returncode != 0:
        assert result.returncode == 5
        assert len(result.stderr.splitlines()) == 1


def test_each_command_has_its_own_help(tessaplan):
    program = tessaplan("--help")
    assert program.returncode == 0
    assert "flatten  " in program.stdout and "atlas  " in program.stdout
    assert "--pack" not in program.stdout

    flatten_help = tessaplan("flatten", "--help")
    assert flatten_help.returncode == 0
    for option in ("-o", "--weld", "--no-weld", "--flat", "--normalize",
                   "--pack", "--fail-on-fold", "--svg", "--png", "--json",
                   "--help"):
        assert option in flatten_help.stdout
    for status in range(7):
        assert "\n  %d  " % status in flatten_help.stdout
    assert tessaplan("flatten", "a.obj", "-h").stdout == flatten_help.stdout

    atlas_help = tessaplan("atlas", "--help")
    assert atlas_help.returncode == 0
    assert atlas_help.stdout.startswith("Usage: tessaplan atlas")
    for option in ("--max-distortion", "--padding", "--resolution",
                   "--svg", "--png", "Default: 1.15", "Default: 1024"):
        assert option in atlas_help.stdout
    assert "--pack" not in atlas_help.stdout
    for status in range(7):
        assert "\n  %d  " % status in atlas_help.stdout

    version = tessaplan("--version")
    assert version.returncode == 0
    assert re.fullmatch(r"tessaplan \d+\.\d+\.\d+\n", version.stdout)


@pytest.mark.parametrize("arguments, help_command", [
    (["atlas", "a.obj", "--pack"], "tessaplan atlas --help"),
    (["atlas", "a.obj", "--bogus"], "tessaplan atlas --help"),
    (["flatten", "a.obj", "--padding", "3"], "tessaplan flatten --help"),
    (["flaten", "a.obj"], "tessaplan --help"),
    (["--version", "x"], "tessaplan --help")])
def test_errors_point_to_the_right_help(tessaplan, arguments, help_command):
    result = tessaplan(*arguments)
    assert result.returncode == 2
    assert "(see %s)" % help_command in result.stderr


@pytest.mark.parametrize("command, output, allowed", [
    ("flatten", "x.stl", ".obj, .ply, .gltf, .glb"),
    ("flatten", "x.OFF", ".obj, .ply, .gltf, .glb"),
    ("atlas", "x.stl", ".obj, .ply, .gltf, .glb"),
    ("atlas", "x.fbx", ".obj, .ply, .gltf, .glb")])
def test_outputs_of_formats_not_written_are_refused(tmp_path, tessaplan,
                                                    command, output,
                                                    allowed):
    source = write(tmp_path, "obj", *mesh_files.wavy_grid(6, 5))
    result = tessaplan(command, source, "-o", tmp_path / output)
    assert result.returncode == 2
    assert ("the %s command writes %s files" % (command, allowed)
            in result.stderr)
    assert sorted(os.listdir(tmp_path)) == ["surface.obj"]


@pytest.mark.parametrize("arguments", [
    [], ["unflatten", "x.obj"], ["flatten"], ["flatten", "a.obj", "b.obj"],
    ["flatten", "a.obj", "--bogus"], ["flatten", "a.obj", "-o"],
    ["flatten", "a.obj", "--svg"],
    ["flatten", "a.obj", "-o", "same.svg", "--svg", "same.svg"],
    ["flatten", "a.obj", "--png"], ["atlas", "a.obj", "--png="],
    ["flatten", "a.obj", "-o", "same.obj", "--png", "./same.obj"],
    ["atlas", "a.obj", "--svg", "same.png", "--png", "same.png"]])
def test_wrong_command_lines_are_usage_errors(tmp_path, monkeypatch,
                                              tessaplan, arguments):
    monkeypatch.chdir(tmp_path)
    result = tessaplan(*arguments)
    assert result.returncode == 2
    assert len(result.stderr.splitlines()) == 1
    assert result.stderr.startswith("tessaplan: error: ")
    assert os.listdir(tmp_path) == []


# Bad inputs: (file name, content as text or bytes, exit status, part of
# the message).
def _good_grid_ply_binary():
    import tempfile
    points, faces = mesh_files.wavy_grid()
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "x.ply")
        mesh_files.write_ply_binary(path, points, faces)
        with open(path, "rb") as data:
            return data.read()


def _good_stl_binary():
    import tempfile
    points, faces = mesh_files.wavy_grid()
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "x.stl")
        mesh_files.write_stl_binary(path, points, faces)
        with open(path, "rb") as data:
            return data.read()


PLY_HEADER = ("ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
              "property float y\nproperty float z\nelement face 1\n"
              "property list uchar int vertex_indices\nend_header\n")

BAD_INPUTS = {
    "unknown-format": ("surface.xyz", "0 0 0\n1 0 0\n0 1 0\n", 4,
                       "No suitable reader"),
    "corrupt-ply": ("surface.ply", "this is not a ply file\n", 4,
                    "cannot read"),
    "corrupt-off": ("surface.off", "OFF\nthree vertices\n", 4,
                    "cannot read"),
    "truncated-binary-stl": ("surface.stl", _good_stl_binary()[:150], 4,
                             "claims 60 triangles"),
    "off-with-missing-vertices": ("surface.off",
                                  "OFF\n4 1 0\n0 0 0\n1 0 0\n0 1 0\n", 4,
                                  "cannot read"),
    "no-triangles": ("surface.off",
                     "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n2 0 1\n", 4,
                     "no triangles"),
    "unsupported-obj-record": ("surface.obj",
                               "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2 3\n", 4,
                               "unrecognized line: l"),
    "vertices-only": ("surface.ply",
                      PLY_HEADER.replace("face 1", "face 0") +
                      "0 0 0\n1 0 0\n0 1 0\n", 4, "no triangles"),
    "empty-file": ("surface.stl", "", 4, "fewer than two vertices"),
    "nan-coordinate": ("surface.obj",
                       "v 0 0 0\nv 1 0 nan\nv 0 1 0\nv 1 1 0\n"
                       "f 1 2 3\nf 2 4 3\n", 4, "reading OBJ vertex"),
    "infinite-coordinate": ("surface.ply",
                            PLY_HEADER.replace("float", "double") +
                            "0 0 0\n1 0 0\n0 1e999 0\n3 0 1 2\n",
                            4, "not a number in its vertex elements"),
    "infinite-binary-coordinate": (
        "surface.ply",
        PLY_HEADER.replace("ascii", "binary_little_endian").encode() +
        struct.pack("<9f", 0, 0, 0, 1, 0, 0, 0, math.inf, 0) +
        struct.pack("<B3i", 3, 0, 1, 2), 4, "not a finite number"),
    "index-out-of-range-obj": ("surface.obj",
                               "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n", 4,
                               "out of range"),
    "index-out-of-range-off": ("surface.off",
                               "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 9\n",
                               4, "not a valid OFF file"),
    "off-negative-index": ("surface.off",
                           "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 -2\n",
                           4, "not a whole number from 0: 3 0 1 -2"),
    "off-fractional-index": ("surface.off",
                             "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n"
                             "3 0 1 1.5\n", 4, "not a whole number"),
    "off-fewer-indices-than-count": (
        "surface.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n4 0 1 2\n", 4,
        "not a valid OFF file"),
    "off-colour-line-without-coordinates": (
        "surface.off", "COFF\n3 1 0\n0 0\n1 0 0 9 9 9\n0 1 0 9 9 9\n3 0 1 2\n",
        4, "fewer than three numbers (vertex 0)"),
    "off-colours-in-n-dimensions": (
        "surface.off", "CnOFF\n3\n3 1 0\n0 0 0 9 9 9\n1 0 0 9 9 9\n"
        "0 1 0 9 9 9\n3 0 1 2\n", 4, "OFF header that is not read"),
    "off-negative-count": ("surface.off",
                           "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n-3 0 1 2\n",
                           4, "not a whole number from 0: -3"),
    "off-huge-corner-count": ("surface.off",
                              "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n"
                              "4000000000 0 1 2\n", 4, "corners"),
    "off-huge-vertex-count": ("surface.off", "OFF\n100000000 1 0\n0 0 0\n",
                              4, "claims 100000000 vertices"),
    # CGAL's header reader doubles the edge count in an int.
    "off-edge-count-overflow": (
        "surface.off", "OFF 3 1 2000000000\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n",
        4, "more than the OFF reader can count"),
    "coff-edge-count-overflow": (
        "surface.off",
        "COFF 3 1 2000000000\n0 0 0 9 9 9\n1 0 0 9 9 9\n0 1 0 9 9 9\n"
        "3 0 1 2\n", 4, "more than the OFF reader can count"),
    "ply-huge-list": ("surface.ply",
                      PLY_HEADER.replace("uchar", "int") + "0 0 0\n1 0 0\n0 1 0\n2000000 0 1 2\n",
                      4, "claims 2000000 values"),
    "ply-truncated-data": ("surface.ply",
                           PLY_HEADER + "0 0 0\n1 0 0\n0 1 0\n3 0 1",
                           4, "ends early"),
    "binary-ply-negative-list": (
        "surface.ply",
        PLY_HEADER.replace("ascii", "binary_big_endian")
        .replace("uchar", "int").encode() +
        struct.pack(">9f", 0, 0, 0, 1, 0, 0, 0, 1, 0) +
        struct.pack(">4i", -3, 0, 1, 2), 4, "claims -3 values"),
    "index-out-of-range-ply": ("surface.ply",
                               PLY_HEADER + "0 0 0\n1 0 0\n0 1 0\n3 0 1 9\n",
                               4, "out of range"),
    "index-out-of-range-binary-ply": (
        "surface.ply",
        _good_grid_ply_binary()[:-4] + (1000).to_bytes(4, "little"), 4,
        "out of range"),
    "fewer-than-two-vertices": ("surface.obj", "v 0 0 0\nf 1 1 1\n", 4,
                                "fewer than two vertices"),
    # Every triangle on one line: no plane to flatten onto.
    "flattening-fails": ("surface.obj",
                         "v 0 0 0\nv 1 0 0\nv 2 0 0\nv 3 0 0\n"
                         "f 1 2 3\nf 2 3 4\n", 5, "cannot flatten"),
}


@pytest.mark.parametrize("case", sorted(BAD_INPUTS))
def test_bad_input_fails_cleanly(tmp_path, tessaplan, case):
    name, content, status, message = BAD_INPUTS[case]
    source = tmp_path / name
    if isinstance(content, bytes):
        source.write_bytes(content)
    else:
        source.write_text(content)
    out = tmp_path / "out"
    out.mkdir()
    result = tessaplan("flatten", source, "-o", out / "flat.obj",
                       "--svg", out / "flat.svg", "--json")
    assert result.returncode == status, result.stderr
    lines = result.stderr.splitlines()
    assert len(lines) == 1, result.stderr
    assert lines[0].startswith("tessaplan: error: ")
    assert message in lines[0]
    assert result.stdout == ""
    assert os.listdir(out) == []


@pytest.mark.parametrize("case", ["missing", "folder", "unreadable"])
def test_input_that_cannot_be_opened(tmp_path, tessaplan, case):
    source = tmp_path / "surface.obj"
    if case == "folder":
        source.mkdir()
    elif case == "unreadable":
        points, faces = mesh_files.wavy_grid()
        mesh_files.write_obj(source, points, faces)
        source.chmod(0)
        if os.access(source, os.R_OK):
            pytest.skip("permissions do not apply to this user (root)")
    out = tmp_path / "out"
    out.mkdir()
    result = tessaplan("flatten", source, "-o", out / "flat.obj")
    assert result.returncode == 3
    assert len(result.stderr.splitlines()) == 1
    assert "cannot open" in result.stderr
    assert os.listdir(out) == []


def test_unwritable_outputs_leave_nothing_behind(tmp_path, tessaplan):
    points, faces = mesh_files.wavy_grid()
    source = write(tmp_path, "obj", points, faces)
    out = tmp_path / "out"
    out.mkdir()
    # The OBJ folder exists, the SVG folder does not: neither file may
    # appear.
    result = tessaplan("flatten", source, "-o", out / "flat.obj",
                       "--svg", tmp_path / "missing" / "flat.svg")
    assert result.returncode == 6
    assert len(result.stderr.splitlines()) == 1
    assert "cannot write" in result.stderr
    assert os.listdir(out) == []

    # The same with the PNG's folder missing.
    result = tessaplan("flatten", source, "-o", out / "flat.obj",
                       "--svg", out / "flat.svg",
                       "--png", tmp_path / "missing" / "flat.png")
    assert result.returncode == 6
    assert "cannot write" in result.stderr
    assert os.listdir(out) == []

    result = tessaplan("flatten", source, "-o", tmp_path / "missing" / "x.obj")
    assert result.returncode == 6
    assert sorted(os.listdir(tmp_path)) == ["out", "surface.obj"]


def test_svg_and_png_are_never_one_file(tmp_path, tessaplan):
    source = write(tmp_path, "obj", *mesh_files.wavy_grid())
    (tmp_path / "picture.svg").write_text("old")
    (tmp_path / "picture.png").symlink_to(tmp_path / "picture.svg")
    result = tessaplan("flatten", source, "-o", tmp_path / "flat.obj",
                       "--svg", tmp_path / "picture.svg",
                       "--png", tmp_path / "picture.png")
    assert result.returncode == 2
    assert "the SVG file and the PNG file are the same file" in result.stderr
    assert (tmp_path / "picture.svg").read_text() == "old"
    assert not (tmp_path / "flat.obj").exists()


def test_existing_output_is_replaced_whole(tmp_path, tessaplan):
    points, faces = mesh_files.wavy_grid()
    source = write(tmp_path, "obj", points, faces)
    output = tmp_path / "flat.obj"
    output.write_text("old content\n" * 100000)
    flatten(tessaplan, source, "-o", output)
    assert "old content" not in output.read_text()
    assert sorted(os.listdir(tmp_path)) == ["flat.obj", "surface.obj"]


def test_repeated_triangles_are_counted_in_a_warning(tmp_path, tessaplan):
    # A curved grid with one triangle repeated as given and one reversed.
    points, faces = mesh_files.wavy_grid(6, 5)
    faces = list(faces) + [faces[3], list(reversed(faces[7]))]
    source = write(tmp_path, "obj", points, faces)
    result = tessaplan("flatten", source, "-o", tmp_path / "out.obj")
    assert result.returncode == 0, result.stderr
    assert ("warning: 2 triangles repeat the vertices of an earlier one "
            "(either way round): the copies were left out of the solve"
            ) in result.stderr
    # Without repeats there is no such warning.
    clean = write(tmp_path, "obj", *mesh_files.wavy_grid(6, 5), name="clean")
    result = tessaplan("flatten", clean, "-o", tmp_path / "clean-flat.obj")
    assert result.returncode == 0, result.stderr
    assert "triangles repeat" not in result.stderr


def test_a_folded_map_is_written_with_a_warning(tmp_path, tessaplan):
    source = write(tmp_path, "obj", *mesh_files.ruffled_disc())
    result = tessaplan("flatten", source, "--json", "-o",
                       tmp_path / "out.obj")
    assert result.returncode == 0, result.stderr
    report = json.loads(result.stdout)
    flipped = report["flipped_triangles"]
    assert flipped > 0
    warning = (f"warning: the map folds over itself: {flipped} of "
               f"{report['triangles']} triangles are flipped")
    assert warning in result.stderr
    assert any(w.startswith(warning[len("warning: "):])
               for w in report["warnings"])
    assert (tmp_path / "out.obj").exists()


def test_large_smooth_map_takes_a_few_bytes_a_triangle(tmp_path, tessaplan):
    # A path per colour holding the outline of its triangles: a path per
    # triangle took about 43 bytes a triangle.
    points, faces = mesh_files.wavy_grid(316, 158)
    svg = tmp_path / "map.svg"
    flatten(tessaplan, write(tmp_path, "obj", points, faces),
            "-o", tmp_path / "flat.obj", "--svg", svg)
    assert svg.stat().st_size < 12 * len(faces)
    ElementTree.parse(svg)


@pytest.mark.skipif(shutil.which("rsvg-convert") is None,
                    reason="rsvg-convert (Debian's librsvg2-bin) is missing")
def test_large_noisy_map_opens_in_librsvg(tmp_path, tessaplan):
    # 320 000 triangles whose colours change from one to the next, so that
    # the outlines stay long: librsvg fails on documents with many path
    # attributes of half a megabyte, so each is kept to 128 KiB.
    points, faces = mesh_files.wavy_grid(400, 400)
    points[:, 2] += np.random.default_rng(5).normal(0.0, 0.001, len(points))
    svg, png = tmp_path / "map.svg", tmp_path / "map.png"
    flatten(tessaplan, write(tmp_path, "obj", points, faces),
            "-o", tmp_path / "flat.obj", "--svg", svg)
    paths = list(ElementTree.parse(svg).getroot().iter(SVG + "path"))
    assert max(len(path.get("d")) for path in paths) <= 1 << 17
    colours = {path.get("fill") for path in paths} - {"none"}
    assert len(paths) > len(colours)  # some colour took several parts
    result = subprocess.run(["rsvg-convert", "-o", png, svg],
                            capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stderr
    root = ElementTree.parse(svg).getroot()
    assert read_png(png, 0)[:2] == (int(root.get("width")),
                                    int(root.get("height")))
