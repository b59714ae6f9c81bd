// xatlas side of bench/atlas_vs_blender.py: one atlas of one OBJ or OFF
// mesh by xatlas, through the WebAssembly build of the npm package
// `xatlasjs` (xatlas's native library is not in Debian).
//
//     node bench/xatlas_atlas.mjs NODE_MODULES IN.obj|IN.off OUT.obj \
//         REPORT.json [RESOLUTION]
//
// NODE_MODULES is the folder that holds `xatlasjs` (for example
// /tmp/scratch/node_modules after `npm install xatlasjs` in /tmp/scratch).
// Runs xatlas::Generate with its default chart and pack options but the
// given resolution (default 2048), and writes OUT.obj: the
// input positions, one `vt` per xatlas output vertex and the input
// triangles in their order. Both texture coordinates are divided by the
// larger side of the atlas, so a non-square atlas keeps its proportions and
// the covered share of the unit square is the atlas's own.
//
// The package's binding takes 16-bit indices, so a mesh of more than 65535
// vertices is added as several meshes of at most that many vertices each
// (runs of triangles in breadth-first order, so each part is mostly one
// piece); xatlas then cannot put a chart across the parts' borders, which
// adds seams. REPORT.json gets the seconds of xatlas::Generate alone, the
// atlas's width, height and atlas count, and the parts.

import { createRequire } from "node:module";
import fs from "node:fs";
import path from "node:path";

const MAX_PART_VERTICES = 65535;

function readMesh(file) {
  const text = fs.readFileSync(file, "utf8");
  return file.toLowerCase().endsWith(".off") ? readOff(text) : readObj(text);
}

