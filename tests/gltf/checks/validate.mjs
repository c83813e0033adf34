// Runs the Khronos glTF-Validator over .glb and .gltf files and prints one line each:
// "FILE: E errors, W warnings, I infos, H hints" followed by every error and
// warning. Exits 1 when any file has an error or a warning.
// Usage: node validate.mjs FILE.glb|FILE.gltf...
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import * as validator from 'gltf-validator';

let bad = 0;
for (const file of process.argv.slice(2)) {
  const bytes = new Uint8Array(await readFile(file));
  let report;
  try {
    // A .gltf's buffer is read from beside it, by the uri it names.
    const external = async (uri) => new Uint8Array(await readFile(path.resolve(path.dirname(file), decodeURIComponent(uri))));
    report = await validator.validateBytes(bytes, { uri: file, format: file.endsWith('.gltf') ? 'gltf' : 'glb', maxIssues: 0,
                                                    writeTimestamp: false, externalResourceFunction: external });
  } catch (error) {
    console.log(`${file}: the validator could not read it: ${error}`);
    bad++;
    continue;
  }
  const i = report.issues;
  console.log(`${file}: ${i.numErrors} errors, ${i.numWarnings} warnings, ${i.numInfos} infos, ${i.numHints} hints`);
  for (const m of i.messages) {
    if (m.severity <= 1) console.log(`  ${m.severity === 0 ? 'error' : 'warning'} ${m.code} at ${m.pointer ?? m.offset ?? ''}: ${m.message}`);
  }
  if (i.numErrors || i.numWarnings) bad++;
}
process.exit(bad ? 1 : 0);
