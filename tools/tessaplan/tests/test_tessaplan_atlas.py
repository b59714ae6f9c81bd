"""The atlas command: closed surfaces cut into charts, the OBJ it writes,
and its options."""

import json
import os
import pathlib

import numpy as np
import pytest

from mesh_files import read_obj, wavy_grid, write_obj
from picture_files import read_png

EXAMPLE = (pathlib.Path(__file__).resolve().parents[3] / "examples" /
           "bumpy_torus.obj")


def test_closed_torus_gets_a_checked_atlas(tmp_path, tessaplan):
    output = tmp_path / "atlas.obj"
    result = tessaplan("atlas", EXAMPLE, "-o", output, "--json",
                       "--svg", tmp_path / "atlas.svg")
    assert result.returncode == 0, result.stderr
    report = json.loads(result.stdout)
    assert report["flipped_triangles"] == 0
    assert report["overlapping_pairs"] == 0
    assert report["charts"] >= 2
    assert report["conformal_distortion"]["p95"] <= 1.15
    assert 0 < report["efficiency"] <= 1

    # The input's vertices come back in order and value, and its triangles
    # as the faces; every chart corner has a coordinate in the unit square.
    source_points, _, source_faces = read_obj(EXAMPLE)
    points, texture, faces = read_obj(output)
    assert points == source_points
    assert [[v for v, _ in face] for face in faces] == \
        [[v for v, _ in face] for face in source_faces]
    assert len(texture) > len(points)  # seams have one per chart
    uv = np.array(texture)
    assert uv.min() >= 0 and uv.max() <= 1
    # A vertex keeps one image per chart: the faces that share a texture
    # coordinate share its vertex.
    vertex_of = {}
    for face in faces:
        for v, t in face:
            assert vertex_of.setdefault(t, v) == v
    assert (tmp_path / "atlas.svg").read_text().startswith("<?xml")


def test_atlas_draws_its_picture_as_png_too(tmp_path, tessaplan):
    png = tmp_path / "atlas.png"
    result = tessaplan("atlas", EXAMPLE, "-o", tmp_path / "atlas.obj",
                       "--svg", tmp_path / "atlas.svg", "--png", png)
    assert result.returncode == 0, result.stderr
    width, height, rows = read_png(png, 1)
    assert max(width, height) == 2048 and min(width, height) > 1000
    assert set(rows[0]) == {(255, 255, 255)}
    assert sorted(os.listdir(tmp_path)) == ["atlas.obj", "atlas.png",
                                            "atlas.svg"]


def test_flatten_suggests_the_atlas_for_a_closed_surface(tmp_path, tessaplan):
    result = tessaplan("flatten", EXAMPLE, "-o", tmp_path / "flat.obj")
    assert "tessaplan atlas" in result.stderr


@pytest.mark.parametrize("options", [["--flat"], ["--pack"],
                                     ["--max-distortion", "0.9"],
                                     ["--resolution", "8"],
                                     ["--padding", "x"],
                                     ["--max-chart-area", "-1"],
                                     ["--max-boundary-length", "nan"],
                                     ["--texels-per-unit", "-3"],
                                     ["--texels-per-unit", "inf"],
                                     ["--no-rotate=1"]])
def test_bad_atlas_options_are_usage_errors(tmp_path, tessaplan, options):
    result = tessaplan("atlas", EXAMPLE, "-o", tmp_path / "a.obj", *options)
    assert result.returncode == 2
    assert not (tmp_path / "a.obj").exists()


def test_atlas_options_belong_to_the_atlas(tmp_path, tessaplan):
    for option in (["--padding", "3"], ["--no-rotate"],
                   ["--texels-per-unit", "10"]):
        result = tessaplan("flatten", EXAMPLE, "-o", tmp_path / "f.obj",
                           *option)
        assert result.returncode == 2
        assert "belongs to the atlas command" in result.stderr


def test_atlas_help_gives_the_librarys_defaults(tessaplan):
    text = tessaplan("atlas", "--help").stdout
    for option in ("--no-rotate", "--max-chart-area", "--max-boundary-length",
                   "--texels-per-unit", "--padding", "--resolution"):
        assert option in text
    assert "Default: 1024." in text and "Default: 2." in text


