"""Inputs that once crashed, hung, exhausted memory or lost data (kept in
fuzz/regressions): each ends with its documented status, within seconds,
with nothing on stderr but its one line (no sanitizer report)."""

import json
import os
import pathlib
import time

import pytest

REGRESSIONS = pathlib.Path(__file__).resolve().parents[3] / "fuzz" / \
    "regressions"

# File name -> accepted exit statuses. 0 or 5 where the outcome is the
# flattening's (pieces and orientation), not the reader's.
EXPECTED = {
    "bowtie_collapse.obj": {0, 5},
    "cholmod_stdout.stl": {4},           # damaged text STL
    "cholmod_stdout_bowtie.obj": {0, 5},
    "inconsistent_winding_planar.obj": {0, 5},
    "leak_assimp_0x370df3.obj": {4},     # unknown record
    "leak_assimp_0x3c38ed.ply": {4},     # truncated data
    "leak_assimp_0x59e50d.stl": {4},     # a facet with four corners
    "obj_long_index_quadratic.obj": {4},  # an index out of int range
    "oom_off_vertex_count_huge.off": {4},
    "oom_ply_ascii_face_count_1e9.ply": {4},
    "oom_ply_list_count_int_2e31.ply": {4},
    "ply_huge_count_bad_property_spin.ply": {4},
    "ply_no_end_header_hang.ply": {4},
    # Found by fuzz/run-campaign: CGAL's header reader adds a property to
    # an element that does not exist.
    "ply_property_before_element.ply": {4},
    # Also found by fuzz/run-campaign: a colour read past the end of a
    # text OFF line, a vertex coordinate of type uchar, and a list length
    # read past a header without end_header (4.7 GB).
    "off_colour_line_too_short.off": {4},
    "ply_uchar_coordinate.ply": {4},
    "ply_no_end_header_list_oom.ply": {4},
    # And list lengths read past the end of the data (4.7 and 7.8 GB).
    "ply_short_data_list_oom_1.ply": {4},
    "ply_short_data_list_oom_2.ply": {4},
    "ply_short_data_list_oom_3.ply": {4},
    # And a negative face count that CGAL converts to an unsigned integer.
    "off_negative_face_count.off": {4},
    "ply_unused_vertex_renumbered.ply": {0, 5},
    "segv_off_long_blank.off": {0},
    # Indices of signed shorts, read as four-byte unsigned ints past the
    # end of their data (heap overflow in the glTF reader).
    "glb_signed_short_indices_overflow.glb": {4},
    "segv_ply_binary.ply": {4},
    "stl_escape_in_error.stl": {0},
    # A text STL whose "solid" is followed by a tab: CGAL took it for
    # binary and appended the text's triangles to the garbage the binary
    # parse had read.
    "stl_text_solid_tab.stl": {0},
    # That garbage, as an OBJ: needles of extreme proportions (coordinates
    # from 1e-19 to 1e34), which crashed the atlas's packing.
    "stl_binary_garbage_needles.obj": {5},
}


def test_every_regression_has_an_expectation():
    assert sorted(EXPECTED) == sorted(os.listdir(REGRESSIONS))


@pytest.mark.parametrize("command", ["flatten", "atlas"])
@pytest.mark.parametrize("name", sorted(EXPECTED))
def test_regression_ends_cleanly(tmp_path, tessaplan, name, command):
    out = tmp_path / "out"
    out.mkdir()
    result = tessaplan(command, REGRESSIONS / name, "--json",
                       "-o", out / "out.obj", "--svg", out / "out.svg")
    assert result.returncode in EXPECTED[name], result.stderr
    assert "Sanitizer" not in result.stderr
    assert "runtime error" not in result.stderr
    if result.returncode == 0:
        json.loads(result.stdout.splitlines()[-1])
        assert sorted(os.listdir(out)) == ["out.obj", "out.svg"]
        return
    lines = result.stderr.splitlines()
    assert len(lines) == 1 and lines[0].startswith("tessaplan: error: ")
    assert "\x1b" not in result.stderr
    assert os.listdir(out) == []


def test_text_stl_with_a_tab_after_solid_reads_as_text(tmp_path, tessaplan):
    result = tessaplan("flatten", REGRESSIONS / "stl_text_solid_tab.stl",
                       "--json", "-o", tmp_path / "flat.obj")
    assert result.returncode == 0, result.stderr
    report = json.loads(result.stdout.splitlines()[-1])
    assert report["triangles"] == 2
    assert report["vertices"] == 4


def test_huge_vertex_count_is_refused_at_once(tmp_path, tessaplan):
    # Counted before anything is allocated: milliseconds, where reading
    # used to allocate 15.8 GB for a minute. The bound only keeps slow
    # machines and the sanitizer build out of trouble.
    start = time.monotonic()
    result = tessaplan("flatten", REGRESSIONS /
                       "oom_off_vertex_count_huge.off",
                       "-o", tmp_path / "flat.obj")
    assert time.monotonic() - start < 10
    assert result.returncode == 4
