"""Paths that must never be read as a surface or written over."""

import os
import stat

import pytest

import mesh_files


@pytest.fixture
def source(tmp_path):
    path = tmp_path / "surface.obj"
    mesh_files.write_obj(path, *mesh_files.wavy_grid())
    return path


def assert_refused(result, status, message):
    assert result.returncode == status, result.stderr
    lines = result.stderr.splitlines()
    assert len(lines) == 1 and message in lines[0], result.stderr
    assert result.stdout == ""


@pytest.mark.parametrize("spelling", ["same", "dotted", "hard-link",
                                      "symbolic-link", "ply-input"])
def test_output_is_never_the_input(tmp_path, tessaplan, source, spelling):
    if spelling == "ply-input":
        ply = tmp_path / "surface.ply"
        mesh_files.write_ply_binary(ply, *mesh_files.wavy_grid())
        source, output = ply, ply
    elif spelling == "same":
        output = source
    elif spelling == "dotted":
        output = tmp_path / "." / ".." / tmp_path.name / "surface.obj"
    elif spelling == "hard-link":
        output = tmp_path / "link.obj"
        os.link(source, output)
    else:
        output = tmp_path / "link.obj"
        output.symlink_to(source)
    before = source.read_bytes()
    files = sorted(os.listdir(tmp_path))
    assert_refused(tessaplan("flatten", source, "-o", output), 2,
                   "the input and the output are the same file")
    assert source.read_bytes() == before
    assert sorted(os.listdir(tmp_path)) == files
    assert_refused(tessaplan("flatten", source, "-o", tmp_path / "o.obj",
                             "--svg", output), 2,
                   "the input and the SVG file are the same file")


def test_svg_is_never_the_output(tmp_path, tessaplan, source, monkeypatch):
    monkeypatch.chdir(tmp_path)
    result = tessaplan("flatten", source, "--svg", tmp_path / "o.obj",
                       "-o", "o.obj")
    assert_refused(result, 2, "the output and the SVG file are the same")
    assert sorted(os.listdir(tmp_path)) == ["surface.obj"]


@pytest.mark.parametrize("kind", ["fifo", "device"])
def test_existing_special_output_is_never_replaced(tmp_path, tessaplan,
                                                   source, kind):
    special = tmp_path / kind
    if kind == "fifo":
        os.mkfifo(special)
    else:
        try:
            # A character device like /dev/null, made in the scratch folder.
            os.mknod(special, stat.S_IFCHR | 0o666, os.makedev(1, 3))
        except PermissionError:
            pytest.skip("making a device node needs root")
    for option in ("-o", "--svg"):
        arguments = [option, special]
        if option == "--svg":
            arguments += ["-o", tmp_path / "o.obj"]
        assert_refused(tessaplan("flatten", source, *arguments), 6,
                       "is not a regular file")
        mode = os.stat(special).st_mode
        assert stat.S_ISFIFO(mode) if kind == "fifo" else stat.S_ISCHR(mode)
        assert sorted(os.listdir(tmp_path)) == sorted(
            ["surface.obj", kind])


def test_fifo_input_is_refused_without_waiting(tmp_path, tessaplan):
    fifo = tmp_path / "surface.obj"
    os.mkfifo(fifo)
    # Opening it for reading would wait for a writer that never comes.
    result = tessaplan("flatten", fifo, "-o", tmp_path / "o.obj")
    assert_refused(result, 3, "not a regular file")


def test_long_output_name_works(tmp_path, tessaplan, source):
    # 250 bytes: within the usual limit of 255, with no room for a longer
    # temporary name.
    output = tmp_path / ("n" * 246 + ".obj")
    result = tessaplan("flatten", source, "-o", output)
    assert result.returncode == 0, result.stderr
    assert output.exists()
    assert sorted(os.listdir(tmp_path)) == sorted(["surface.obj",
                                                   output.name])


@pytest.mark.parametrize("option", ["--output=", "--svg=", "-o"])
def test_empty_output_names_are_usage_errors(tmp_path, tessaplan, source,
                                             option):
    arguments = [option, ""] if option == "-o" else [option]
    assert_refused(tessaplan("flatten", source, *arguments), 2,
                   "needs a value")
    assert os.listdir(tmp_path) == ["surface.obj"]


def test_file_text_and_names_reach_the_terminal_escaped(tmp_path, tessaplan):
    # A name with an escape sequence and a byte that is not UTF-8, and a
    # file whose content the reader quotes in its message.
    name = b"bad\x1b[31m\xff.obj"
    path = os.path.join(os.fsencode(tmp_path), name)
    with open(path, "w") as out:
        out.write("v 0 0 0\nv 1 0 0\nv 0 1 0\n\x1b]0;owned\x07 1 2 3\n")
    result = tessaplan("flatten", os.fsdecode(path), "-o",
                       tmp_path / "o.obj")
    assert result.returncode == 4
    assert "\x1b" not in result.stderr and "\x07" not in result.stderr
    assert "bad\\x1b[31m\\xff.obj" in result.stderr
    assert "\\x1b]0;owned\\x07" in result.stderr
