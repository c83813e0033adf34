// Loads a .glb with three.js, poses its first animation at the requested
// times with AnimationMixer.setTime, and reports the skinned positions three
// computes (SkinnedMesh.getVertexPosition) for a sample of vertices, plus how
// much of a rendered picture the model covers. Parameters come in the query:
// glb, times (seconds, comma-separated), samples (vertices to report), shot (time of the picture).
import * as THREE from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';

const query = new URLSearchParams(location.search);
const times = query.get('times').split(',').map(Number);
const wanted = Number(query.get('samples') || 300);
const shotTime = Number(query.get('shot') || 0);
const width = 640, height = 480;
const background = new THREE.Color(0x30343c);   // written to the picture as these sRGB bytes

async function run() {
  const gltf = await new GLTFLoader().loadAsync(query.get('glb'));
  const scene = gltf.scene;
  const meshes = [];
  scene.traverse((o) => { if (o.isSkinnedMesh) meshes.push(o); });
  const totalVertices = meshes.reduce((n, m) => n + m.geometry.attributes.position.count, 0);
  const stride = Math.max(1, Math.floor(totalVertices / wanted));

  const mixer = new THREE.AnimationMixer(scene);
  if (gltf.animations.length) mixer.clipAction(gltf.animations[0]).play();
  const result = { animations: gltf.animations.map((a) => a.name), times, meshes: [] };
  for (const mesh of meshes) {
    const count = mesh.geometry.attributes.position.count;
    const entry = { material: mesh.material.name, vertexCount: count, indices: Array.from(mesh.geometry.index.array), sample: [], poses: [] };
    for (let i = 0; i < count; i += stride) entry.sample.push(i);
    result.meshes.push(entry);
  }
  const v = new THREE.Vector3();
  for (const t of times) {
    mixer.setTime(t);
    scene.updateMatrixWorld(true);
    meshes.forEach((mesh, m) => {
      const pose = [];
      for (const i of result.meshes[m].sample) {
        mesh.getVertexPosition(i, v);
        v.applyMatrix4(mesh.matrixWorld);
        pose.push(v.x, v.y, v.z);
      }
      result.meshes[m].poses.push(pose);
    });
  }

  // The picture: the pose at shotTime, framed from the front and a little above.
  mixer.setTime(shotTime);
  scene.updateMatrixWorld(true);
  const box = new THREE.Box3();
  for (const mesh of meshes) {
    const p = new THREE.Vector3();
    for (let i = 0; i < mesh.geometry.attributes.position.count; ++i) box.expandByPoint(mesh.getVertexPosition(i, p).applyMatrix4(mesh.matrixWorld));
  }
  const size = box.getSize(new THREE.Vector3()).length();
  const center = box.getCenter(new THREE.Vector3());
  const camera = new THREE.PerspectiveCamera(35, width / height, size / 100, size * 10);
  camera.position.copy(center).add(new THREE.Vector3(0.45, 0.25, 1.0).normalize().multiplyScalar(size * 1.55));
  camera.lookAt(center);
  const world = new THREE.Scene();
  world.background = background;
  world.add(new THREE.HemisphereLight(0xffffff, 0x404050, 2.0));
  const sun = new THREE.DirectionalLight(0xffffff, 2.0);
  sun.position.set(1, 2, 3);
  world.add(sun);
  world.add(scene);
  const renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
  renderer.setSize(width, height);
  document.body.appendChild(renderer.domElement);
  renderer.render(world, camera);

  const gl = renderer.getContext();
  const pixels = new Uint8Array(width * height * 4);
  gl.readPixels(0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
  const bg = [0x30, 0x34, 0x3c];
  let covered = 0;
  const colours = new Set();
  for (let i = 0; i < width * height; ++i) {
    const r = pixels[4 * i], g = pixels[4 * i + 1], b = pixels[4 * i + 2];
    if (Math.abs(r - bg[0]) + Math.abs(g - bg[1]) + Math.abs(b - bg[2]) > 24) {
      covered++;
      colours.add((r >> 4) << 8 | (g >> 4) << 4 | (b >> 4));
    }
  }
  result.picture = { width, height, covered: covered / (width * height), colours: colours.size, renderer: gl.getParameter(gl.VERSION) };
  return result;
}

run().then((r) => { window.veskarResult = r; }, (e) => { window.veskarResult = { error: String(e && e.stack || e) }; });
