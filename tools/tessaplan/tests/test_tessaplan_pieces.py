"""The program on surfaces in several pieces: the pieces in the report,
--pack, and inputs that used to break the report."""

import json
import math
import pathlib

import numpy as np
import pytest

import mesh_files
from layout_checks import box_fill, boxes, overlapping_pairs
from mesh_files import read_obj

DATA = pathlib.Path(__file__).parent / "data"


def run_json(tessaplan, source, *options):
    """Runs flatten --json; returns the completed process and the report
    parsed from standard output, which must be exactly one JSON line."""
    result = tessaplan("flatten", source, "--json", *options)
    assert result.returncode == 0, result.stderr
    assert result.stdout.count("\n") == 1, result.stdout
    return result, json.loads(result.stdout)


def write_stl_of_obj(source, target):
    """Writes the triangles of an OBJ file as an ASCII STL."""
    points, _, faces = read_obj(source)
    lines = ["solid bowtie"]
    for face in faces:
        lines += ["facet normal 0 0 0", "outer loop"]
        lines += ["vertex %r %r %r" % tuple(points[v]) for v, _ in face]
        lines += ["endloop", "endfacet"]
    target.write_text("\n".join(lines + ["endsolid bowtie", ""]))


@pytest.mark.parametrize("name", ["stl", "obj"])
def test_json_report_parses_where_the_solver_used_to_print(tmp_path,
                                                          tessaplan, name):
    source = DATA / "cholmod_stdout_bowtie.obj"
    if name == "stl":
        # The same two triangles as a well-formed STL (the fuzzed STL of the
        # same shape is now refused by the reader, exit 4).
        write_stl_of_obj(source, tmp_path / "bowtie.stl")
        source = tmp_path / "bowtie.stl"
    _, report = run_json(tessaplan, source, "-o", tmp_path / "flat.obj")
    assert report["triangles"] == 2
    assert report["pieces"]["count"] == 2
    assert report["collapsed_triangles"] == 0
    for piece in report["pieces"]["list"]:
        assert piece["triangles"] == 1 and piece["border_edges"] == 3
        assert piece["closed"] is False
        # Pinned at their projections onto the mean plane, the tilted
        # triangles shrink somewhat, but keep a sensible size.
        assert 0.1 < piece["area_ratio"] < 10


def test_bow_tie_keeps_both_wings(tmp_path, tessaplan):
    _, report = run_json(tessaplan, DATA / "bowtie_collapse.obj",
                         "-o", tmp_path / "flat.obj")
    assert [p["area_ratio"] for p in report["pieces"]["list"]] == \
        pytest.approx([1.0, 1.0], rel=1e-6)


def test_reversed_input_triangle_is_not_reported_flipped(tmp_path,
                                                         tessaplan):
    result, report = run_json(tessaplan,
                              DATA / "inconsistent_winding_planar.obj",
                              "-o", tmp_path / "flat.obj")
    assert result.stderr == ""
    assert report["flipped_triangles"] == 0
    assert report["pieces"]["count"] == 1
    assert report["conformal_distortion"]["max"] == pytest.approx(1.0)


def test_forty_seven_pieces_flatten_without_collapse(tmp_path, tessaplan):
    points, faces, _ = mesh_files.small_pieces()
    source = tmp_path / "pieces.obj"
    mesh_files.write_obj(source, points, faces)
    result, report = run_json(tessaplan, source, "-o", tmp_path / "flat.obj")
    # Without --pack the pieces stay where their pins put them: a warning.
    assert "47 pieces" in result.stderr and "--pack" in result.stderr
    pieces = report["pieces"]
    assert pieces["count"] == 47
    assert sum(p["triangles"] for p in pieces["list"]) == len(faces)
    assert report["collapsed_triangles"] == 0
    assert all(0.5 < p["area_ratio"] < 2.0 for p in pieces["list"])
    assert all(not p["closed"] for p in pieces["list"])
    assert report["pack_fill"] is None

    text = tessaplan("flatten", source, "-o", tmp_path / "flat.obj")
    assert text.returncode == 0
    assert "pieces                47" in text.stdout
    assert text.stdout.count("  piece ") == 47


def test_pack_lays_the_pieces_apart_in_a_tight_square(tmp_path, tessaplan):
    points, faces, vertex_ids = mesh_files.small_pieces()
    source = tmp_path / "pieces.obj"
    mesh_files.write_obj(source, points, faces)
    run_json(tessaplan, source, "-o", tmp_path / "loose.obj", "--flat")
    result, report = run_json(tessaplan, source, "-o",
                              tmp_path / "packed.obj", "--flat", "--pack")
    assert result.stderr == ""
    loose = np.array(read_obj(tmp_path / "loose.obj")[0])[:, :2]
    packed = np.array(read_obj(tmp_path / "packed.obj")[0])[:, :2]
    assert overlapping_pairs(*boxes(packed, vertex_ids)) == []
    # Each piece moved rigidly: every edge keeps its length.
    for face in faces:
        for a, b in zip(face, face[1:] + face[:1]):
            assert np.linalg.norm(packed[a] - packed[b]) == pytest.approx(
                np.linalg.norm(loose[a] - loose[b]), rel=1e-9, abs=1e-12)
    assert report["pack_fill"] == pytest.approx(box_fill(packed, vertex_ids),
                                                rel=1e-6)
    assert report["pack_fill"] >= 0.6

    # --normalize: the packed layout scaled into the unit square.
    run_json(tessaplan, source, "-o", tmp_path / "unit.obj", "--pack",
             "--normalize")
    unit = np.array(read_obj(tmp_path / "unit.obj")[1])
    assert unit.min() == 0.0 and unit.max() == 1.0
    assert overlapping_pairs(*boxes(unit, vertex_ids)) == []


