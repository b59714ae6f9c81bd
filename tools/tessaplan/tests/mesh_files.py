"""Small surfaces and writers for every mesh format the program reads, and
a reader for the OBJ files it writes."""

import math
import struct

import numpy as np


# Surfaces: (points as an (n, 3) array, faces as lists of 0-based ids, each
# turning counter-clockwise seen from outside / above).

def grid_faces(nx, ny, quads=False):
    faces = []
    for j in range(ny):
        for i in range(nx):
            a = j * (nx + 1) + i
            b, c, d = a + 1, a + nx + 2, a + nx + 1
            if quads:
                faces.append([a, b, c, d])
            else:
                faces.extend([[a, b, c], [a, c, d]])
    return faces


def wavy_grid(nx=6, ny=5, quads=False):
    """A height field over [0, 1.2] x [0, 1]: an open, curved disk."""
    xs, ys = np.meshgrid(np.linspace(0.0, 1.2, nx + 1),
                         np.linspace(0.0, 1.0, ny + 1))
    zs = 0.2 * np.sin(3.0 * xs) * np.cos(2.0 * ys)
    points = np.column_stack([xs.ravel(), ys.ravel(), zs.ravel()])
    return points, grid_faces(nx, ny, quads)


def small_pieces(count=47, seed=47):
    """`count` wavy grids of assorted sizes and cell counts in a row, apart:
    `count` pieces. Returns the points, the faces and per piece the ids of
    its vertices."""
    rng = np.random.default_rng(seed)
    points, faces, vertex_ids = [], [], []
    first = 0
    for k in range(count):
        nx, ny = (int(n) for n in rng.integers(2, 6, size=2))
        part_points, part_faces = wavy_grid(nx, ny)
        part_points = part_points * rng.uniform(0.2, 1.5) + [2.0 * k, 0, 0]
        points.append(part_points)
        faces.extend([[v + first for v in face] for face in part_faces])
        vertex_ids.append(list(range(first, first + len(part_points))))
        first += len(part_points)
    return np.vstack(points), faces, vertex_ids


def cylinder_patch(n=16, angle=0.5 * math.pi, radius=1.0, height=1.0):
    """Part of a cylinder: bent without stretching (developable)."""
    points = []
    for j in range(n + 1):
        for i in range(n + 1):
            t = angle * i / n
            points.append((radius * math.cos(t), radius * math.sin(t),
                           height * j / n))
    return np.array(points), grid_faces(n, n)


def hemisphere(rings=12, segments=32):
    """The upper half of the unit sphere, from the pole down to the
    equator."""
    points = [(0.0, 0.0, 1.0)]
    for k in range(1, rings + 1):
        polar = 0.5 * math.pi * k / rings
        for s in range(segments):
            azimuth = 2.0 * math.pi * s / segments
            points.append((math.sin(polar) * math.cos(azimuth),
                           math.sin(polar) * math.sin(azimuth),
                           math.cos(polar)))
    faces = []
    for s in range(segments):
        faces.append([0, 1 + s, 1 + (s + 1) % segments])
    for k in range(1, rings):
        inner = 1 + (k - 1) * segments
        outer = 1 + k * segments
        for s in range(segments):
            t = (s + 1) % segments
            faces.append([inner + s, outer + s, outer + t])
            faces.append([inner + s, outer + t, inner + t])
    return np.array(points), faces


def ruffled_disc(amplitude=4.0, segments=16):
    """A disc of two rings round a saddle: the inner ring zigzags up and
    down, so the angles at the centre add up to far more than a full turn
    and no map into the plane can keep them without folding."""
    points = [(0.0, 0.0, 0.0)]
    for ring in (1, 2):
        for s in range(segments):
            azimuth = 2.0 * math.pi * s / segments
            height = amplitude * (-1) ** s if ring == 1 else 0.0
            points.append((ring * math.cos(azimuth), ring * math.sin(azimuth),
                           height))
    faces = [[0, 1 + s, 1 + (s + 1) % segments] for s in range(segments)]
    for s in range(segments):
        t = (s + 1) % segments
        faces.append([1 + s, 1 + segments + s, 1 + segments + t])
        faces.append([1 + s, 1 + segments + t, 1 + t])
    return np.array(points), faces


def octahedron():
    """A closed surface."""
    points = np.array([(1, 0, 0), (-1, 0, 0), (0, 1, 0), (0, -1, 0),
                       (0, 0, 1), (0, 0, -1)], dtype=float)
    faces = [[0, 2, 4], [2, 1, 4], [1, 3, 4], [3, 0, 4],
             [2, 0, 5], [1, 2, 5], [3, 1, 5], [0, 3, 5]]
    return points, faces


def triangulated(faces):
    """Polygons split as fans, as the reader splits convex ones."""
    result = []
    for face in faces:
        for k in range(1, len(face) - 1):
            result.append([face[0], face[k], face[k + 1]])
    return result


# Writers. Coordinates go through single precision, as the reader keeps
# them.

