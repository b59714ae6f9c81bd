"""Compares `tessaplan atlas` with Blender's Smart UV Project on the same
closed meshes, measuring both outputs with the same code.

    /usr/bin/python3 bench/atlas_vs_blender.py --build build/release \
        MESH.off|MESH.obj ...

Needs Debian's `blender` (run headless through bench/blender_smart_uv.py,
angle limit 66 degrees, island margin 0.003) and the build's Python
package (for the exact check). For each mesh it prints the charts, the seam
edges (and their share of the edges), the covered share of the unit square,
the 95th percentile of the conformal distortion, the flipped triangles and
overlapping pairs found by tessaplan.check_atlas, and the seconds (for
Blender the operator alone; for tessaplan the atlas step of its report).
"""

import argparse
import json
import pathlib
import subprocess
import sys
import tempfile

import numpy as np

HERE = pathlib.Path(__file__).resolve().parent


def read_off(path):
    words = pathlib.Path(path).read_text().split()
    if words[0] != "OFF":
        raise ValueError(f"{path}: not an OFF file")
    nv, nf = int(words[1]), int(words[2])
    values = words[4:]
    points = np.array(values[:3 * nv], dtype=float).reshape(nv, 3)
    faces, at = [], 3 * nv
    for _ in range(nf):
        size = int(values[at])
        faces.append([int(v) for v in values[at + 1:at + 1 + size]])
        at += 1 + size
    return points, faces


def write_obj(path, points, faces):
    with open(path, "w") as out:
        for p in points:
            out.write(f"v {p[0]!r} {p[1]!r} {p[2]!r}\n")
        for face in faces:
            out.write("f " + " ".join(str(v + 1) for v in face) + "\n")


def read_obj_with_uv(path):
    """Points (n, 3), and per triangle of the faces' fans its vertex ids
    (m, 3) and corner images (m, 3, 2)."""
    points, texture, triangles, corners = [], [], [], []
    for line in open(path):
        fields = line.split()
        if not fields:
            continue
        if fields[0] == "v":
            points.append([float(x) for x in fields[1:4]])
        elif fields[0] == "vt":
            texture.append([float(x) for x in fields[1:3]])
        elif fields[0] == "f":
            ids = [field.split("/") for field in fields[1:]]
            v = [int(i[0]) - 1 for i in ids]
            t = [int(i[1]) - 1 for i in ids]
            for k in range(1, len(v) - 1):
                triangles.append([v[0], v[k], v[k + 1]])
                corners.append([texture[t[0]], texture[t[k]],
                                texture[t[k + 1]]])
    return (np.array(points), np.array(triangles, dtype=np.int64),
            np.array(corners, dtype=float))


def seams_and_charts(triangles, corners):
    """Edges shared by two triangles (by vertex ids) whose two ends do not
    have the same images on both sides, all such shared edges, and the
    charts: triangles joined through the other shared edges."""
    edges = {}
    for t, tri in enumerate(triangles):
        for k in range(3):
            a, b = int(tri[k]), int(tri[(k + 1) % 3])
            images = {a: tuple(corners[t, k]), b: tuple(corners[t, (k + 1) % 3])}
            edges.setdefault((min(a, b), max(a, b)), []).append((t, images))
    parent = list(range(len(triangles)))

    def root(t):
        while parent[t] != t:
            parent[t] = parent[parent[t]]
            t = parent[t]
        return t

    seams = shared = 0
    for (a, b), sides in edges.items():
        if len(sides) != 2:
            continue
        shared += 1
        (s, first), (t, second) = sides
        if first[a] == second[a] and first[b] == second[b]:
            parent[root(s)] = root(t)
        else:
            seams += 1
    charts = len({root(t) for t in range(len(triangles))})
    return seams, len(edges), charts


