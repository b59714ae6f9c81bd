"""Blender side of bench/atlas_vs_blender.py: Smart UV Project on one OBJ.

Run inside Blender (3.x, headless):
    blender -b --factory-startup --python bench/blender_smart_uv.py -- \
        IN.obj OUT.obj REPORT.json [ANGLE_DEGREES] [ISLAND_MARGIN]

Imports IN.obj, runs Smart UV Project on all faces with the given angle
limit (default 66 degrees) and island margin (default 0.003), the other
options at their defaults, and exports the mesh with its UVs to OUT.obj.
REPORT.json gets the operator's own wall time (import and export excluded)
and the mesh's vertex and face counts as Blender held them.
"""

import json
import math
import sys
import time

import bpy


def main():
    args = sys.argv[sys.argv.index("--") + 1:]
    source, target, report = args[0], args[1], args[2]
    angle = float(args[3]) if len(args) > 3 else 66.0
    margin = float(args[4]) if len(args) > 4 else 0.003

    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.wm.obj_import(filepath=source)
    meshes = [o for o in bpy.context.scene.objects if o.type == "MESH"]
    if len(meshes) != 1:
        raise RuntimeError(f"expected one mesh in {source}, got {len(meshes)}")
    mesh_object = meshes[0]
    bpy.ops.object.select_all(action="DESELECT")
    mesh_object.select_set(True)
    bpy.context.view_layer.objects.active = mesh_object

    bpy.ops.object.mode_set(mode="EDIT")
    bpy.ops.mesh.select_all(action="SELECT")
    start = time.perf_counter()
    bpy.ops.uv.smart_project(angle_limit=math.radians(angle),
                             island_margin=margin)
    seconds = time.perf_counter() - start
    bpy.ops.object.mode_set(mode="OBJECT")

    # The importer's default axes are undone by the exporter's defaults, so
    # the written positions are the input's.
    bpy.ops.wm.obj_export(filepath=target, export_selected_objects=True,
                          export_uv=True, export_normals=False,
                          export_materials=False, export_colors=False,
                          apply_modifiers=False,
                          export_triangulated_mesh=False)
    data = mesh_object.data
    with open(report, "w", encoding="utf-8") as stream:
        json.dump({"seconds": seconds,
                   "vertices": len(data.vertices),
                   "faces": len(data.polygons),
                   "blender": bpy.app.version_string,
                   "angle_limit_degrees": angle,
                   "island_margin": margin}, stream)


main()