function readOff(text) {
  const words = text.replace(/#[^\n]*/g, " ").split(/\s+/).filter(Boolean);
  if (words[0] !== "OFF") throw new Error("not an OFF file");
  const nv = Number(words[1]);
  const nf = Number(words[2]);
  const points = new Float64Array(3 * nv);
  let at = 4;
  for (let i = 0; i < 3 * nv; ++i) points[i] = Number(words[at++]);
  const triangles = [];
  for (let f = 0; f < nf; ++f) {
    const size = Number(words[at++]);
    const face = words.slice(at, at + size).map(Number);
    at += size;
    for (let k = 1; k + 1 < size; ++k)
      triangles.push(face[0], face[k], face[k + 1]);
  }
  return { points, triangles: Uint32Array.from(triangles) };
}

function readObj(text) {
  const points = [];
  const triangles = [];
  for (const line of text.split("\n")) {
    const fields = line.trim().split(/\s+/);
    if (fields[0] === "v") {
      points.push(Number(fields[1]), Number(fields[2]), Number(fields[3]));
    } else if (fields[0] === "f") {
      const face = fields.slice(1).map((f) => Number(f.split("/")[0]) - 1);
      for (let k = 1; k + 1 < face.length; ++k)
        triangles.push(face[0], face[k], face[k + 1]);
    }
  }
  return {
    points: Float64Array.from(points),
    triangles: Uint32Array.from(triangles),
  };
}

// Triangles in breadth-first order through shared edges, each component
// after the other.
function breadthFirstOrder(triangles) {
  const count = triangles.length / 3;
  const byEdge = new Map();
  const key = (a, b) => (a < b ? `${a},${b}` : `${b},${a}`);
  for (let t = 0; t < count; ++t)
    for (let k = 0; k < 3; ++k) {
      const edge = key(triangles[3 * t + k], triangles[3 * t + ((k + 1) % 3)]);
      if (!byEdge.has(edge)) byEdge.set(edge, []);
      byEdge.get(edge).push(t);
    }
  const seen = new Uint8Array(count);
  const order = [];
  for (let seed = 0; seed < count; ++seed) {
    if (seen[seed]) continue;
    seen[seed] = 1;
    for (let head = order.push(seed) - 1; head < order.length; ++head) {
      const t = order[head];
      for (let k = 0; k < 3; ++k) {
        const edge = key(triangles[3 * t + k], triangles[3 * t + ((k + 1) % 3)]);
        for (const u of byEdge.get(edge))
          if (!seen[u]) {
            seen[u] = 1;
            order.push(u);
          }
      }
    }
  }
  return order;
}

// Parts of at most MAX_PART_VERTICES vertices: each is its triangles (ids
// into the input) and its vertices (input ids, in the part's local order).
function splitIntoParts(mesh) {
  const vertexCount = mesh.points.length / 3;
  const all = Array.from({ length: mesh.triangles.length / 3 }, (_, t) => t);
  if (vertexCount <= MAX_PART_VERTICES)
    return [{ triangles: all, vertices: Array.from({ length: vertexCount }, (_, v) => v) }];
  const parts = [];
  let part = null;
  let local = new Map();
  for (const t of breadthFirstOrder(mesh.triangles)) {
    const corners = [0, 1, 2].map((k) => mesh.triangles[3 * t + k]);
    const fresh = corners.filter((v) => !local.has(v)).length;
    if (part === null || local.size + fresh > MAX_PART_VERTICES) {
      part = { triangles: [], vertices: [] };
      local = new Map();
      parts.push(part);
    }
    for (const v of corners)
      if (!local.has(v)) {
        local.set(v, part.vertices.length);
        part.vertices.push(v);
      }
    part.triangles.push(t);
  }
  return parts;
}

function addPart(module, mesh, part) {
  const local = new Map(part.vertices.map((v, i) => [v, i]));
  const info = module.createMesh(part.vertices.length, 3 * part.triangles.length, false, false);
  const indices = new Uint16Array(3 * part.triangles.length);
  part.triangles.forEach((t, i) => {
    for (let k = 0; k < 3; ++k) indices[3 * i + k] = local.get(mesh.triangles[3 * t + k]);
  });
  const positions = new Float32Array(3 * part.vertices.length);
  part.vertices.forEach((v, i) => {
    for (let k = 0; k < 3; ++k) positions[3 * i + k] = mesh.points[3 * v + k];
  });
  module.HEAPU16.set(indices, info.indexOffset / 2);
  module.HEAPF32.set(positions, info.positionOffset / 4);
  const status = module.addMesh();
  if (status !== 0) throw new Error(`xatlas AddMesh failed with status ${status}`);
}

// Per input triangle corner, its texture coordinate in texels divided by
// the atlas's width and height (the binding's own division).
function readPart(module, meshId, part, cornerUv) {
  const data = module.getMeshData(meshId);
  const indices = module.HEAPU32.slice(data.indexOffset / 4, data.indexOffset / 4 + data.newIndexCount);
  const uv = module.HEAPF32.slice(data.uvOffset / 4, data.uvOffset / 4 + 2 * data.newVertexCount);
  module.destroyMeshData(data);
  data.subMeshes.delete();
  part.triangles.forEach((t, i) => {
    for (let k = 0; k < 3; ++k) {
      const vertex = indices[3 * i + k];
      cornerUv[6 * t + 2 * k] = uv[2 * vertex];
      cornerUv[6 * t + 2 * k + 1] = uv[2 * vertex + 1];
    }
  });
}

function writeObj(file, mesh, cornerUv) {
  const lines = [];
  for (let v = 0; v < mesh.points.length / 3; ++v)
    lines.push(`v ${mesh.points[3 * v]} ${mesh.points[3 * v + 1]} ${mesh.points[3 * v + 2]}`);
  for (let c = 0; c < cornerUv.length / 2; ++c) lines.push(`vt ${cornerUv[2 * c]} ${cornerUv[2 * c + 1]}`);
  for (let t = 0; t < mesh.triangles.length / 3; ++t) {
    const corner = (k) => `${mesh.triangles[3 * t + k] + 1}/${3 * t + k + 1}`;
    lines.push(`f ${corner(0)} ${corner(1)} ${corner(2)}`);
  }
  fs.writeFileSync(file, lines.join("\n") + "\n");
}

async function main() {
  const [modules, source, target, report, resolutionText] = process.argv.slice(2);
  if (!report) throw new Error("usage: node xatlas_atlas.mjs NODE_MODULES IN OUT.obj REPORT.json [RESOLUTION]");
  const require = createRequire(path.join(path.resolve(modules), "index.js"));
  const createXAtlasModule = require("xatlasjs/dist/node/xatlas.js");
  const module = await createXAtlasModule({ onAtlasProgress: () => {} });
  const mesh = readMesh(source);
  const parts = splitIntoParts(mesh);
  module.createAtlas();
  parts.forEach((part) => addPart(module, mesh, part));
  const packOptions = {
    ...module.defaultPackOptions(),
    resolution: resolutionText ? Number(resolutionText) : 2048,
  };
  const start = process.hrtime.bigint();
  module.generateAtlas(module.defaultChartOptions(), packOptions);
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  const atlas = module.getAtlas();
  const cornerUv = new Float64Array(2 * mesh.triangles.length);
  parts.forEach((part, meshId) => readPart(module, meshId, part, cornerUv));
  module.destroyAtlas();
  const side = Math.max(atlas.width, atlas.height);
  for (let c = 0; c < cornerUv.length; c += 2) {
    cornerUv[c] *= atlas.width / side;
    cornerUv[c + 1] *= atlas.height / side;
  }
  writeObj(target, mesh, cornerUv);
  fs.writeFileSync(report, JSON.stringify({
    seconds,
    width: atlas.width,
    height: atlas.height,
    atlas_count: atlas.atlasCount,
    texels_per_unit: atlas.texelsPerUnit,
    parts: parts.length,
    resolution: packOptions.resolution,
  }));
}

main().catch((error) => {
  console.error(String(error && error.stack ? error.stack : error));
  process.exit(1);
});
