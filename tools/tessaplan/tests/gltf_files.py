"""Small glTF documents built in the tests (json + struct), and a reader of
what tessaplan writes: GLB or .gltf with data: URIs."""

import base64
import json
import struct

import numpy as np

import mesh_files

FLOAT, UNSIGNED_SHORT = 5126, 5123


class Builder:
    """A glTF document under construction with one buffer."""

    def __init__(self):
        self.data = bytearray()
        self.document = {"asset": {"version": "2.0"}, "accessors": [],
                         "bufferViews": [], "buffers": []}

    def view(self, raw, target=None):
        while len(self.data) % 4:
            self.data.append(0)
        view = {"buffer": 0, "byteOffset": len(self.data),
                "byteLength": len(raw)}
        if target:
            view["target"] = target
        self.data += raw
        self.document["bufferViews"].append(view)
        return len(self.document["bufferViews"]) - 1

    def accessor(self, values, kind, component=FLOAT, bounds=False):
        values = np.asarray(values)
        dtype = {FLOAT: "<f4", UNSIGNED_SHORT: "<u2"}[component]
        target = 34963 if kind == "SCALAR" and component != FLOAT else 34962
        accessor = {"bufferView": self.view(values.astype(dtype).tobytes(),
                                            target),
                    "componentType": component, "count": len(values),
                    "type": kind}
        if bounds:
            flat = values.reshape(len(values), -1).astype(np.float32)
            accessor["min"] = [float(v) for v in flat.min(axis=0)]
            accessor["max"] = [float(v) for v in flat.max(axis=0)]
        self.document["accessors"].append(accessor)
        return len(self.document["accessors"]) - 1

    def finish(self):
        """The document with its buffer as a data: URI."""
        self.document["buffers"] = [{
            "byteLength": len(self.data),
            "uri": "data:application/octet-stream;base64," +
                   base64.b64encode(bytes(self.data)).decode()}]
        return self.document


def vertex_normals(points, triangles):
    normals = np.zeros_like(points)
    for t in triangles:
        a, b, c = points[t]
        normals[t] += np.cross(b - a, c - a)
    return normals / np.linalg.norm(normals, axis=1)[:, None]


def grid_primitive(builder, nx=6, ny=5, texcoords=0):
    """A wavy grid as one indexed primitive: POSITION, NORMAL and
    `texcoords` sets TEXCOORD_0... (zeros)."""
    points, faces = mesh_files.wavy_grid(nx, ny)
    triangles = np.array(mesh_files.triangulated(faces))
    attributes = {
        "POSITION": builder.accessor(points, "VEC3", bounds=True),
        "NORMAL": builder.accessor(vertex_normals(points, triangles), "VEC3")}
    for k in range(texcoords):
        attributes["TEXCOORD_%d" % k] = builder.accessor(
            np.full((len(points), 2), 0.25 * (k + 1)), "VEC2")
    return {"attributes": attributes,
            "indices": builder.accessor(triangles.ravel(), "SCALAR",
                                        UNSIGNED_SHORT),
            "material": 0}


def two_node_scene(texcoords=0):
    """A grid mesh placed by two nodes (the second moved, turned and
    scaled), with a named material, normals, a mesh name, node names, extras
    and an extension tessaplan does not know."""
    builder = Builder()
    primitive = grid_primitive(builder, texcoords=texcoords)
    document = builder.document
    document.update({
        "scene": 0,
        "scenes": [{"nodes": [0, 1], "name": "the scene"}],
        "nodes": [
            {"mesh": 0, "name": "left"},
            {"mesh": 0, "name": "right", "translation": [3.0, 0.5, -1.0],
             "rotation": [0.0, 0.0, 0.3826834, 0.9238795],
             "scale": [2.0, 1.0, 1.5], "extras": {"kept": [1, 2, 3]}}],
        "meshes": [{"name": "wavy", "primitives": [primitive]}],
        "materials": [{"name": "clay", "pbrMetallicRoughness": {
            "baseColorFactor": [0.8, 0.4, 0.2, 1.0]},
            "extensions": {"VENDOR_made_up": {"answer": 42}}}],
        "extensionsUsed": ["VENDOR_made_up"]})
    return builder.finish()