def conformal_p95(points, triangles, corners):
    """95th percentile of sigma1 / sigma2 of the linear map of each
    triangle of non-zero 3D and 2D area onto its image."""
    p = points[triangles]
    e1, e2 = p[:, 1] - p[:, 0], p[:, 2] - p[:, 0]
    normal = np.cross(e1, e2)
    area = np.linalg.norm(normal, axis=1)
    keep = area > 0
    x_axis = e1[keep] / np.linalg.norm(e1[keep], axis=1)[:, None]
    y_axis = np.cross(normal[keep] / area[keep, None], x_axis)
    local = np.stack([np.stack([np.einsum("ij,ij->i", e, x_axis),
                                np.einsum("ij,ij->i", e, y_axis)], axis=1)
                      for e in (e1[keep], e2[keep])], axis=2)
    uv = corners[keep]
    image = np.stack([uv[:, 1] - uv[:, 0], uv[:, 2] - uv[:, 0]], axis=2)
    jacobian = image @ np.linalg.inv(local)
    sigma = np.linalg.svd(jacobian, compute_uv=False)
    ratio = np.where(sigma[:, 1] > 0, sigma[:, 0] / np.maximum(sigma[:, 1],
                                                               1e-300),
                     np.inf)
    return float(np.percentile(ratio, 95))


def measure(obj_path):
    import tessaplan
    points, triangles, corners = read_obj_with_uv(obj_path)
    seams, edges, charts = seams_and_charts(triangles, corners)
    uv = corners
    area = 0.5 * np.abs((uv[:, 1, 0] - uv[:, 0, 0]) * (uv[:, 2, 1] - uv[:, 0, 1])
                        - (uv[:, 2, 0] - uv[:, 0, 0]) * (uv[:, 1, 1] -
                                                         uv[:, 0, 1]))
    check = tessaplan.check_atlas(points, triangles, corners)
    return {"triangles": len(triangles), "charts": charts, "seams": seams,
            "edges": edges, "efficiency": float(area.sum()),
            "conformal_p95": conformal_p95(points, triangles, corners),
            "flipped": check["flipped_triangles"],
            "overlaps": check["overlapping_pairs"],
            "in_square": bool(uv.min() >= 0 and uv.max() <= 1)}


def run_tessaplan(build, source, target):
    result = subprocess.run(
        [str(build / "tools" / "tessaplan" / "tessaplan"), "atlas",
         str(source), "-o", str(target), "--json"],
        capture_output=True, text=True, check=True)
    return json.loads(result.stdout)["seconds"]["atlas"]


def run_blender(source, target, workdir):
    report = workdir / "blender.json"
    subprocess.run(["blender", "-b", "--factory-startup", "--python",
                    str(HERE / "blender_smart_uv.py"), "--", str(source),
                    str(target), str(report)],
                   capture_output=True, text=True, check=True)
    return json.loads(report.read_text())["seconds"]


def row(name, tool, figures, seconds):
    return (f"{name:<22} {tool:<10} {figures['triangles']:>8} "
            f"{figures['charts']:>7} {figures['seams']:>7} "
            f"{100.0 * figures['seams'] / figures['edges']:>6.1f}% "
            f"{100.0 * figures['efficiency']:>6.1f}% "
            f"{figures['conformal_p95']:>7.3f} {figures['flipped']:>6} "
            f"{figures['overlaps']:>8} {seconds:>8.2f}"
            + ("" if figures["in_square"] else "  (outside the square)"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/release", type=pathlib.Path)
    parser.add_argument("meshes", nargs="+", type=pathlib.Path)
    args = parser.parse_args()
    build = args.build.resolve()
    sys.path[:0] = [str(build / "python"), str(HERE.parent / "python")]
    print(f"{'mesh':<22} {'tool':<10} {'tris':>8} {'charts':>7} "
          f"{'seams':>7} {'share':>7} {'square':>7} {'p95':>7} "
          f"{'flips':>6} {'overlaps':>8} {'seconds':>8}")
    for mesh in args.meshes:
        with tempfile.TemporaryDirectory() as scratch:
            workdir = pathlib.Path(scratch)
            source = workdir / (mesh.stem + ".obj")
            if mesh.suffix.lower() == ".off":
                write_obj(source, *read_off(mesh))
            else:
                source.write_bytes(mesh.read_bytes())
            ours, theirs = workdir / "ours.obj", workdir / "blender.obj"
            seconds = run_tessaplan(build, source, ours)
            print(row(mesh.stem, "tessaplan", measure(ours), seconds))
            seconds = run_blender(source, theirs, workdir)
            print(row(mesh.stem, "blender", measure(theirs), seconds),
                  flush=True)


if __name__ == "__main__":
    main()
