"""OBJ in, OBJ out: the input's scene (normals, materials, objects, groups,
smoothing groups, comments) stays in place, with the flattening or the
atlas as its texture coordinates."""

import json

import numpy as np
import pytest

from mesh_files import read_obj, wavy_grid

TEXTURE_COMMENT = "# texture coordinates by tessaplan"


def torus_quads(rings=8, segments=12, major=2.0, minor=0.7):
    points = []
    for i in range(rings):
        a = 2 * np.pi * i / rings
        for j in range(segments):
            b = 2 * np.pi * j / segments
            points.append(((major + minor * np.cos(b)) * np.cos(a),
                           (major + minor * np.cos(b)) * np.sin(a),
                           minor * np.sin(b)))
    faces = []
    for i in range(rings):
        for j in range(segments):
            def v(ii, jj):
                return (ii % rings) * segments + jj % segments
            faces.append([v(i, j), v(i + 1, j), v(i + 1, j + 1), v(i, j + 1)])
    return np.array(points), faces


def scene_lines(points, faces, crlf=False):
    """An exported scene: mtllib, objects, groups, materials, smoothing
    groups, per-vertex normals, an old texture coordinate, the second half
    of the faces with relative references."""
    n = len(points)
    lines = ["# exported scene", "mtllib parts.mtl", "o Part"]
    lines += ["v %r %r %r" % tuple(float(c) for c in p) for p in points]
    lines += ["vn 0 0 %d" % (1 + k) for k in range(n)]
    lines += ["vt 0.25 0.75"]
    half = len(faces) // 2
    lines += ["g first", "usemtl red", "s 1"]
    lines += ["f " + " ".join("%d/1/%d" % (v + 1, v + 1) for v in face)
              for face in faces[:half]]
    lines += ["g second", "usemtl blue", "s off"]
    lines += ["f " + " ".join("%d/1/%d" % (v - n, v + 1) for v in face)
              for face in faces[half:]]
    lines += ["# end"]
    return "".join(line + ("\r\n" if crlf else "\n") for line in lines)


def is_texture_or_face(line):
    return line.startswith(("vt ", "f ")) or line == TEXTURE_COMMENT


def faces_of(lines, nb_vertices):
    """Per "f" line, per corner: (vertex, texture point, normal), vertices
    made absolute and 0-based."""
    faces = []
    for line in lines:
        if not line.startswith("f "):
            continue
        corners = []
        for token in line.split()[1:]:
            v, vt, vn = token.split("/")
            v = int(v)
            corners.append((v - 1 if v > 0 else nb_vertices + v,
                            int(vt) - 1 if vt else None, int(vn) - 1))
        faces.append(corners)
    return faces


def texture_points(lines):
    return [tuple(float(x) for x in line.split()[1:])
            for line in lines if line.startswith("vt ")]


@pytest.mark.parametrize("crlf", [False, True])
def test_flatten_keeps_the_scene_and_agrees_with_the_flat_output(
        tessaplan, tmp_path, crlf):
    points, faces = wavy_grid(5, 4, quads=True)
    source = tmp_path / "scene.obj"
    source.write_bytes(scene_lines(points, faces, crlf).encode())
    result = tessaplan("flatten", source, "-o", tmp_path / "out.obj")
    assert result.returncode == 0, result.stderr
    flat = tessaplan("flatten", source, "-o", tmp_path / "flat.obj", "--flat")
    assert flat.returncode == 0, flat.stderr

    before = source.read_text().splitlines()
    after = (tmp_path / "out.obj").read_text().splitlines()
    kept = [line for line in after if not is_texture_or_face(line)]
    assert kept == [line for line in before if not is_texture_or_face(line)]
    first_face = next(k for k, line in enumerate(after)
                      if line.startswith("f "))
    assert after.index(TEXTURE_COMMENT) == first_face - 1 - len(points)

    original = faces_of(before, len(points))
    written = faces_of(after, len(points))
    assert [[(v, vn) for v, _, vn in f] for f in written] == \
        [[(v, vn) for v, _, vn in f] for f in original]
    # The written faces keep their references as given, relative ones too.
    assert after[-2].split()[1].startswith("-")

    # Each corner's texture point is the flat output's vertex of that
    # corner, written by the other writer.
    flat_vertices, _, flat_faces = read_obj(tmp_path / "flat.obj")
    uv = texture_points(after)
    for face, flat_face in zip(written, flat_faces):
        for (_, vt, _), (fv, _) in zip(face, flat_face):
            assert uv[vt] == flat_vertices[fv][:2]


def test_atlas_keeps_the_scene_and_splits_faces_only_along_seams(
        tessaplan, tmp_path):
    points, faces = torus_quads()
    source = tmp_path / "torus.obj"
    source.write_text(scene_lines(points, faces))
    result = tessaplan("atlas", source, "-o", tmp_path / "atlas.obj",
                       "--json")
    assert result.returncode == 0, result.stderr
    report = json.loads(result.stdout)

    before = source.read_text().splitlines()
    after = (tmp_path / "atlas.obj").read_text().splitlines()
    assert [line for line in after if not is_texture_or_face(line)] == \
        [line for line in before if not is_texture_or_face(line)]
    written = faces_of(after, len(points))
    uv = np.array(texture_points(after))
    assert ((uv >= 0) & (uv <= 1)).all()

    # Every input quad comes back whole or as its two triangles, with the
    # normal of each corner still the one of its vertex.
    triangles = [len(face) - 2 for face in written]
    assert sum(triangles) == 2 * len(faces)
    assert triangles.count(1) == 2 * report["faces_split_at_seams"]
    for face in written:
        assert all(vn == v for v, _, vn in face)
        for k in range(1, len(face) - 1):
            a, b, c = (uv[face[i][1]] for i in (0, k, k + 1))
            area = (b - a)[0] * (c - a)[1] - (b - a)[1] * (c - a)[0]
            assert area > 0
    assert triangles.count(1) > 0


def test_faces_without_texture_keep_their_normals(tessaplan, tmp_path):
    source = tmp_path / "degenerate.obj"
    source.write_text("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0.2\nvn 0 0 1\n"
                      "f 1//1 2//1 3//1\nf 1//1 3//1 4//1\n"
                      "f 1//1 1//1 2//1\nf 3//1 4//1\n")
    result = tessaplan("atlas", source, "-o", tmp_path / "out.obj")
    assert result.returncode == 0, result.stderr
    lines = (tmp_path / "out.obj").read_text().splitlines()
    assert "f 1//1 1//1 2//1" in lines
    assert "f 3//1 4//1" in lines


def test_tab_separated_corners_are_read_and_written_whole(tessaplan,
                                                          tmp_path):
    points, faces = wavy_grid(4, 3, quads=True)
    spaced = scene_lines(points, faces)
    tabbed = "\n".join(line.replace(" ", "\t") if line.startswith("f ")
                       else line for line in spaced.splitlines()) + "\n"
    reports = []
    for name, text in (("spaced", spaced), ("tabbed", tabbed)):
        source = tmp_path / (name + ".obj")
        source.write_text(text)
        result = tessaplan("flatten", source, "-o",
                           tmp_path / (name + "-out.obj"), "--json")
        assert result.returncode == 0, result.stderr
        reports.append(json.loads(result.stdout)["triangles"])
    assert reports == [2 * len(faces)] * 2
    written = faces_of((tmp_path / "tabbed-out.obj").read_text()
                       .splitlines(), len(points))
    assert [len(face) for face in written] == [4] * len(faces)