def test_true_size_gives_every_piece_its_own_lengths(tmp_path, tessaplan):
    # Two half cylinders apart, of radius 50 and 5 (millimetres, say): each
    # unrolls to its true size, whatever scale its pins gave it.
    big, faces = mesh_files.cylinder_patch(16, math.pi, 50.0, 100.0)
    small, _ = mesh_files.cylinder_patch(16, math.pi, 5.0, 10.0)
    points = np.vstack([big, small + [200.0, 0.0, 0.0]])
    faces = faces + [[v + len(big) for v in face] for face in faces]
    source = tmp_path / "cylinders.obj"
    mesh_files.write_obj(source, points, faces)
    _, pinned = run_json(tessaplan, source, "-o", tmp_path / "pins.obj")
    assert all(abs(p["length_scale"] - 1) > 0.01
               for p in pinned["pieces"]["list"])
    _, report = run_json(tessaplan, source, "-o", tmp_path / "true.obj",
                         "--scale", "area", "--pack")
    scales = [p["length_scale"] for p in report["pieces"]["list"]]
    assert scales == pytest.approx([1, 1], abs=1e-9)
    # The file's points went through single precision, which bends the
    # cylinders by about 1e-7 of their size.
    written, uv, _ = read_obj(tmp_path / "true.obj")
    written, uv = np.array(written), np.array(uv)
    for face in faces:
        for a, b in zip(face, face[1:] + face[:1]):
            assert np.linalg.norm(uv[a] - uv[b]) == pytest.approx(
                np.linalg.norm(written[a] - written[b]), rel=1e-6)


def test_scale_takes_pins_or_area_and_only_when_flattening(tmp_path,
                                                            tessaplan):
    source = tmp_path / "grid.obj"
    mesh_files.write_obj(source, *mesh_files.wavy_grid())
    for args in (["flatten", source, "--scale", "true"],
                 ["flatten", source, "--scale"],
                 ["atlas", source, "--scale", "area"]):
        result = tessaplan(*args)
        assert result.returncode == 2
        assert "--scale" in result.stderr


def test_pins_from_a_file_hold_their_vertices(tmp_path, tessaplan):
    points, faces = mesh_files.cylinder_patch(8)
    source = tmp_path / "patch.obj"
    mesh_files.write_obj(source, points, faces)
    pins = tmp_path / "pins.txt"
    pins.write_text("# vertex u v\n0 0 0\n\n80 2.5 -1e-3\n40 1.25 0.5\n")
    run_json(tessaplan, source, "-o", tmp_path / "pinned.obj", "--pins",
             pins)
    _, uv, _ = read_obj(tmp_path / "pinned.obj")
    assert [uv[0], uv[80], uv[40]] == [(0, 0), (2.5, -1e-3), (1.25, 0.5)]


@pytest.mark.parametrize("text, status, message", [
    ("0 0 0\n1 2\n", 4, "line 2: expected 'vertex u v'"),
    ("0 0 0\n-1 2 3\n", 4, "line 2"),
    ("0 0 nan\n", 4, "line 1"),
    ("0 0 0\n\n7 1 1\n500 2 2\n", 4, "line 4: [solve_LSCM] Pin 2 names "
     "vertex 500"),
    ("3 1 1\n4 1 1\n", 4, "line 2: [solve_LSCM] Pin 1 lies at the position "
     "of pin 0")])
def test_bad_pins_files_name_the_line(tmp_path, tessaplan, text, status,
                                      message):
    source = tmp_path / "patch.obj"
    mesh_files.write_obj(source, *mesh_files.cylinder_patch(4))
    pins = tmp_path / "pins.txt"
    pins.write_text(text)
    result = tessaplan("flatten", source, "--pins", pins)
    assert result.returncode == status
    assert message in result.stderr
    assert not (tmp_path / "patch-flat.obj").exists()
    missing = tessaplan("flatten", source, "--pins", tmp_path / "none.txt")
    assert missing.returncode == 3
    assert tessaplan("atlas", source, "--pins", pins).returncode == 2


