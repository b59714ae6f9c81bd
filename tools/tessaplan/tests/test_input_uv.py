"""The input's own texture coordinates: --seams-from-uv cuts where they are
discontinuous, and atlas --charts-from-uv keeps their islands as the
charts."""

import json
import math

import numpy as np
import pytest

import gltf_files
import mesh_files
from mesh_files import read_obj


def capped_tube(columns=12, rows=4):
    """A closed tube with a fan cap at each end, and texture coordinates
    in three islands: the side unrolled (a vt column repeated along the
    generator i = 0) and each cap laid as a disc. Returns the points and
    the faces as lists of (v, vt) pairs, and the texture coordinates."""
    points, uv, faces = [], [], []
    for j in range(rows + 1):
        for i in range(columns):
            angle = 2 * math.pi * i / columns
            points.append((math.cos(angle), math.sin(angle), 0.5 * j))
    for j in range(rows + 1):
        for i in range(columns + 1):
            uv.append((i / columns, 0.2 * j / rows))
    for j in range(rows):
        for i in range(columns):
            a, b = j * columns + i, j * columns + (i + 1) % columns
            ta = j * (columns + 1) + i
            faces.append([(a, ta), (b, ta + 1),
                          (b + columns, ta + columns + 2),
                          (a + columns, ta + columns + 1)])
    for ring, z, centre_v in ((0, 0.0, 0.3), (rows, 0.5 * rows, 0.7)):
        centre = len(points)
        points.append((0.0, 0.0, z))
        first_uv = len(uv)
        uv.append((0.5, centre_v))
        for i in range(columns):
            angle = 2 * math.pi * i / columns
            uv.append((0.5 + 0.1 * math.cos(angle),
                       centre_v + 0.1 * math.sin(angle)))
        for i in range(columns):
            a = ring * columns + i
            b = ring * columns + (i + 1) % columns
            ua, ub = first_uv + 1 + i, first_uv + 1 + (i + 1) % columns
            corners = [(centre, first_uv), (a, ua), (b, ub)]
            faces.append(corners if ring else corners[::-1])
    return np.array(points), faces, uv


def write_obj_with_uv(path, points, faces, uv):
    with open(path, "w") as out:
        for p in points:
            out.write("v %r %r %r\n" % tuple(p))
        for t in uv:
            out.write("vt %r %r\n" % tuple(t))
        for face in faces:
            out.write("f %s\n" % " ".join("%d/%d" % (v + 1, t + 1)
                                          for v, t in face))


def islands(faces):
    """Per face, its island: faces joined through shared texture
    coordinate records along an edge, numbered by their first face."""
    parent = list(range(len(faces)))

    def find(f):
        while parent[f] != f:
            parent[f] = parent[parent[f]]
            f = parent[f]
        return f

    edges = {}
    for f, face in enumerate(faces):
        for (a, ta), (b, tb) in zip(face, face[1:] + face[:1]):
            key = (min(a, b), max(a, b), frozenset((ta, tb)))
            if key in edges:
                parent[find(f)] = find(edges[key])
            edges[key] = f
    roots = [find(f) for f in range(len(faces))]
    numbers = {}
    return [numbers.setdefault(root, len(numbers)) for root in roots]


def rectangle_sides(points):
    """The sides of the smallest rectangle around the points, in any
    direction: one of its sides lies along a line through two of them (the
    packing may turn a chart by any angle)."""
    best = None
    for a in range(len(points)):
        for b in range(a + 1, len(points)):
            along = points[b] - points[a]
            length = np.hypot(*along)
            if length == 0:
                continue
            frame = np.array([along, (-along[1], along[0])]) / length
            sides = np.ptp(points @ frame.T, axis=0)
            if best is None or sides[0] * sides[1] < best[0] * best[1]:
                best = sides
    return best


def run_json(tessaplan, command, source, *options):
    result = tessaplan(command, source, "--json", *options)
    assert result.returncode == 0, result.stderr
    return json.loads(result.stdout)


def test_charts_from_uv_keep_exactly_the_input_islands(tmp_path, tessaplan):
    points, faces, uv = capped_tube()
    source = tmp_path / "tube.obj"
    write_obj_with_uv(source, points, faces, uv)
    target = tmp_path / "atlas.obj"
    report = run_json(tessaplan, "atlas", source, "-o", target,
                      "--charts-from-uv")
    assert report["charts"] == 3
    assert report["chart_sources"]["given"] == 3
    assert report["flipped_triangles"] == 0
    assert report["overlapping_pairs"] == 0
    # The seam along the generator and the two rims.
    assert report["seam_edges"] == 4 + 2 * 12
    written, written_uv, written_faces = read_obj(target)
    assert len(written_faces) == len(faces)
    assert islands(written_faces) == islands(faces)
    # Flattened again: the side is developable, so it is a rectangle of its
    # true proportions (the 12 chords round by 2 up), whatever the input's
    # were (1 by 0.2).
    side = [written_uv[t] for face, number in
            zip(written_faces, islands(faces)) if number == 0
            for _, t in face]
    width, height = rectangle_sides(np.array(side)[:, :2])
    assert max(width, height) / min(width, height) == \
        pytest.approx(12 * math.sin(math.pi / 12), rel=1e-6)
    # Written as PLY (split along the seams, with s and t per vertex) and
    # read back joined, the atlas gives the same islands.
    run_json(tessaplan, "atlas", source, "-o", tmp_path / "atlas.ply",
             "--charts-from-uv")
    again = run_json(tessaplan, "atlas", tmp_path / "atlas.ply", "--weld",
                     "-o", tmp_path / "again.obj", "--charts-from-uv")
    assert again["charts"] == 3 and again["seam_edges"] == 4 + 2 * 12
    _, _, again_faces = read_obj(tmp_path / "again.obj")
    # PLY holds triangles: the side's 48 quads are 96 of them.
    triangles_per_island = np.bincount(
        islands(faces), weights=[len(face) - 2 for face in faces])
    assert sorted(np.bincount(islands(again_faces))) == \
        sorted(triangles_per_island)


