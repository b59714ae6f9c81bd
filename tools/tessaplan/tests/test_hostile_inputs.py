"""Hostile and extreme inputs: files that refer outside their folder, values
that an output format cannot hold, packing that would collapse a piece."""

import json
import os
import pathlib
import struct

import numpy as np
import pytest

import mesh_files


def gltf_document(uri):
    """A glTF of two triangles whose buffer lives at `uri`."""
    return {
        "asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
        "nodes": [{"mesh": 0}],
        "meshes": [{"primitives": [{"attributes": {"POSITION": 0},
                                     "indices": 1}]}],
        "buffers": [{"uri": uri, "byteLength": 60}],
        "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 48},
                        {"buffer": 0, "byteOffset": 48, "byteLength": 12}],
        "accessors": [
            {"bufferView": 0, "componentType": 5126, "count": 4,
             "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0.2]},
            {"bufferView": 1, "componentType": 5123, "count": 6,
             "type": "SCALAR"}]}


def buffer_bytes():
    points = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (1, 1, 0.2)]
    return (b"".join(struct.pack("<3f", *p) for p in points) +
            struct.pack("<6H", 0, 1, 2, 1, 3, 2))


@pytest.fixture
def scene_folder(tmp_path):
    folder = tmp_path / "scene"
    (folder / "sub").mkdir(parents=True)
    (folder / "sub" / "mesh.bin").write_bytes(buffer_bytes())
    # A file outside the scene's folder, which it must not be able to read.
    (tmp_path / "secret.bin").write_bytes(buffer_bytes())
    os.mkfifo(folder / "fifo.bin")
    return folder


def test_a_buffer_beside_the_file_is_read(scene_folder, tessaplan):
    source = scene_folder / "ok.gltf"
    source.write_text(json.dumps(gltf_document("sub/mesh.bin")))
    result = tessaplan("flatten", source, "-o", scene_folder / "ok-flat.obj")
    assert result.returncode == 0, result.stderr


@pytest.mark.parametrize("uri", ["../secret.bin", "sub/../../secret.bin",
                                 "ABSOLUTE", "fifo.bin", "sub"])
def test_references_outside_the_folder_are_refused(scene_folder, tessaplan,
                                                    uri):
    if uri == "ABSOLUTE":
        uri = str(scene_folder.parent / "secret.bin")
    source = scene_folder / "hostile.gltf"
    source.write_text(json.dumps(gltf_document(uri)))
    result = tessaplan("flatten", source, "-o", scene_folder / "out.obj")
    assert result.returncode == 4, result.stderr
    assert not (scene_folder / "out.obj").exists()
    if uri.startswith("/"):
        # assimp looks for an absolute reference inside the folder, where it
        # is not: it is never read.
        assert "secret.bin" in result.stderr
        return
    assert "refers to '" in result.stderr and uri in result.stderr
    assert "outside its folder or not a regular file" in result.stderr


def test_values_beyond_single_precision_are_not_written_as_gltf(tmp_path,
                                                                tessaplan):
    # An unused vertex far out: fine in OBJ and PLY, not in glTF's floats.
    source = tmp_path / "far.obj"
    source.write_text("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0.1\nv 1e39 0 0\n"
                      "f 1 2 3\nf 2 4 3\n")
    for name in ("far.glb", "far.gltf"):
        result = tessaplan("flatten", source, "-o", tmp_path / name)
        assert result.returncode == 6, result.stderr
        assert "beyond glTF's single precision" in result.stderr
        assert not (tmp_path / name).exists()
    result = tessaplan("flatten", source, "-o", tmp_path / "far-flat.obj")
    assert result.returncode == 0, result.stderr


def test_packing_that_collapses_a_piece_fails(tmp_path, tessaplan):
    # A piece a hundred billion times smaller than its neighbour: laid out
    # beside it, its coordinates round to one value.
    points, faces = mesh_files.wavy_grid(4, 4)
    points = np.asarray(points)
    n = len(points)
    both = np.vstack([points * 1e-13, points * 1e5 + [5e5, 0, 0]])
    faces = list(faces) + [[v + n for v in face] for face in faces]
    source = tmp_path / "scales.obj"
    mesh_files.write_obj(source, both, faces)
    result = tessaplan("flatten", source, "-o", tmp_path / "apart.obj")
    assert result.returncode == 0, result.stderr
    result = tessaplan("flatten", source, "-o", tmp_path / "packed.obj",
                       "--pack")
    assert result.returncode == 5, result.stderr
    assert "piece 0 of 2" in result.stderr and "collapsed" in result.stderr
    assert not (tmp_path / "packed.obj").exists()


CAGED = pathlib.Path(__file__).parent / "data" / "caged"


# How each ends (under AddressSanitizer, a crash may end with status 1).
@pytest.mark.parametrize("name, why", [
    ("abort_box.3mf", "it "),
    ("segv_simple_cube.md5mesh", "it "),
    ("endless_triangle.smd", "it ran over its time limit"),
])
def test_a_reader_that_crashes_or_hangs_is_one_line_of_exit_4(
        tmp_path, tessaplan, name, why):
    # Mutants of Debian's assimp sample files on which assimp aborts,
    # dereferences garbage or loops forever: it runs in a child process,
    # which takes the blow.
    result = tessaplan("flatten", CAGED / name, "-o", tmp_path / "out.obj")
    assert result.returncode == 4, result.stderr
    lines = result.stderr.splitlines()
    assert len(lines) == 1, result.stderr
    assert "reader failed on this file (" + why in lines[0]
    assert not (tmp_path / "out.obj").exists()
