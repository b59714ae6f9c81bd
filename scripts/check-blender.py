"""Reads tessaplan's output files with Blender's own importers and prints
what Blender sees: objects, materials, UV layers and UV islands, custom
normals. Not a test of the build (it needs Blender): run it before a
release.

    blender -b --factory-startup --python scripts/check-blender.py -- FILE...

Exits 1 when an importer fails or an imported mesh has no UV layer.
"""

import json
import os
import sys

import bmesh
import bpy
import numpy

# Debian's Blender 3.4 glTF importer still uses numpy.bool, which Debian's
# numpy no longer has.
if "bool" not in numpy.__dict__:
    numpy.bool = bool


def clear_scene():
    bpy.ops.wm.read_factory_settings(use_empty=True)


def import_file(path):
    extension = os.path.splitext(path)[1].lower()
    if extension == ".obj":
        bpy.ops.wm.obj_import(filepath=path)
    elif extension == ".ply":
        bpy.ops.import_mesh.ply(filepath=path)
    elif extension in (".gltf", ".glb"):
        bpy.ops.import_scene.gltf(filepath=path)
    else:
        raise ValueError("no importer for " + path)


def uv_islands(mesh):
    """The UV islands: faces joined where they share an edge whose two
    corners have equal UVs on both sides."""
    b = bmesh.new()
    b.from_mesh(mesh)
    layer = b.loops.layers.uv.active
    parent = list(range(len(b.faces)))

    def find(i):
        while parent[i] != i:
            parent[i] = parent[parent[i]]
            i = parent[i]
        return i

    for edge in b.edges:
        loops = list(edge.link_loops)
        for first in loops:
            for second in loops:
                if first.face.index >= second.face.index:
                    continue
                # Loops of one edge in two faces: same UVs at both ends.
                a = (first[layer].uv[:], first.link_loop_next[layer].uv[:])
                c = (second.link_loop_next[layer].uv[:], second[layer].uv[:])
                if a == c or a == c[::-1]:
                    parent[find(first.face.index)] = find(second.face.index)
    count = len({find(i) for i in range(len(b.faces))})
    b.free()
    return count


def describe(path):
    clear_scene()
    import_file(path)
    seen = []
    for obj in bpy.context.scene.objects:
        if obj.type != "MESH":
            continue
        mesh = obj.data
        seen.append({
            "object": obj.name,
            "vertices": len(mesh.vertices),
            "faces": len(mesh.polygons),
            "materials": [m.name for m in mesh.materials if m],
            "uv_layers": [layer.name for layer in mesh.uv_layers],
            "uv_islands": uv_islands(mesh) if mesh.uv_layers else 0,
            "custom_normals": mesh.has_custom_normals,
        })
    return seen


def main(paths):
    failed = False
    for path in paths:
        try:
            meshes = describe(path)
            failed |= not meshes or any(not m["uv_layers"] for m in meshes)
            print(path, json.dumps(meshes))
        except Exception as error:  # every importer failure is reported
            failed = True
            print(path, "FAILED:", error)
    sys.exit(1 if failed else 0)


main(sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else [])
