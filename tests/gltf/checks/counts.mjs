// What `assimp info -r` should report for a .glb or .gltf, read from its JSON:
// nodes (assimp gathers several scene roots under one node of its own),
// meshes (one a primitive), bones (every joint of the skin, for each
// primitive), animations and animated nodes; also the skin's joints.
// Prints "FILE nodes N meshes N bones N animations N channels N joints N"
// for each file.
// Usage: node counts.mjs FILE.glb|FILE.gltf...
import { readFile } from 'node:fs/promises';

for (const file of process.argv.slice(2)) {
  const data = await readFile(file);
  const json = file.endsWith('.gltf') ? data : data.subarray(20, 20 + data.readUInt32LE(12));
  const gltf = JSON.parse(json.toString('utf8'));
  const scene = gltf.scenes[gltf.scene ?? 0];
  const animations = gltf.animations ?? [];
  let meshes = 0, bones = 0, joints = 0;
  for (const node of gltf.nodes) {
    if (node.mesh === undefined) continue;
    const primitives = gltf.meshes[node.mesh].primitives.length;
    meshes += primitives;
    if (node.skin !== undefined) {
      joints = gltf.skins[node.skin].joints.length;
      bones += joints * primitives;
    }
  }
  const nodes = gltf.nodes.length + (scene.nodes.length > 1 ? 1 : 0);
  const channels = animations.reduce((n, a) => n + new Set(a.channels.map((c) => c.target.node)).size, 0);
  console.log(`${file} nodes ${nodes} meshes ${meshes} bones ${bones} animations ${animations.length} channels ${channels} joints ${joints}`);
}
