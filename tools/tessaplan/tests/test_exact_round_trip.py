"""Vertices, coordinates and faces come back from every exactly read format
as the file gave them, and the outputs read back in other programs."""

import json
import struct

import numpy as np
import pytest

from mesh_files import read_obj

# A 3 x 2 quad strip over a wavy surface, with 17-digit coordinates, the
# middle column stored twice (a seam at the same positions) and one vertex
# no face uses; faces are quads and a triangle split of the last quad.
_RNG = np.random.default_rng(7)
_GRID = [(x + _RNG.uniform(-0.1, 0.1), y + _RNG.uniform(-0.1, 0.1),
          0.1 * np.sin(3 * x) + _RNG.uniform(0, 1e-3))
         for y in (0.0, 1.0, 2.0) for x in (0.0, 1.0, 2.0)]
POINTS = [tuple(float("%.17g" % c) for c in p) for p in _GRID]
POINTS += [POINTS[1], POINTS[4], POINTS[7]]       # 9, 10, 11: the seam
POINTS.insert(6, (0.75, 0.75, 0.0))               # 6: used by no face
# With the unused vertex at 6, grid vertices 6.. move up by one.
G = [0, 1, 2, 3, 4, 5, 7, 8, 9]
FACES = [[G[0], G[1], G[4], G[3]],
         [G[3], G[4], G[7], G[6]],
         [10, G[2], G[5], 11],
         [11, G[5], G[8]], [11, G[8], 12]]


def number(value):
    return "%.17g" % value


def obj_text():
    # The second face with relative indices: -k is the k-th last vertex
    # given so far, and only the grid's first 9 + 1 vertices come first.
    lines = ["v %s %s %s" % tuple(map(number, p)) for p in POINTS[:10]]
    lines.append("f %d %d %d %d" % tuple(v + 1 for v in FACES[0]))
    lines.append("f %d %d %d %d" % tuple(v - 10 for v in FACES[1]))
    lines += ["v %s %s %s" % tuple(map(number, p)) for p in POINTS[10:]]
    lines += ["f " + " ".join("%d/1" % (v + 1) for v in face)
              for face in FACES[2:]]
    return "vt 0 0\n" + "\n".join(lines) + "\n"


def off_text():
    lines = ["OFF", "%d %d 0" % (len(POINTS), len(FACES))]
    lines += ["%s %s %s" % tuple(map(number, p)) for p in POINTS]
    lines += ["%d %s" % (len(f), " ".join(map(str, f))) for f in FACES]
    return "\n".join(lines) + "\n"


def off_coloured_text(keyword):
    # Text OFF whose vertices carry colours (and normals with CNOFF), a
    # comment among them, and faces with colours of their own.
    normal = " 0 0 1" if "N" in keyword else ""
    lines = [keyword, "%d %d 0" % (len(POINTS), len(FACES))]
    lines += ["%s %s %s%s 200 100 50 255" % (tuple(map(number, p)) + (normal,))
              for p in POINTS]
    lines.insert(4, "# a comment")
    lines += ["%d %s 0.9 0.1 0" % (len(f), " ".join(map(str, f)))
              for f in FACES]
    return "\n".join(lines) + "\n"


def ply_binary(order):
    header = ("ply\nformat binary_%s_endian 1.0\nelement vertex %d\n"
              "property double x\nproperty double y\nproperty double z\n"
              "element face %d\nproperty list uchar int vertex_indices\n"
              "end_header\n" % ("little" if order == "<" else "big",
                                len(POINTS), len(FACES))).encode()
    body = b"".join(struct.pack(order + "3d", *p) for p in POINTS)
    body += b"".join(struct.pack(order + "B%di" % len(f), len(f), *f)
                     for f in FACES)
    return header + body


INPUTS = {
    "obj": ("in.obj", obj_text()),
    "off": ("in.off", off_text()),
    "off-colours": ("in.off", off_coloured_text("COFF")),
    "off-normals-colours": ("in.off", off_coloured_text("CNOFF")),
    "ply-little": ("in.ply", ply_binary("<")),
    "ply-big": ("in.ply", ply_binary(">")),
}


def run(tessaplan, source, *options):
    result = tessaplan("flatten", source, "--json", *options)
    assert result.returncode == 0, result.stderr
    return json.loads(result.stdout)


def write_input(tmp_path, kind):
    name, content = INPUTS[kind]
    path = tmp_path / name
    if isinstance(content, bytes):
        path.write_bytes(content)
    else:
        path.write_text(content)
    return path


@pytest.mark.parametrize("kind", sorted(INPUTS))
def test_file_vertices_and_faces_come_back_unchanged(tmp_path, tessaplan,
                                                     kind):
    source = write_input(tmp_path, kind)
    report = run(tessaplan, source, "-o", tmp_path / "out.obj")
    assert report["vertices"] == len(POINTS)
    assert report["joined_vertices"] == 0
    assert report["format"] == kind[:3].upper()
    # Quads split in two, triangles kept.
    assert report["triangles"] == 2 * 3 + 2
    vertices, texture, faces = read_obj(tmp_path / "out.obj")
    assert vertices == POINTS  # exact doubles, in order
    assert len(texture) == len(POINTS)
    assert [[v for v, _ in face] for face in faces] == FACES
    assert all(v == t for face in faces for v, t in face)