def write_gltf(path, document):
    path.write_text(json.dumps(document))


def write_glb(path, document, binary=b""):
    """`document` as GLB; `binary` its BIN chunk (none when empty)."""
    text = json.dumps(document).encode()
    text += b" " * (-len(text) % 4)
    chunks = struct.pack("<II", len(text), 0x4E4F534A) + text
    if binary:
        binary += b"\0" * (-len(binary) % 4)
        chunks += struct.pack("<II", len(binary), 0x004E4942) + binary
    path.write_bytes(struct.pack("<4sII", b"glTF", 2, 12 + len(chunks)) +
                     chunks)


class Document:
    """A glTF or GLB file tessaplan wrote: its JSON and its one buffer."""

    def __init__(self, path):
        data = path.read_bytes()
        if data[:4] == b"glTF":
            length = struct.unpack_from("<I", data, 12)[0]
            self.json = json.loads(data[20:20 + length])
            self.binary = data[20 + length + 8:]
        else:
            self.json = json.loads(data)
            uri = self.json["buffers"][0]["uri"]
            self.binary = base64.b64decode(uri.split(",", 1)[1])

    def values(self, accessor_index):
        """An accessor's values as a (count, width) array of floats."""
        accessor = self.json["accessors"][accessor_index]
        view = self.json["bufferViews"][accessor["bufferView"]]
        width = {"SCALAR": 1, "VEC2": 2, "VEC3": 3, "VEC4": 4}[
            accessor["type"]]
        dtype = {5126: "<f4", 5125: "<u4", 5123: "<u2", 5121: "u1"}[
            accessor["componentType"]]
        size = np.dtype(dtype).itemsize * width
        stride = view.get("byteStride", size)
        start = view.get("byteOffset", 0) + accessor.get("byteOffset", 0)
        rows = [np.frombuffer(self.binary, dtype=dtype, count=width,
                              offset=start + k * stride)
                for k in range(accessor["count"])]
        return np.array(rows, dtype=float).reshape(accessor["count"], width)

    def primitive(self, mesh=0, index=0):
        return self.json["meshes"][mesh]["primitives"][index]

    def attribute(self, name, mesh=0, index=0):
        return self.values(self.primitive(mesh, index)["attributes"][name])

    def triangles(self, mesh=0, index=0):
        return self.values(self.primitive(mesh, index)["indices"]).astype(
            int).reshape(-1, 3)


def mesh_primitive(builder, points, triangles, mode=4):
    """One primitive of `points` (POSITION, NORMAL) and `triangles`
    (indices), or of the index list as given for strips and fans."""
    points = np.asarray(points, dtype=float)
    indices = np.asarray(triangles).ravel()
    normals = np.tile([0.0, 0.0, 1.0], (len(points), 1))
    return {"attributes": {
                "POSITION": builder.accessor(points, "VEC3", bounds=True),
                "NORMAL": builder.accessor(normals, "VEC3")},
            "indices": builder.accessor(indices, "SCALAR", UNSIGNED_SHORT),
            "mode": mode}


def single_mesh_scene(primitives_of):
    """One node of one mesh whose primitives `primitives_of(builder)`
    makes."""
    builder = Builder()
    primitives = primitives_of(builder)
    builder.document.update({
        "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
        "meshes": [{"primitives": primitives}]})
    return builder.finish()


def trs_matrix(node):
    """A node's local transform as a 4x4 matrix."""
    x, y, z, w = node.get("rotation", [0, 0, 0, 1])
    rotation = np.array([
        [1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)],
        [2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)],
        [2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)]])
    matrix = np.eye(4)
    matrix[:3, :3] = rotation * np.asarray(node.get("scale", [1, 1, 1]))
    matrix[:3, 3] = node.get("translation", [0, 0, 0])
    return matrix
