"""glTF in, glTF out: the input's document is kept whole (nodes, names,
materials, other attributes, extras, extensions) and gains the map as a
texture coordinate set; the atlas splits each primitive along its seams."""

import base64

import numpy as np
import pytest

import gltf_files
import mesh_files
from gltf_files import Document
from mesh_files import read_obj


def run(tessaplan, *arguments):
    result = tessaplan(*arguments)
    assert result.returncode == 0, result.stderr
    return result


def world_positions(document, node_index, mesh=None):
    node = document.json["nodes"][node_index]
    mesh = node["mesh"] if mesh is None else mesh
    points = document.attribute("POSITION", mesh)
    matrix = gltf_files.trs_matrix(node)
    return points @ matrix[:3, :3].T + matrix[:3, 3]


def assert_scene_kept(written, source):
    """Everything of `source` but meshes, accessors, views and buffers is
    written as it was; each mesh keeps its name, material and normals."""
    for key in ("asset", "scene", "scenes", "nodes", "materials",
                "extensionsUsed"):
        if key == "nodes":
            for node, original in zip(written.json["nodes"], source["nodes"]):
                assert {k: v for k, v in node.items() if k != "mesh"} == \
                    {k: v for k, v in original.items() if k != "mesh"}
        else:
            assert written.json[key] == source[key], key
    assert written.json["materials"][0]["extensions"] == {
        "VENDOR_made_up": {"answer": 42}}
    for mesh in written.json["meshes"]:
        assert mesh["name"] == "wavy"
        assert mesh["primitives"][0]["material"] == 0


@pytest.mark.parametrize("name", ["flat.gltf", "flat.glb"])
def test_flatten_keeps_the_document_and_adds_each_vertexs_map(tmp_path,
                                                              tessaplan, name):
    source = tmp_path / "scene.gltf"
    document = gltf_files.two_node_scene()
    gltf_files.write_gltf(source, document)
    run(tessaplan, "flatten", source, "-o", tmp_path / name)
    run(tessaplan, "flatten", source, "-o", tmp_path / "flat.obj")
    written = Document(tmp_path / name)
    assert_scene_kept(written, document)
    # The two nodes' UVs differ: the second node has a copy of the mesh.
    meshes = [node["mesh"] for node in written.json["nodes"]]
    assert sorted(meshes) == [0, 1]
    original = Document(source)
    vertices, texture, faces = read_obj(tmp_path / "flat.obj")
    uv_of = {}
    for face in faces:
        for v, t in face:
            uv_of[vertices[v]] = texture[t]
    for node in range(2):
        mesh = meshes[node]
        np.testing.assert_array_equal(written.attribute("NORMAL", mesh),
                                      original.attribute("NORMAL"))
        np.testing.assert_array_equal(written.attribute("POSITION", mesh),
                                      original.attribute("POSITION"))
        uv = written.attribute("TEXCOORD_0", mesh)
        # Each vertex's UV is that of its surface vertex, as the OBJ of
        # the same run gives it, (u, 1 - v).
        placed = world_positions(written, node)
        for point, (u, v) in zip(placed, uv):
            nearest = min(uv_of, key=lambda p: np.abs(np.subtract(p, point))
                          .max())
            assert np.abs(np.subtract(nearest, point)).max() < 1e-5
            expected = uv_of[nearest]
            assert u == pytest.approx(expected[0], abs=1e-6)
            assert v == pytest.approx(1 - expected[1], abs=1e-6)


def assert_split_from(written, original, mesh, node_triangles):
    """The primitive of `mesh` is `original`'s split: every vertex an
    original one (POSITION, NORMAL equal), every triangle an original
    one."""
    index = written.attribute("_ORIGINAL_INDEX", mesh)[:, 0].astype(int)
    for name in ("POSITION", "NORMAL"):
        np.testing.assert_array_equal(written.attribute(name, mesh),
                                      original.attribute(name)[index])
    triangles = index[written.triangles(mesh)]
    assert sorted(map(tuple, triangles)) == sorted(map(tuple, node_triangles))
    uv = written.attribute("TEXCOORD_0", mesh)
    assert ((uv >= 0) & (uv <= 1)).all()
    assert written.primitive(mesh)["mode"] == 4
    return index