def test_a_fixed_density_writes_a_material_per_page(tmp_path, tessaplan):
    points, faces = wavy_grid(24, 20)
    source = tmp_path / "grid.obj"
    write_obj(source, points, faces)
    output = tmp_path / "pages.obj"
    result = tessaplan("atlas", source, "-o", output, "--json",
                       "--texels-per-unit", "120", "--resolution", "128",
                       "--max-chart-area", "0.1", "--no-rotate")
    assert result.returncode == 0, result.stderr
    report = json.loads(result.stdout)
    assert report["texels_per_unit"] == 120
    assert report["pages"] > 1
    assert len(report["charts_per_page"]) == report["pages"]
    assert sum(report["charts_per_page"]) == report["charts"]
    pages = [line.split()[1] for line in output.read_text().splitlines()
             if line.startswith("usemtl")]
    assert set(pages) == {"page_%d" % n for n in range(report["pages"])}
    _, texture, written = read_obj(output)
    assert len(written) == len(faces)
    assert 0 <= np.array(texture).min() and np.array(texture).max() <= 1
    # Pages are OBJ materials: other formats are refused before any work.
    refused = tessaplan("atlas", source, "-o", tmp_path / "pages.ply",
                        "--texels-per-unit", "120")
    assert refused.returncode == 2 and "--texels-per-unit" in refused.stderr
    # A chart larger than a page is named with both sizes.
    large = tessaplan("atlas", source, "-o", tmp_path / "large.obj",
                      "--texels-per-unit", "5000")
    assert large.returncode == 5
    assert "does not fit a page of 1024 x 1024 texels" in large.stderr


def quad_cube(n=3):
    """A closed cube of n x n quads per side, counter-clockwise from
    outside, without repeated vertices."""
    index, points, faces = {}, [], []

    def vertex(p):
        key = tuple(int(c) for c in p)
        if key not in index:
            index[key] = len(points)
            points.append([c / n for c in key])
        return index[key]

    for axis in range(3):
        u, v = (axis + 1) % 3, (axis + 2) % 3
        for side in (0, n):
            for i in range(n):
                for j in range(n):
                    corners = []
                    for di, dj in ((0, 0), (1, 0), (1, 1), (0, 1)):
                        p = [0, 0, 0]
                        p[axis], p[u], p[v] = side, i + di, j + dj
                        corners.append(vertex(p))
                    faces.append(corners if side else corners[::-1])
    return np.array(points, dtype=float), faces


def test_atlas_obj_keeps_the_quads_of_a_closed_cube(tmp_path, tessaplan):
    from mesh_files import write_obj
    points, faces = quad_cube()
    source = tmp_path / "cube.obj"
    write_obj(source, points, faces)
    output = tmp_path / "atlas.obj"
    result = tessaplan("atlas", source, "-o", output, "--json")
    assert result.returncode == 0, result.stderr
    report = json.loads(result.stdout)
    assert report["faces_split_at_seams"] == 0
    assert report["flipped_triangles"] == 0
    _, texture, written = read_obj(output)
    assert [[v for v, _ in face] for face in written] == faces
    # Each quad is flat and square: its four texture corners make a square
    # of the same size as every other's (one scale for all charts).
    sides = []
    for face in written:
        uv = np.array([texture[t] for _, t in face])
        edges = np.roll(uv, -1, axis=0) - uv
        lengths = np.linalg.norm(edges, axis=1)
        assert np.allclose(lengths, lengths[0], rtol=1e-6)
        sides.append(lengths[0])
    assert np.allclose(sides, sides[0], rtol=1e-6)


def test_faces_across_a_seam_are_written_as_triangles(tmp_path, tessaplan):
    from mesh_files import write_obj
    # A ring of 8 non-planar quads around a cylinder, with caps of 8-gons:
    # closed, so some faces have to be cut somewhere.
    ring = 8
    angles = np.arange(ring) * 2 * np.pi / ring
    bottom = np.column_stack([np.cos(angles), np.sin(angles), np.zeros(ring)])
    top = bottom + [0.0, 0.0, 3.0]
    top[::2, 2] += 0.4  # twists the quads
    points = np.vstack([bottom, top])
    faces = [[i, (i + 1) % ring, ring + (i + 1) % ring, ring + i]
             for i in range(ring)]
    faces.append(list(range(ring))[::-1])
    faces.append([ring + i for i in range(ring)])
    # Apart, one polygon fanned around a saddle point whose corner angles
    # there add up to far more than a full turn: no map without fold holds
    # all of its triangles, so it must be split.
    around = np.linspace(0.0, 2 * np.pi, 24, endpoint=False)
    rim = np.column_stack([np.cos(around), np.sin(around),
                           1.5 * np.sin(3 * around)])
    saddle = np.vstack([[0.0, 0.0, 0.0], rim]) + [5.0, 0.0, 0.0]
    fan = [2 * ring + k for k in range(25)]
    edges = saddle[2:] - saddle[0], saddle[1:-1] - saddle[0]
    cosines = np.einsum("ij,ij->i", *edges) / (
        np.linalg.norm(edges[0], axis=1) * np.linalg.norm(edges[1], axis=1))
    assert np.arccos(cosines).sum() > 2.5 * np.pi
    faces.append(fan)
    points = np.vstack([points, saddle])
    source = tmp_path / "drum.obj"
    write_obj(source, points, faces)
    output = tmp_path / "atlas.obj"
    result = tessaplan("atlas", source, "-o", output, "--json",
                       "--svg", tmp_path / "atlas.svg")
    assert result.returncode == 0, result.stderr
    report = json.loads(result.stdout)
    assert report["overlapping_pairs"] == 0
    _, _, written = read_obj(output)
    # Faces keep their order; a split one becomes its fan's triangles.
    expected = []
    for face in faces:
        expected.append([face])
        expected[-1].append([[face[0], face[k], face[k + 1]]
                             for k in range(1, len(face) - 1)])
    vertices = [[v for v, _ in face] for face in written]
    position, nb_split = 0, 0
    for whole, fan in expected:
        if vertices[position] == whole:
            position += 1
        else:
            assert vertices[position:position + len(fan)] == fan
            position += len(fan)
            nb_split += 1
    assert position == len(vertices)
    assert nb_split == report["faces_split_at_seams"]
    assert nb_split >= 1 and vertices[-1] != fan
    # The picture outlines the charts.
    svg = (tmp_path / "atlas.svg").read_text()
    assert 'stroke="#1a1a1a"' in svg


