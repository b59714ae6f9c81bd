"""What tessaplan flatten answers on surfaces that cannot be flattened
whole, that fold, that carry bad triangles, and on scene files: an honest
exit status, a clear line, and a result read as the file's author meant."""

import base64
import json
import math
import os
import struct

import numpy as np
import pytest

import mesh_files
from gltf_files import trs_matrix
from mesh_files import read_obj


def run_json(tessaplan, source, *options):
    result = tessaplan("flatten", source, "--json", *options)
    report = json.loads(result.stdout) if result.returncode == 0 else None
    return result, report


def assert_failed_without_output(result, tmp_path, kept, *phrases):
    assert result.returncode == 5, result.stderr
    assert result.stdout == ""
    lines = result.stderr.splitlines()
    assert len(lines) == 1 and lines[0].startswith("tessaplan: error: ")
    for phrase in phrases:
        assert phrase in lines[0]
    assert sorted(os.listdir(tmp_path)) == sorted(kept)


def patch_and_tetrahedron():
    points, faces = mesh_files.wavy_grid(4, 4)
    tetrahedron = np.array([(0, 0, 0), (1, 0.1, 0), (0.3, 0.9, 0.2),
                            (0.4, 0.3, 0.8)]) + [3.0, 0, 0]
    n = len(points)
    faces = list(faces) + [[n, n + 2, n + 1], [n, n + 1, n + 3],
                           [n + 1, n + 2, n + 3], [n + 2, n, n + 3]]
    return np.vstack([points, tetrahedron]), faces


@pytest.mark.parametrize("shape", ["octahedron", "patch_and_tetrahedron"])
def test_a_closed_piece_fails_naming_it(tmp_path, tessaplan, shape):
    # The octahedron alone has no mean plane; beside an open patch the
    # tetrahedron is solved and collapses. Both used to give different
    # answers (one of them exit 0 with a collapsed map).
    points, faces = getattr(mesh_files, shape, None)() if hasattr(
        mesh_files, shape) else patch_and_tetrahedron()
    source = tmp_path / "closed.obj"
    mesh_files.write_obj(source, points, faces)
    result, _ = run_json(tessaplan, source, "-o", tmp_path / "flat.obj")
    pieces = "piece 0 of 1" if shape == "octahedron" else "piece 1 of 2"
    assert_failed_without_output(
        result, tmp_path, ["closed.obj"], pieces, "closed",
        "cannot be flattened without cuts", "'tessaplan atlas' cuts it")


def test_a_fold_warns_and_fails_only_when_asked(tmp_path, tessaplan):
    source = tmp_path / "ruffled.obj"
    mesh_files.write_obj(source, *mesh_files.ruffled_disc())
    result, report = run_json(tessaplan, source, "-o", tmp_path / "a.obj")
    assert result.returncode == 0, result.stderr
    assert report["flipped_triangles"] > 0
    assert "folds over itself" in result.stderr

    result, _ = run_json(tessaplan, source, "-o", tmp_path / "b.obj",
                         "--fail-on-fold")
    assert_failed_without_output(result, tmp_path, ["ruffled.obj", "a.obj"],
                                 "folds over itself", "--fail-on-fold")

    # A map that does not fold passes with --fail-on-fold.
    clean = tmp_path / "clean.obj"
    mesh_files.write_obj(clean, *mesh_files.wavy_grid(6, 5))
    result, report = run_json(tessaplan, clean, "-o", tmp_path / "c.obj",
                              "--fail-on-fold")
    assert result.returncode == 0, result.stderr
    assert report["flipped_triangles"] == 0


def test_a_quad_with_a_repeated_corner_no_longer_sinks_the_model(
        tmp_path, tessaplan):
    # A curved grid of quads, each with its own four corners (split per
    # face), one of which repeats its first corner as its fourth.
    points, quads = mesh_files.wavy_grid(8, 6, quads=True)
    split_points, split_faces = [], []
    for q, quad in enumerate(quads):
        corners = list(quad) if q != 20 else [quad[0], quad[1], quad[2],
                                              quad[0]]
        split_faces.append(list(range(len(split_points),
                                      len(split_points) + 4)))
        split_points.extend(points[v] for v in corners)
    source = tmp_path / "quads.obj"
    mesh_files.write_obj(source, split_points, split_faces)

    result, report = run_json(tessaplan, source, "-o", tmp_path / "flat.obj",
                              "--weld")
    assert result.returncode == 0, result.stderr
    assert report["pieces"]["count"] == 1

    result, report = run_json(tessaplan, source, "-o", tmp_path / "flat.obj")
    assert result.returncode == 0, result.stderr
    assert report["left_out_triangles"] == {"repeated_corners": 1,
                                            "duplicates": 0}
    assert ("1 triangle with corners at fewer than three distinct "
            "positions was left out of the solve") in result.stderr
    # Split faces are pieces of their own: the warning suggests --weld.
    assert "--weld joins the vertices" in result.stderr
    vertices, texture, faces = read_obj(tmp_path / "flat.obj")
    assert len(faces) == len(quads)
    assert np.isfinite(np.array(texture)).all()


