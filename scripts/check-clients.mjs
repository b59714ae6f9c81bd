// Reads tessaplan's output files the way users' tools read them: three.js's
// GLTFLoader, PLYLoader and OBJLoader, and the Khronos glTF validator. Not a
// test of the build (it needs npm packages): run it before a release.
//
//   npm install --prefix /tmp/scratch three gltf-validator
//   node scripts/check-clients.mjs /tmp/scratch/node_modules FILE...
//
// Prints per file what the client saw (meshes, vertices, UV range) and
// exits 1 when a client fails or a file has no UVs.
import { readFileSync } from "node:fs";
import { extname, join } from "node:path";
import { pathToFileURL } from "node:url";

// What three.js's loaders expect of a browser: textures cannot be decoded
// here, and the loaders go on without them.
globalThis.self ??= globalThis;
globalThis.ProgressEvent ??= class extends Event {
  constructor(type, fields = {}) { super(type); Object.assign(this, fields); }
};
console.error = () => {};

const [modules, ...files] = process.argv.slice(2);
const load = (path) => import(pathToFileURL(join(modules, path)).href);
const loaders = join("three", "examples", "jsm", "loaders");
const { GLTFLoader } = await load(join(loaders, "GLTFLoader.js"));
const { PLYLoader } = await load(join(loaders, "PLYLoader.js"));
const { OBJLoader } = await load(join(loaders, "OBJLoader.js"));
const validator = (await load(join("gltf-validator", "index.js")))
  .default;

function uvRange(geometry) {
  const uv = geometry.getAttribute("uv");
  if (!uv) return null;
  let [low, high] = [Infinity, -Infinity];
  for (let i = 0; i < uv.array.length; ++i) {
    low = Math.min(low, uv.array[i]);
    high = Math.max(high, uv.array[i]);
  }
  return [low, high];
}

function describe(geometries) {
  const withUv = geometries.filter((g) => g.getAttribute("uv"));
  const vertices = geometries.reduce(
    (n, g) => n + g.getAttribute("position").count, 0);
  const ranges = withUv.map(uvRange);
  return { meshes: geometries.length, vertices, with_uv: withUv.length,
           uv_low: Math.min(...ranges.map((r) => r[0])),
           uv_high: Math.max(...ranges.map((r) => r[1])) };
}

async function readGltf(bytes) {
  const report = await validator.validateBytes(new Uint8Array(bytes));
  const scene = await new Promise((resolve, reject) =>
    new GLTFLoader().parse(bytes.buffer.slice(bytes.byteOffset,
      bytes.byteOffset + bytes.byteLength), "", resolve, reject));
  const geometries = [];
  scene.scene.traverse((o) => { if (o.isMesh) geometries.push(o.geometry); });
  return { ...describe(geometries), nodes: countNodes(scene.scene),
           validator_errors: report.issues.numErrors,
           validator_warnings: report.issues.numWarnings };
}

function countNodes(root) {
  let n = 0;
  root.traverse(() => ++n);
  return n - 1;
}

let failed = false;
for (const file of files) {
  const bytes = readFileSync(file);
  try {
    let seen;
    switch (extname(file).toLowerCase()) {
      case ".gltf":
      case ".glb":
        seen = await readGltf(bytes);
        failed ||= seen.validator_errors > 0;
        break;
      case ".ply":
        seen = describe([new PLYLoader().parse(bytes.buffer)]);
        break;
      default: {
        const group = new OBJLoader().parse(bytes.toString("utf8"));
        const geometries = [];
        group.traverse((o) => { if (o.isMesh) geometries.push(o.geometry); });
        seen = describe(geometries);
      }
    }
    failed ||= seen.with_uv === 0;
    console.log(file, JSON.stringify(seen));
  } catch (error) {
    failed = true;
    console.log(file, "FAILED:", error.message);
  }
}
process.exit(failed ? 1 : 0);