def test_unjoined_faces_that_cannot_fit_suggest_weld(tmp_path, tessaplan):
    from mesh_files import write_obj, wavy_grid
    # A strip of 30 triangles written as a soup: each triangle with corners
    # of its own, so 30 charts, too many for 16 texels with 2 of padding.
    points, faces = wavy_grid(15, 1)
    soup_points = np.array([points[v] for face in faces for v in face])
    soup_faces = [[3 * f, 3 * f + 1, 3 * f + 2] for f in range(len(faces))]
    source = tmp_path / "soup.obj"
    write_obj(source, soup_points, soup_faces)
    output = tmp_path / "atlas.obj"
    result = tessaplan("atlas", source, "-o", output, "--resolution", "16")
    assert result.returncode == 5
    assert "--weld" in result.stderr
    assert not output.exists()
    # Joined, it is one chart, which fits.
    result = tessaplan("atlas", source, "-o", output, "--resolution", "16",
                       "--weld", "--json")
    assert result.returncode == 0, result.stderr
    assert json.loads(result.stdout)["charts"] == 1


def test_both_commands_print_the_readers_warnings(tmp_path, tessaplan):
    # A curved grid with a face that names a vertex twice: the reader
    # leaves it out, and both commands say so.
    import mesh_files
    points, faces = mesh_files.wavy_grid(6, 5)
    faces = list(faces) + [[0, 1, 0]]
    source = tmp_path / "grid.obj"
    mesh_files.write_obj(source, points, faces)
    for command, output in (("flatten", "f.obj"), ("atlas", "a.obj")):
        result = tessaplan(command, source, "-o", tmp_path / output)
        assert result.returncode == 0, result.stderr
        assert ("tessaplan: warning: 1 triangles with fewer than three "
                "distinct vertices were left out") in result.stderr, command
    # The atlas's JSON carries the keys the flatten report has in common.
    result = tessaplan("atlas", source, "-o", tmp_path / "b.obj", "--json")
    report = json.loads(result.stdout)
    assert report["format"] == "OBJ" and report["single_precision"] is False
    assert len(report["warnings"]) == 1
    assert report["texels_per_unit"] > 0


def glb_attribute(path, name):
    """A vertex attribute of the first primitive of a GLB file, as floats."""
    import struct
    data = path.read_bytes()
    json_length = struct.unpack_from("<I", data, 12)[0]
    document = json.loads(data[20:20 + json_length])
    binary = data[20 + json_length + 8:]
    accessor = document["accessors"][
        document["meshes"][0]["primitives"][0]["attributes"][name]]
    view = document["bufferViews"][accessor["bufferView"]]
    width = {"SCALAR": 1, "VEC2": 2, "VEC3": 3}[accessor["type"]]
    values = np.frombuffer(binary, dtype="<f4", count=width *
                           accessor["count"], offset=view.get("byteOffset", 0))
    return values.reshape(accessor["count"], width)


