"""The atlas command: closed surfaces cut into charts, the OBJ it writes,
and its options."""

import json
import pathlib

import numpy as np
import pytest

from mesh_files import read_obj

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


def test_flatten_suggests_the_atlas_for_a_closed_surface(tmp_path, tessaplan):
    result = tessaplan("flatten", EXAMPLE, "-o", tmp_path / "flat.obj")
    assert "tessaplan atlas" in result.stderr


@pytest.mark.parametrize("options", [["--flat"], ["--pack"],
                                     ["--max-distortion", "0.9"],
                                     ["--resolution", "8"],
                                     ["--padding", "x"]])
def test_bad_atlas_options_are_usage_errors(tmp_path, tessaplan, options):
    result = tessaplan("atlas", EXAMPLE, "-o", tmp_path / "a.obj", *options)
    assert result.returncode == 2
    assert not (tmp_path / "a.obj").exists()


def test_atlas_options_belong_to_the_atlas(tmp_path, tessaplan):
    result = tessaplan("flatten", EXAMPLE, "-o", tmp_path / "f.obj",
                       "--padding", "3")
    assert result.returncode == 2
