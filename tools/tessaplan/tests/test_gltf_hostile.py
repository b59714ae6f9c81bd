"""Hostile glTF and GLB files: each ends in one line and exit status 4
naming what is wrong, without a crash and without an output file."""

import base64
import json
import struct

import numpy as np
import pytest

import gltf_files
from mesh_files import read_obj


def assert_refused(result, tmp_path, *phrases):
    assert result.returncode == 4, result.stderr
    lines = result.stderr.splitlines()
    assert len(lines) == 1, result.stderr
    for phrase in phrases:
        assert phrase in lines[0], lines[0]
    assert not list(tmp_path.glob("out.*"))


def flatten(tessaplan, source, tmp_path, name="out.glb"):
    return tessaplan("flatten", source, "-o", tmp_path / name)


def scene_with_binary():
    """The two-node scene with its buffer as bytes, for a GLB."""
    document = gltf_files.two_node_scene()
    binary = base64.b64decode(document["buffers"][0]["uri"].split(",")[1])
    del document["buffers"][0]["uri"]
    return document, binary


def test_a_sound_glb_is_read(tmp_path, tessaplan):
    document, binary = scene_with_binary()
    gltf_files.write_glb(tmp_path / "in.glb", document, binary)
    assert flatten(tessaplan, tmp_path / "in.glb", tmp_path).returncode == 0


@pytest.mark.parametrize("damage, phrase", [
    ("chunk beyond the file", "goes past the end of the file"),
    ("length not the file's", "header gives a length of"),
    ("binary chunk first", "does not start with its JSON chunk"),
    ("version 1", "not that of version 2")])
def test_a_damaged_glb_container_is_refused(tmp_path, tessaplan, damage,
                                            phrase):
    document, binary = scene_with_binary()
    gltf_files.write_glb(tmp_path / "in.glb", document, binary)
    data = bytearray((tmp_path / "in.glb").read_bytes())
    json_length = struct.unpack_from("<I", data, 12)[0]
    if damage == "chunk beyond the file":
        struct.pack_into("<I", data, 20 + json_length, 1 << 30)
    elif damage == "length not the file's":
        struct.pack_into("<I", data, 8, len(data) + 4)
    elif damage == "binary chunk first":
        struct.pack_into("<I", data, 16, 0x004E4942)
    else:
        struct.pack_into("<I", data, 4, 1)
    (tmp_path / "in.glb").write_bytes(bytes(data))
    assert_refused(flatten(tessaplan, tmp_path / "in.glb", tmp_path),
                   tmp_path, phrase)


@pytest.mark.parametrize("suffix", ["gltf", "glb"])
def test_deeply_nested_json_is_refused_before_parsing(tmp_path, tessaplan,
                                                      suffix):
    document = gltf_files.two_node_scene()
    text = json.dumps(document)[:-1] + ', "extras": ' + "[" * 100000 + \
        "]" * 100000 + "}"
    source = tmp_path / ("in." + suffix)
    if suffix == "gltf":
        source.write_text(text)
    else:
        payload = text.encode() + b" " * (-len(text) % 4)
        source.write_bytes(struct.pack("<4sII", b"glTF", 2, 20 + len(payload))
                           + struct.pack("<II", len(payload), 0x4E4F534A) +
                           payload)
    assert_refused(flatten(tessaplan, source, tmp_path), tmp_path,
                   "deeper than 64 levels")


def test_nesting_inside_strings_does_not_count(tmp_path, tessaplan):
    document = gltf_files.two_node_scene()
    document["asset"]["extras"] = {"text": "[{\\\"" * 1000}
    gltf_files.write_gltf(tmp_path / "in.gltf", document)
    assert flatten(tessaplan, tmp_path / "in.gltf", tmp_path).returncode == 0


def damaged(change):
    document = gltf_files.two_node_scene()
    change(document)
    return document


def grow_accessor(document):
    document["accessors"][0]["count"] += 1


def stride_too_small(document):
    document["bufferViews"][0]["byteStride"] = 8


def view_beyond_buffer(document):
    document["bufferViews"][1]["byteLength"] = 1 << 20


def accessor_offset(document):
    document["accessors"][2]["byteOffset"] = 1 << 62


def node_cycle(document):
    document["nodes"][0]["children"] = [1]
    document["nodes"][1]["children"] = [0]
    document["scenes"][0]["nodes"] = []


def two_parents(document):
    document["nodes"].append({"children": [1]})
    document["nodes"][0]["children"] = [1]
    document["scenes"][0]["nodes"] = [0, 2]


def deep_hierarchy(document):
    count = len(document["nodes"])
    document["nodes"] += [{"children": [count + k + 1]} for k in range(1200)]
    document["nodes"][-1]["children"] = [0]
    document["scenes"][0]["nodes"] = [count, 1]


def missing_child(document):
    document["nodes"][0]["children"] = [7]


def draco(document):
    document["extensionsRequired"] = ["KHR_draco_mesh_compression"]
    document["extensionsUsed"].append("KHR_draco_mesh_compression")


def quantized(document):
    document["accessors"][0]["componentType"] = 5122
    document["accessors"][0]["normalized"] = True