@pytest.mark.parametrize("kind", sorted(INPUTS))
def test_weld_joins_only_equal_positions(tmp_path, tessaplan, kind):
    source = write_input(tmp_path, kind)
    seams = run(tessaplan, source, "-o", tmp_path / "seams.obj")
    welded = run(tessaplan, source, "-o", tmp_path / "welded.obj", "--weld")
    # The duplicated column is a seam: two pieces until joined.
    assert welded["joined_vertices"] == 3
    assert welded["vertices"] == len(POINTS) - 3
    assert welded["border_edges"] < seams["border_edges"]
    vertices, _, faces = read_obj(tmp_path / "welded.obj")
    joined = {10: 1, 11: 4, 12: 8}
    welded_faces = [[joined.get(v, v) for v in face] for face in FACES]
    if kind == "obj":
        # OBJ in, OBJ out keeps the file's vertices and faces; the texture
        # coordinates are those of the joined vertices.
        assert vertices == POINTS
        assert [[v for v, _ in face] for face in faces] == FACES
        assert [[t for _, t in face] for face in faces] == welded_faces
    else:
        assert vertices == POINTS[:10]
        assert [[v for v, _ in face] for face in faces] == welded_faces


def test_ply_output_reads_back_in_meshio(tmp_path, tessaplan):
    meshio = pytest.importorskip("meshio")
    source = write_input(tmp_path, "obj")
    run(tessaplan, source, "-o", tmp_path / "out.obj")
    run(tessaplan, source, "-o", tmp_path / "out.ply")
    _, texture, _ = read_obj(tmp_path / "out.obj")
    mesh = meshio.read(tmp_path / "out.ply")
    assert mesh.points.dtype == np.float64
    assert mesh.points.tolist() == [list(p) for p in POINTS]
    # Named s and t, the names Blender's and three.js's PLY readers take.
    uv = np.column_stack([mesh.point_data["s"], mesh.point_data["t"]])
    assert uv.tolist() == [list(t) for t in texture]
    cells = {block.type: block.data.tolist() for block in mesh.cells}
    assert cells == {"quad": FACES[:3], "triangle": FACES[3:]}


def test_flat_output_holds_the_flattening_as_positions(tmp_path, tessaplan):
    source = write_input(tmp_path, "off")
    run(tessaplan, source, "-o", tmp_path / "out.obj")
    run(tessaplan, source, "-o", tmp_path / "flat.obj", "--flat")
    _, texture, _ = read_obj(tmp_path / "out.obj")
    flat, flat_texture, faces = read_obj(tmp_path / "flat.obj")
    assert flat_texture == []
    assert flat == [(u, v, 0.0) for u, v in texture]
    assert [[v for v, t in face] for face in faces] == FACES
    assert all(t is None for face in faces for _, t in face)


@pytest.mark.parametrize("name", ["out.gltf", "out.glb"])
def test_gltf_output_is_recognised_as_input_by_content(tmp_path, tessaplan,
                                                       name):
    source = write_input(tmp_path, "obj")
    run(tessaplan, source, "-o", tmp_path / name, "--weld")
    # Read back with tinygltf, GLB even without the extension.
    renamed = tmp_path / "mesh.bin"
    renamed.write_bytes((tmp_path / name).read_bytes())
    report = run(tessaplan, renamed if name.endswith(".glb")
                 else tmp_path / name, "-o", tmp_path / "again.obj")
    assert report["single_precision"] is True
    assert report["format"] == "glTF"
    assert report["vertices"] == len(POINTS) - 3
    assert report["triangles"] == 2 * 3 + 2
    vertices, _, _ = read_obj(tmp_path / "again.obj")
    np.testing.assert_array_equal(
        vertices, np.array(POINTS[:10], dtype=np.float32))


def glb_texture_coordinates(path):
    """TEXCOORD_0 of the first primitive of a GLB file, read from its JSON
    and binary chunks, as the GLB container lays them out."""
    data = path.read_bytes()
    json_length = struct.unpack_from("<I", data, 12)[0]
    document = json.loads(data[20:20 + json_length])
    binary = data[20 + json_length + 8:]
    accessor = document["accessors"][
        document["meshes"][0]["primitives"][0]["attributes"]["TEXCOORD_0"]]
    view = document["bufferViews"][accessor["bufferView"]]
    start = view.get("byteOffset", 0) + accessor.get("byteOffset", 0)
    values = np.frombuffer(binary, dtype="<f4", count=2 * accessor["count"],
                           offset=start)
    return values.reshape(-1, 2)


def test_gltf_texture_coordinates_follow_gltfs_convention(tmp_path,
                                                          tessaplan):
    # glTF's texture space starts at the image's top left, OBJ's at its
    # bottom left: the GLB holds (u, 1 - v) of the OBJ's vt of one run.
    source = write_input(tmp_path, "obj")
    run(tessaplan, source, "-o", tmp_path / "out.obj", "--normalize")
    run(tessaplan, source, "-o", tmp_path / "out.glb", "--normalize")
    _, texture, _ = read_obj(tmp_path / "out.obj")
    expected = np.array([(u, 1.0 - v) for u, v in texture], dtype=np.float32)
    np.testing.assert_array_equal(glb_texture_coordinates(tmp_path / "out.glb"),
                                  expected)