@pytest.mark.parametrize("name", ["atlas.gltf", "atlas.glb"])
def test_atlas_splits_each_node_instance_and_keeps_the_document(
        tmp_path, tessaplan, name):
    source = tmp_path / "scene.gltf"
    document = gltf_files.two_node_scene()
    gltf_files.write_gltf(source, document)
    run(tessaplan, "atlas", source, "-o", tmp_path / name)
    written = Document(tmp_path / name)
    original = Document(source)
    assert_scene_kept(written, document)
    meshes = [node["mesh"] for node in written.json["nodes"]]
    assert sorted(meshes) == [0, 1]
    for mesh in meshes:
        assert_split_from(written, original, mesh, original.triangles())


def closed_scene():
    def primitives(builder):
        points, faces = mesh_files.octahedron()
        return [gltf_files.mesh_primitive(builder, points, faces)]
    return gltf_files.single_mesh_scene(primitives)


def test_seam_vertices_are_copied_with_their_attributes(tmp_path, tessaplan):
    # A closed surface must be cut: its seam vertices are written once per
    # chart, each copy with the vertex's position and normal.
    source = tmp_path / "closed.glb"
    document = closed_scene()
    gltf_files.write_gltf(tmp_path / "closed.gltf", document)
    run(tessaplan, "atlas", tmp_path / "closed.gltf", "-o", source)
    written = Document(source)
    original = Document(tmp_path / "closed.gltf")
    index = assert_split_from(written, original, 0, original.triangles())
    assert len(index) > len(original.attribute("POSITION"))
    assert set(index) == set(range(len(original.attribute("POSITION"))))
    # A seam vertex's copies are at one position, with different UVs.
    uv = written.attribute("TEXCOORD_0")
    copies = [np.flatnonzero(index == v) for v in set(index)]
    split = [c for c in copies if len(c) > 1]
    assert split
    for c in split:
        assert len({tuple(uv[k]) for k in c}) == len(c)


def test_uv_set_1_keeps_texcoord_0(tmp_path, tessaplan):
    source = tmp_path / "scene.gltf"
    gltf_files.write_gltf(source, gltf_files.two_node_scene(texcoords=1))
    for command, name in (("flatten", "flat.glb"), ("atlas", "atlas.glb")):
        run(tessaplan, command, source, "-o", tmp_path / name, "--uv-set",
            "1")
        written = Document(tmp_path / name)
        for node in written.json["nodes"]:
            attributes = written.primitive(node["mesh"])["attributes"]
            assert {"TEXCOORD_0", "TEXCOORD_1"} <= set(attributes)
            kept = written.attribute("TEXCOORD_0", node["mesh"])
            assert (kept == 0.25).all()
            new = written.attribute("TEXCOORD_1", node["mesh"])
            assert len(np.unique(new, axis=0)) > 10


def test_uv_set_refuses_a_gap_and_other_outputs(tmp_path, tessaplan):
    source = tmp_path / "scene.gltf"
    gltf_files.write_gltf(source, gltf_files.two_node_scene(texcoords=1))
    result = tessaplan("flatten", source, "-o", tmp_path / "out.glb",
                       "--uv-set", "2")
    assert result.returncode == 4, result.stderr
    assert "has no TEXCOORD_1" in result.stderr
    result = tessaplan("flatten", source, "-o", tmp_path / "out.obj",
                       "--uv-set", "1")
    assert result.returncode == 2, result.stderr
    result = tessaplan("flatten", source, "-o", tmp_path / "out.glb",
                       "--uv-set", "16")
    assert result.returncode == 2, result.stderr
    assert not any(tmp_path.glob("out.*"))


def strip_and_lines_scene():
    """A strip of triangles (mode 5), a fan (mode 6) beside it and lines
    (mode 1), which are kept as they are."""
    def primitives(builder):
        strip_points = [(x, y, 0.1 * x * y) for x in range(5) for y in (0, 1)]
        strip = gltf_files.mesh_primitive(builder, strip_points,
                                          list(range(10)), mode=5)
        fan_points = [(10, 0, 0)] + [
            (10 + np.cos(a), np.sin(a), 0.2 * np.sin(2 * a))
            for a in np.linspace(0, 2, 7)]
        fan = gltf_files.mesh_primitive(builder, fan_points,
                                        list(range(8)), mode=6)
        lines = gltf_files.mesh_primitive(builder, strip_points,
                                          [0, 1, 2, 3], mode=1)
        return [strip, fan, lines]
    return gltf_files.single_mesh_scene(primitives)