def test_faces_that_share_a_vertex_get_no_hint_to_join(tmp_path, tessaplan):
    # A bow-tie: two triangles meeting at one shared vertex are two pieces
    # of one face each, but joining would change nothing.
    source = tmp_path / "bowtie.obj"
    mesh_files.write_obj(source, [(0, 0, 0), (1, 0, 0), (0, 1, 0),
                                  (-1, 0, 0.2), (0, -1, 0)],
                         [[0, 1, 2], [0, 3, 4]])
    result, report = run_json(tessaplan, source, "-o", tmp_path / "f.obj")
    assert result.returncode == 0, result.stderr
    assert report["pieces"]["count"] == 2
    assert "--weld" not in result.stderr


def test_an_ascii_ply_of_floats_is_read_as_written(tmp_path, tessaplan):
    source = tmp_path / "decimal.ply"
    source.write_text(
        "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\n"
        "property float y\nproperty float32 z\nelement face 2\n"
        "property list uchar int vertex_indices\nend_header\n"
        "0.1 0.2 0.3\n1.1 0.2 0.3\n1.1 1.2 0.7\n0.1 1.2 0.3\n"
        "3 0 1 2\n3 0 2 3\n")
    result, report = run_json(tessaplan, source, "-o", tmp_path / "flat.obj")
    assert result.returncode == 0, result.stderr
    assert report["single_precision"] is False
    vertices, _, _ = read_obj(tmp_path / "flat.obj")
    assert vertices == [(0.1, 0.2, 0.3), (1.1, 0.2, 0.3), (1.1, 1.2, 0.7),
                        (0.1, 1.2, 0.3)]


# A glTF scene written here: two objects, each with its own vertices per
# triangle (as glTF exporters write them with per-corner normals), placed by
# a node hierarchy that moves, turns and scales them.

def _split_mesh(nx, ny):
    points, faces = mesh_files.wavy_grid(nx, ny)
    return np.asarray([points[v] for face in faces for v in face],
                      dtype=np.float32)


def _quaternion(axis, angle):
    axis = np.asarray(axis, dtype=float) / np.linalg.norm(axis)
    return [*(math.sin(angle / 2) * axis), math.cos(angle / 2)]


def write_scene(path):
    meshes = [_split_mesh(4, 3), _split_mesh(3, 3)]
    nodes = [
        {"name": "root", "children": [1, 2], "scale": [2.0, 2.0, 2.0],
         "translation": [10.0, 0.0, 0.0]},
        {"name": "turned", "mesh": 0, "translation": [0.0, 5.0, 0.0],
         "rotation": _quaternion([0, 0, 1], math.pi / 3)},
        {"name": "scaled", "mesh": 1, "translation": [0.0, -4.0, 1.0],
         "scale": [0.5, 3.0, 1.0],
         "rotation": _quaternion([1, 1, 0], 0.4)}]
    data = b"".join(mesh.tobytes() for mesh in meshes)
    document = {
        "asset": {"version": "2.0"}, "scene": 0,
        "scenes": [{"nodes": [0]}], "nodes": nodes,
        "buffers": [{"byteLength": len(data),
                     "uri": "data:application/octet-stream;base64," +
                            base64.b64encode(data).decode("ascii")}],
        "bufferViews": [], "accessors": [],
        "meshes": []}
    offset = 0
    for m, mesh in enumerate(meshes):
        document["bufferViews"].append(
            {"buffer": 0, "byteOffset": offset, "byteLength": mesh.nbytes})
        document["accessors"].append(
            {"bufferView": m, "componentType": 5126, "count": len(mesh),
             "type": "VEC3", "min": mesh.min(axis=0).tolist(),
             "max": mesh.max(axis=0).tolist()})
        document["meshes"].append(
            {"primitives": [{"attributes": {"POSITION": m}}]})
        offset += mesh.nbytes
    path.write_text(json.dumps(document))
    # The same objects placed by hand.
    root = trs_matrix(nodes[0])
    placed = []
    for node in nodes[1:]:
        world = root @ trs_matrix(node)
        mesh = meshes[node["mesh"]].astype(float)
        placed.append(mesh @ world[:3, :3].T + world[:3, 3])
    return placed


def test_a_scene_keeps_its_placement_and_its_shared_corners(tmp_path,
                                                            tessaplan):
    source = tmp_path / "scene.gltf"
    placed = write_scene(source)
    result, report = run_json(tessaplan, source, "-o", tmp_path / "flat.obj")
    assert result.returncode == 0, result.stderr
    assert report["transforms_applied"] is True
    assert report["single_precision"] is True
    # Joined by default: the two grids are two pieces, not one per
    # triangle.
    assert report["pieces"]["count"] == 2
    assert report["joined_vertices"] > 0
    vertices, _, faces = read_obj(tmp_path / "flat.obj")
    written = np.array(vertices)
    expected = np.vstack(placed)
    for point in expected:
        assert np.abs(written - point).max(axis=1).min() < 1e-5
    assert len(faces) == len(expected) // 3

    result, report = run_json(tessaplan, source, "-o", tmp_path / "apart.obj",
                              "--no-weld")
    assert result.returncode == 0, result.stderr
    assert report["joined_vertices"] == 0
    assert report["pieces"]["count"] == len(expected) // 3