def test_seams_from_uv_open_a_closed_surface(tmp_path, tessaplan):
    points, faces, uv = capped_tube()
    source = tmp_path / "tube.obj"
    write_obj_with_uv(source, points, faces, uv)
    assert tessaplan("flatten", source, "-o",
                     tmp_path / "whole.obj").returncode == 5
    report = run_json(tessaplan, "flatten", source, "-o",
                      tmp_path / "cut.obj", "--seams-from-uv")
    assert report["pieces"]["count"] == 3
    assert report["flipped_triangles"] == 0
    _, _, written_faces = read_obj(tmp_path / "cut.obj")
    assert islands(written_faces) == islands(faces)
    # The atlas ends charts at the same seams, and may add its own.
    atlas = run_json(tessaplan, "atlas", source, "-o", tmp_path / "a.obj",
                     "--seams-from-uv")
    assert atlas["charts"] >= 3
    _, _, atlas_faces = read_obj(tmp_path / "a.obj")
    # No chart crosses an island's border.
    given_of_chart = {}
    for chart, given in zip(islands(atlas_faces), islands(faces)):
        assert given_of_chart.setdefault(chart, given) == given


def gltf_tube(columns=12, rows=3):
    """A closed tube as one glTF primitive whose vertices along the
    generator i = 0 are split in two, with u = 0 and u = 1: joined by
    position, the tube is closed, and its TEXCOORD_0 has a seam there."""
    points, texcoords = [], []
    for j in range(rows + 1):
        for i in range(columns + 1):
            angle = 2 * math.pi * (i % columns) / columns
            points.append((math.cos(angle), math.sin(angle), 0.5 * j))
            texcoords.append((i / columns, j / rows))
    triangles = []
    for j in range(rows):
        for i in range(columns):
            a = j * (columns + 1) + i
            triangles += [(a, a + 1, a + columns + 2),
                          (a, a + columns + 2, a + columns + 1)]

    def primitives(builder):
        primitive = gltf_files.mesh_primitive(builder, points, triangles)
        primitive["attributes"]["TEXCOORD_0"] = builder.accessor(
            np.array(texcoords), "VEC2")
        return [primitive]

    return gltf_files.single_mesh_scene(primitives)


def test_gltf_texcoords_seams_are_kept(tmp_path, tessaplan):
    source = tmp_path / "tube.gltf"
    gltf_files.write_gltf(source, gltf_tube())
    target = tmp_path / "atlas.glb"
    report = run_json(tessaplan, "atlas", source, "-o", target,
                      "--charts-from-uv")
    assert report["joined_vertices"] == 4
    assert report["charts"] == 1
    assert report["seam_edges"] == 3
    flat = run_json(tessaplan, "flatten", source, "-o",
                    tmp_path / "flat.obj", "--seams-from-uv")
    assert flat["pieces"]["count"] == 1
    assert flat["flipped_triangles"] == 0


def test_texture_coordinates_that_cannot_serve_or_lay_flat(tmp_path, tessaplan):
    # No texture coordinates at all.
    points, faces = mesh_files.wavy_grid()
    plain = tmp_path / "plain.off"
    mesh_files.write_off(plain, points, faces)
    for command, option in (("flatten", "--seams-from-uv"),
                            ("atlas", "--charts-from-uv")):
        result = tessaplan(command, plain, option)
        assert result.returncode == 4
        assert "has no texture coordinates" in result.stderr
    # One vt per vertex on a closed octahedron: one closed island, which no
    # map lays flat whole, so it is cut as the atlas cuts.
    octahedron = tmp_path / "octahedron.obj"
    points, faces = mesh_files.octahedron()
    write_obj_with_uv(octahedron, points,
                      [[(v, v) for v in face] for face in faces],
                      [(p[0], p[1]) for p in points])
    report = run_json(tessaplan, "atlas", octahedron, "-o",
                      tmp_path / "octahedron-atlas.obj", "--charts-from-uv")
    assert report["chart_sources"]["given"] == 0
    assert report["chart_sources"]["cut"] == report["charts"] >= 2
    assert report["flipped_triangles"] == 0
    # A face that gives texture coordinates on some corners only, and a vt
    # that does not exist.
    for face_line in ("f 1/1 2 3/3", "f 1/1 2/9 3/3"):
        broken = tmp_path / "broken.obj"
        broken.write_text("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\n"
                          "vt 0 1\n" + face_line + "\n")
        result = tessaplan("atlas", broken, "--charts-from-uv")
        assert result.returncode == 4, result.stderr
    # Options that do not go together.
    seams = tmp_path / "seams.txt"
    seams.write_text("0 1\n")
    for args in (("atlas", octahedron, "--charts-from-uv", "--seams", seams),
                 ("atlas", octahedron, "--charts-from-uv", "--seams-from-uv"),
                 ("flatten", octahedron, "--charts-from-uv"),
                 ("flatten", octahedron, "--seams-from-uv", "--flat")):
        assert tessaplan(*args).returncode == 2