@pytest.mark.parametrize("change, phrase", [
    (grow_accessor, "accessor 0 (43 elements of 12 bytes) goes past the end "
                    "of buffer view 0"),
    (stride_too_small, "wider than its byteStride"),
    (view_beyond_buffer, "buffer view 1 goes past the end of buffer 0"),
    (accessor_offset, "accessor 2"),
    (node_cycle, "its nodes form a cycle"),
    (two_parents, "node 1 has two parents"),
    (deep_hierarchy, "deeper than 1000 levels"),
    (missing_child, "has a child that does not exist"),
    (draco, "requires KHR_draco_mesh_compression"),
    (quantized, "quantized positions")])
def test_a_damaged_document_is_refused(tmp_path, tessaplan, change, phrase):
    gltf_files.write_gltf(tmp_path / "in.gltf", damaged(change))
    assert_refused(flatten(tessaplan, tmp_path / "in.gltf", tmp_path),
                   tmp_path, phrase)


def test_a_scene_of_lines_only_is_refused(tmp_path, tessaplan):
    builder = gltf_files.Builder()
    points = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (1, 1, 0.2)]
    primitive = gltf_files.mesh_primitive(builder, points, [0, 1, 2, 3],
                                          mode=1)
    builder.document.update({"nodes": [{"mesh": 0}],
                             "meshes": [{"primitives": [primitive]}]})
    gltf_files.write_gltf(tmp_path / "in.gltf", builder.finish())
    assert_refused(flatten(tessaplan, tmp_path / "in.gltf", tmp_path),
                   tmp_path, "places no primitive of triangles")


def test_an_index_beyond_the_vertices_is_refused(tmp_path, tessaplan):
    builder = gltf_files.Builder()
    points = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (1, 1, 0.2)]
    primitive = gltf_files.mesh_primitive(builder, points,
                                          [0, 1, 2, 1, 3, 9])
    builder.document.update({"nodes": [{"mesh": 0}],
                             "meshes": [{"primitives": [primitive]}]})
    gltf_files.write_gltf(tmp_path / "in.gltf", builder.finish())
    assert_refused(flatten(tessaplan, tmp_path / "in.gltf", tmp_path),
                   tmp_path, "has an index beyond its 4 vertices")


@pytest.fixture
def folder(tmp_path):
    document = gltf_files.two_node_scene()
    binary = base64.b64decode(document["buffers"][0]["uri"].split(",")[1])
    inside = tmp_path / "scene"
    inside.mkdir()
    (inside / "mesh.bin").write_bytes(binary)
    (tmp_path / "outside.png").write_bytes(b"\x89PNG")
    (inside / "picture.png").write_bytes(b"\x89PNG")
    return inside


def with_references(folder, buffer_uri, image_uri=None, length=None):
    document = gltf_files.two_node_scene()
    document["buffers"][0]["uri"] = buffer_uri
    if length is not None:
        document["buffers"][0]["byteLength"] = length
    if image_uri is not None:
        document["images"] = [{"uri": image_uri}]
    gltf_files.write_gltf(folder / "in.gltf", document)
    return folder / "in.gltf"


@pytest.mark.parametrize("image_uri, phrase", [
    ("../outside.png", "outside its folder or not a regular file"),
    ("%2E%2E/outside.png", "outside its folder or not a regular file"),
    ("/etc/hostname", "is not a file beside it"),
    ("file:///etc/hostname", "is not a file beside it"),
    ("http://example.com/a.png", "is not a file beside it"),
    ("absent.png", "which does not exist"),
    (".", "outside its folder or not a regular file")])
def test_image_references_are_confined(folder, tessaplan, image_uri, phrase):
    source = with_references(folder, "mesh.bin", image_uri)
    assert_refused(flatten(tessaplan, source, folder), folder,
                   "refers to '" + image_uri + "'", phrase)


def test_a_buffer_shorter_than_it_claims_is_refused(folder, tessaplan):
    size = (folder / "mesh.bin").stat().st_size
    source = with_references(folder, "mesh.bin", length=size + 1)
    assert_refused(flatten(tessaplan, source, folder), folder,
                   "refers to 'mesh.bin' of %d bytes, shorter than" % size)


def test_a_buffer_file_longer_than_it_claims_is_read(folder, tessaplan):
    with open(folder / "mesh.bin", "ab") as data:
        data.write(b"\0" * 10)
    source = with_references(folder, "mesh.bin", "picture.png")
    result = flatten(tessaplan, source, folder, "out.obj")
    assert result.returncode == 0, result.stderr


def test_sparse_positions_are_read(tmp_path, tessaplan):
    # Vertex 3 moved up by a sparse accessor: the surface has it there.
    builder = gltf_files.Builder()
    points = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (1, 1, 0.2)]
    primitive = gltf_files.mesh_primitive(builder, points,
                                          [0, 1, 2, 1, 3, 2])
    indices = builder.view(struct.pack("<H", 3))
    values = builder.view(struct.pack("<3f", 1, 1, 0.5))
    position = builder.document["accessors"][0]
    position["sparse"] = {"count": 1,
                          "indices": {"bufferView": indices,
                                      "componentType": 5123},
                          "values": {"bufferView": values}}
    position["max"] = [1, 1, 0.5]
    builder.document.update({"nodes": [{"mesh": 0}],
                             "meshes": [{"primitives": [primitive]}]})
    gltf_files.write_gltf(tmp_path / "in.gltf", builder.finish())
    result = flatten(tessaplan, tmp_path / "in.gltf", tmp_path, "out.obj")
    assert result.returncode == 0, result.stderr
    vertices, _, _ = read_obj(tmp_path / "out.obj")
    assert (1.0, 1.0, 0.5) in vertices
    assert (1.0, 1.0, np.float32(0.2)) not in vertices
