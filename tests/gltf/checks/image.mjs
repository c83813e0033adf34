// Writes image N of a .gltf, as it lies in the buffer beside it, to a file.
// Usage: node image.mjs FILE.gltf N OUT
import { readFile, writeFile } from 'node:fs/promises';
import path from 'node:path';

const [file, index, out] = process.argv.slice(2);
const gltf = JSON.parse(await readFile(file, 'utf8'));
const view = gltf.bufferViews[gltf.images[Number(index)].bufferView];
const buffer = await readFile(path.resolve(path.dirname(file), decodeURIComponent(gltf.buffers[view.buffer].uri)));
const start = view.byteOffset ?? 0;
await writeFile(out, buffer.subarray(start, start + view.byteLength));