def test_ply_and_gltf_atlases_are_the_mesh_split_along_its_seams(
        tmp_path, tessaplan):
    meshio = pytest.importorskip("meshio")
    source = EXAMPLE
    points = np.array([[float(x) for x in line.split()[1:4]]
                       for line in source.read_text().splitlines()
                       if line.startswith("v ")])
    for name in ("atlas.ply", "atlas.glb"):
        result = tessaplan("atlas", source, "-o", tmp_path / name)
        assert result.returncode == 0, result.stderr
    split = meshio.read(tmp_path / "atlas.ply")
    original = split.point_data["original_index"].astype(int)
    # Every written vertex is an input vertex, every input vertex is
    # written, seam vertices once per chart.
    np.testing.assert_array_equal(split.points, points[original])
    assert set(original) == set(range(len(points)))
    assert len(split.points) > len(points)
    triangles = split.cells[0].data
    assert len(triangles) == 5120
    uv = np.column_stack([split.point_data["s"], split.point_data["t"]])
    assert ((uv >= 0) & (uv <= 1)).all()
    # The GLB holds the same vertices, glTF's v pointing down.
    np.testing.assert_array_equal(
        glb_attribute(tmp_path / "atlas.glb", "_ORIGINAL_INDEX")[:, 0],
        original.astype(np.float32))
    gltf_uv = glb_attribute(tmp_path / "atlas.glb", "TEXCOORD_0")
    np.testing.assert_allclose(gltf_uv[:, 0], uv[:, 0], rtol=0, atol=1e-7)
    np.testing.assert_allclose(gltf_uv[:, 1], 1 - uv[:, 1], rtol=0, atol=1e-7)


def test_slivers_of_a_cad_export_get_an_atlas_and_no_distortion(tmp_path,
                                                                 tessaplan):
    # A closed box whose top front edge carries vertices nudged off it by
    # 1e-20: slivers beside triangles of area 15.
    points = [(0, 0, 0), (6, 0, 0), (6, 5, 0), (0, 5, 0),
              (0, 0, 1), (6, 0, 1), (6, 5, 1), (0, 5, 1)]
    points += [(6 * k / 7, 1e-20 * (k % 2), 1) for k in range(1, 7)]
    faces = [[0, 3, 2], [0, 2, 1], [1, 2, 6], [1, 6, 5], [2, 3, 7],
             [2, 7, 6], [3, 0, 4], [3, 4, 7]]
    top = [8, 9, 10, 11, 12, 13, 5, 6, 7]
    faces += [[4, a, b] for a, b in zip(top, top[1:])]
    front = [0, 1, 5, 13, 12, 11, 10, 9, 8, 4]
    faces += [[0, a, b] for a, b in zip(front[1:], front[2:])]
    source = tmp_path / "part.obj"
    source.write_text("".join("v %r %r %r\n" % p for p in points) +
                      "".join("f %d %d %d\n" % tuple(v + 1 for v in f)
                              for f in faces))
    result = tessaplan("atlas", source, "-o", tmp_path / "out.obj", "--json")
    assert result.returncode == 0, result.stderr
    report = json.loads(result.stdout)
    assert report["degenerate_triangles"] == 6
    assert report["flipped_triangles"] == 0
    # The slivers' needles are left out of the distortion figures.
    assert report["conformal_distortion"]["max"] < 1.15
    assert report["area_distortion"]["max"] < 2


def test_atlas_report_has_the_common_keys_of_flatten(tmp_path, tessaplan):
    source = tmp_path / "grid.obj"
    write_obj(source, *wavy_grid())
    reports = {}
    for command in ("flatten", "atlas"):
        result = tessaplan(command, source, "-o", tmp_path / (command + ".obj"),
                           "--svg", tmp_path / (command + ".svg"), "--json")
        assert result.returncode == 0, result.stderr
        reports[command] = json.loads(result.stdout)
    common = {"input", "output", "svg", "png", "format", "single_precision",
              "transforms_applied", "joined_vertices", "vertices",
              "triangles", "warnings", "seconds"}
    assert common <= set(reports["flatten"]) & set(reports["atlas"])
    assert reports["atlas"]["svg"].endswith("atlas.svg")
    assert reports["atlas"]["png"] is None
    for key in ("format", "vertices", "triangles", "joined_vertices"):
        assert reports["atlas"][key] == reports["flatten"][key]


ENGINE = pathlib.Path("/usr/share/assimp/models/glTF2/"
                      "2CylinderEngine-glTF-Binary/2CylinderEngine.glb")


@pytest.mark.skipif(not ENGINE.exists(),
                    reason="Debian's assimp-testmodels is not installed")
@pytest.mark.parametrize("resolution", [512, 1024])
def test_charts_that_placing_breaks_are_split_not_refused(tmp_path, tessaplan,
                                                          resolution):
    # A CAD engine of 116k triangles: placing some of its charts in the
    # square (scaling and moving them) made two of their nearly touching
    # triangles overlap, and the atlas was refused.
    result = tessaplan("atlas", ENGINE, "-o", tmp_path / "engine.glb",
                       "--resolution", resolution, "--json")
    assert result.returncode == 0, result.stderr
    report = json.loads(result.stdout)
    assert report["overlapping_pairs"] == 0
    assert report["flipped_triangles"] == 0