def _number(value):
    return repr(float(np.float32(value)))


def write_obj(path, points, faces, objects=None):
    """`objects` optionally splits the faces into named objects:
    a list of (name, face indices)."""
    with open(path, "w") as out:
        out.write("# test surface\n")
        for p in points:
            out.write("v %s %s %s\n" % tuple(_number(c) for c in p))
        groups = objects or [(None, range(len(faces)))]
        for name, members in groups:
            if name:
                out.write("o %s\n" % name)
            for index in members:
                out.write("f %s\n" % " ".join(str(v + 1)
                                              for v in faces[index]))


def write_off(path, points, faces):
    with open(path, "w") as out:
        out.write("OFF\n%d %d 0\n" % (len(points), len(faces)))
        for p in points:
            out.write("%s %s %s\n" % tuple(_number(c) for c in p))
        for face in faces:
            out.write("%d %s\n" % (len(face), " ".join(map(str, face))))


def _ply_header(points, faces, encoding):
    return ("ply\nformat %s 1.0\nelement vertex %d\n"
            "property float x\nproperty float y\nproperty float z\n"
            "element face %d\nproperty list uchar int vertex_indices\n"
            "end_header\n" % (encoding, len(points), len(faces)))


def write_ply_ascii(path, points, faces):
    with open(path, "w") as out:
        out.write(_ply_header(points, faces, "ascii"))
        for p in points:
            out.write("%s %s %s\n" % tuple(_number(c) for c in p))
        for face in faces:
            out.write("%d %s\n" % (len(face), " ".join(map(str, face))))


def write_ply_binary(path, points, faces):
    with open(path, "wb") as out:
        out.write(_ply_header(points, faces,
                              "binary_little_endian").encode("ascii"))
        for p in points:
            out.write(struct.pack("<3f", *p))
        for face in faces:
            out.write(struct.pack("<B%di" % len(face), len(face), *face))


def _normal(points, face):
    a, b, c = (np.asarray(points[v], dtype=float) for v in face[:3])
    n = np.cross(b - a, c - a)
    length = np.linalg.norm(n)
    return n / length if length > 0 else n


def write_stl_ascii(path, points, faces):
    with open(path, "w") as out:
        out.write("solid test\n")
        for face in triangulated(faces):
            out.write("facet normal %s %s %s\n  outer loop\n"
                      % tuple(_number(c) for c in _normal(points, face)))
            for v in face:
                out.write("    vertex %s %s %s\n"
                          % tuple(_number(c) for c in points[v]))
            out.write("  endloop\nendfacet\n")
        out.write("endsolid test\n")


def write_stl_binary(path, points, faces):
    triangles = triangulated(faces)
    with open(path, "wb") as out:
        out.write(b"binary test surface".ljust(80, b" "))
        out.write(struct.pack("<I", len(triangles)))
        for face in triangles:
            out.write(struct.pack("<3f", *_normal(points, face)))
            for v in face:
                out.write(struct.pack("<3f", *points[v]))
            out.write(b"\0\0")


WRITERS = {
    "obj": (".obj", write_obj),
    "off": (".off", write_off),
    "ply-ascii": (".ply", write_ply_ascii),
    "ply-binary": (".ply", write_ply_binary),
    "stl-ascii": (".stl", write_stl_ascii),
    "stl-binary": (".stl", write_stl_binary),
}


def _reference(text, records):
    """A 0-based index from an OBJ reference: 1-based, or negative for the
    k-th last record given so far."""
    index = int(text)
    return index - 1 if index > 0 else len(records) + index


def read_obj(path):
    """The v, vt and f records of an OBJ file: lists of float tuples, and
    faces as lists of (v, vt) 0-based pairs (vt None when absent); other
    records (normals, materials, groups) are passed over."""
    vertices, texture, faces = [], [], []
    with open(path) as text:
        for line in text:
            fields = line.split()
            if not fields or fields[0].startswith("#"):
                continue
            if fields[0] == "v":
                vertices.append(tuple(float(x) for x in fields[1:]))
            elif fields[0] == "vt":
                texture.append(tuple(float(x) for x in fields[1:]))
            elif fields[0] == "f":
                corners = []
                for field in fields[1:]:
                    parts = field.split("/")
                    corners.append((_reference(parts[0], vertices),
                                    _reference(parts[1], texture)
                                    if len(parts) > 1 and parts[1] else None))
                faces.append(corners)
            elif fields[0] not in ("vn", "mtllib", "usemtl", "o", "g", "s"):
                raise ValueError("unexpected OBJ record: " + line)
    return vertices, texture, faces


def face_key(points, face):
    """A face as the positions of its corners, starting at the smallest, so
    that equal faces compare equal whatever their vertex numbering and
    whichever corner they start at, while orientation still counts."""
    corners = [tuple(round(float(c), 5) for c in points[v]) for v in face]
    start = corners.index(min(corners))
    return tuple(corners[start:] + corners[:start])