def test_arap_unrolls_at_true_size_and_reports_lengths(tmp_path, tessaplan):
    points, faces = mesh_files.cylinder_patch(12, math.pi, 50.0, 100.0)
    source = tmp_path / "half.obj"
    mesh_files.write_obj(source, points, faces)
    _, lscm = run_json(tessaplan, source, "-o", tmp_path / "lscm.obj")
    assert lscm["method"] == "lscm" and lscm["arap_iterations"] is None
    assert lscm["length_distortion"]["p95"] > 1.1
    _, arap = run_json(tessaplan, source, "-o", tmp_path / "arap.obj",
                       "--method", "arap")
    assert arap["method"] == "arap" and arap["arap_converged"] is True
    assert arap["arap_iterations"] >= 1
    # Single-precision input bends the cylinder by about 1e-7.
    assert arap["length_distortion"]["max"] == pytest.approx(1, abs=1e-5)
    assert arap["flipped_triangles"] == 0
    pins = tmp_path / "pins.txt"
    pins.write_text("0 0 0\n")
    for args in (["--method", "ARAP"], ["--method", "arap", "--pins", pins]):
        result = tessaplan("flatten", source, *args)
        assert result.returncode == 2
        assert "--method" in result.stderr or "--pins" in result.stderr
    assert tessaplan("atlas", source, "--method", "arap").returncode == 2


def tube_mesh(columns=16, rows=4):
    """A tube closed round and open at both ends, vertex j * columns + i,
    and the lines of seams along its generator i = 0."""
    points, faces = [], []
    for j in range(rows + 1):
        for i in range(columns):
            angle = 2 * math.pi * i / columns
            points.append((math.cos(angle), math.sin(angle), 0.5 * j))
    for j in range(rows):
        for i in range(columns):
            a, b = j * columns + i, j * columns + (i + 1) % columns
            faces += [[a, b, b + columns], [a, b + columns, a + columns]]
    seams = "".join("%d %d\n" % (j * columns, (j + 1) * columns)
                    for j in range(rows))
    return np.array(points), faces, seams


def test_seams_let_a_closed_tube_flatten_per_corner(tmp_path, tessaplan):
    points, faces, seams = tube_mesh()
    source = tmp_path / "tube.obj"
    mesh_files.write_obj(source, points, faces)
    assert tessaplan("flatten", source).returncode == 5
    seams_file = tmp_path / "seams.txt"
    seams_file.write_text("# along the generator\n" + seams)
    _, report = run_json(tessaplan, source, "-o", tmp_path / "open.obj",
                         "--seams", seams_file, "--scale", "area")
    assert report["pieces"]["count"] == 1
    assert report["pieces"]["list"][0]["closed"] is False
    assert report["flipped_triangles"] == 0
    written, uv, out_faces = read_obj(tmp_path / "open.obj")
    assert len(written) == len(points)
    # The five vertices of the seam carry two texture coordinates each.
    assert len(uv) == len(points) + 5
    for face in out_faces:
        for (a, ta), (b, tb) in zip(face, face[1:] + face[:1]):
            assert np.linalg.norm(np.subtract(uv[ta], uv[tb])) == \
                pytest.approx(np.linalg.norm(np.subtract(written[a],
                                                         written[b])),
                              rel=1e-6)


@pytest.mark.parametrize("text, status, message", [
    ("0 16\n0 5\n", 4, "line 2: [cut_along_edges] Seam 1 (0, 5) is not an "
     "edge"),
    ("0 16\n0\n", 4, "line 2: expected 'a b'"),
    ("0 1000\n", 4, "names a vertex beyond")])
def test_bad_seams_files_name_the_line(tmp_path, tessaplan, text, status,
                                       message):
    points, faces, _ = tube_mesh()
    source = tmp_path / "tube.obj"
    mesh_files.write_obj(source, points, faces)
    seams = tmp_path / "seams.txt"
    seams.write_text(text)
    result = tessaplan("flatten", source, "--seams", seams)
    assert result.returncode == status
    assert message in result.stderr
    assert tessaplan("flatten", source, "--seams", seams,
                     "--flat").returncode == 2


def test_atlas_charts_end_at_the_seams_given(tmp_path, tessaplan):
    points, faces, _ = tube_mesh(16, 4)
    source = tmp_path / "tube.obj"
    mesh_files.write_obj(source, points, faces)
    # The ring half way up: its edges get two texture coordinates.
    ring = [(2 * 16 + i, 2 * 16 + (i + 1) % 16) for i in range(16)]
    seams = tmp_path / "ring.txt"
    seams.write_text("".join("%d %d\n" % edge for edge in ring))
    result = tessaplan("atlas", source, "-o", tmp_path / "atlas.obj",
                       "--seams", seams, "--json")
    assert result.returncode == 0, result.stderr
    _, _, out_faces = read_obj(tmp_path / "atlas.obj")
    for a, b in ring:
        sides = [face for face in out_faces
                 if {a, b} <= {v for v, _ in face}]
        assert len(sides) == 2
        texture = [{v: t for v, t in face} for face in sides]
        assert (texture[0][a], texture[0][b]) != (texture[1][a], texture[1][b])
    seams.write_text("0 16\n0 40\n")
    bad = tessaplan("atlas", source, "--seams", seams)
    assert bad.returncode == 4
    assert "line 2: [cut_along_edges] Seam 1 (0, 40)" in bad.stderr