def test_strips_and_fans_become_triangles_and_lines_are_kept(tmp_path,
                                                             tessaplan):
    source = tmp_path / "strip.gltf"
    document = strip_and_lines_scene()
    gltf_files.write_gltf(source, document)
    original = Document(source)
    run(tessaplan, "flatten", source, "-o", tmp_path / "flat.gltf")
    flat = Document(tmp_path / "flat.gltf")
    assert flat.primitive(0, 0)["mode"] == 5
    assert "TEXCOORD_0" in flat.primitive(0, 0)["attributes"]
    assert flat.primitive(0, 2) == document["meshes"][0]["primitives"][2]

    run(tessaplan, "atlas", source, "-o", tmp_path / "atlas.gltf")
    atlas = Document(tmp_path / "atlas.gltf")
    strip = [(k, k + 1, k + 2) if k % 2 == 0 else (k + 1, k, k + 2)
             for k in range(8)]
    fan = [(0, k + 1, k + 2) for k in range(6)]
    for index, expected in ((0, strip), (1, fan)):
        numbers = atlas.attribute("_ORIGINAL_INDEX", 0, index)[:, 0]
        triangles = numbers.astype(int)[atlas.triangles(0, index)]
        assert sorted(map(tuple, triangles)) == sorted(expected)
        assert atlas.primitive(0, index)["mode"] == 4
    assert atlas.primitive(0, 2) == document["meshes"][0]["primitives"][2]
    np.testing.assert_array_equal(
        atlas.values(atlas.primitive(0, 2)["indices"]).ravel(), [0, 1, 2, 3])


def test_glb_in_glb_out_and_external_files(tmp_path, tessaplan):
    # A .gltf whose buffer and image are files beside it, flattened into
    # another folder: the buffer is embedded, the image stays where it is
    # and its URI leads there from the output.
    document = gltf_files.two_node_scene()
    uri = document["buffers"][0]["uri"]
    folder = tmp_path / "in put"
    (folder / "textures").mkdir(parents=True)
    (folder / "mesh.bin").write_bytes(base64.b64decode(uri.split(",")[1]))
    (folder / "textures" / "stone 1.png").write_bytes(b"\x89PNG not decoded")
    document["buffers"][0]["uri"] = "mesh.bin"
    document["images"] = [{"uri": "textures/stone%201.png"}]
    document["textures"] = [{"source": 0}]
    document["materials"][0]["pbrMetallicRoughness"]["baseColorTexture"] = {
        "index": 0}
    gltf_files.write_gltf(folder / "scene.gltf", document)
    out = tmp_path / "out"
    out.mkdir()
    run(tessaplan, "flatten", folder / "scene.gltf", "-o", out / "flat.gltf")
    written = Document(out / "flat.gltf")
    assert written.json["buffers"][0]["uri"].startswith("data:")
    image_uri = written.json["images"][0]["uri"]
    assert image_uri == "../in%20put/textures/stone%201.png"
    assert (out / "../in put/textures/stone 1.png").read_bytes() == \
        b"\x89PNG not decoded"
    # Beside the input, the URI is kept as it was; a GLB input gives a GLB
    # with its binary chunk.
    run(tessaplan, "flatten", folder / "scene.gltf", "-o", folder / "f.glb")
    written = Document(folder / "f.glb")
    assert written.json["images"][0]["uri"] == "textures/stone%201.png"
    run(tessaplan, "atlas", folder / "f.glb", "-o", tmp_path / "again.glb")
    again = Document(tmp_path / "again.glb")
    assert "uri" not in again.json["buffers"][0]
    assert again.json["materials"] == written.json["materials"]


def test_an_embedded_image_stays_as_it_was(tmp_path, tessaplan):
    document = gltf_files.two_node_scene()
    picture = b"\x89PNG\r\n\x1a\n kept byte for byte"
    document["images"] = [{"uri": "data:image/png;base64," +
                           base64.b64encode(picture).decode(),
                           "name": "picture"}]
    gltf_files.write_gltf(tmp_path / "scene.gltf", document)
    run(tessaplan, "flatten", tmp_path / "scene.gltf", "-o",
        tmp_path / "flat.glb")
    written = Document(tmp_path / "flat.glb")
    image = written.json["images"][0]
    assert image["name"] == "picture" and image["mimeType"] == "image/png"
    view = written.json["bufferViews"][image["bufferView"]]
    start = view.get("byteOffset", 0)
    assert written.binary[start:start + view["byteLength"]] == picture
