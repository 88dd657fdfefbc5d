// Serves the page's folder on loopback: GET and HEAD, a single byte range per request (206) as
// media players and download managers ask for, the types the site uses.
//   node scripts/serve-web.mjs DIR [PORT]    prints the link and serves until Ctrl-C (port 0: any)
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
  '.dat': 'application/octet-stream',
};

// The bytes a Range header asks for within a file of `size` bytes: {start, end} (end inclusive),
// null for no usable range (the whole file is sent), or 'unsatisfiable'.
export function byteRange(header, size) {
  const match = /^bytes=(\d*)-(\d*)$/.exec((header || '').trim());
  if (!match || (match[1] === '' && match[2] === '')) return null;
  let start, end;
  if (match[1] === '') {  // the last N bytes
    const suffix = Number(match[2]);
    if (suffix === 0) return 'unsatisfiable';
    start = Math.max(0, size - suffix);
    end = size - 1;
  } else {
    start = Number(match[1]);
    end = match[2] === '' ? size - 1 : Math.min(Number(match[2]), size - 1);
    if (end < start && match[2] !== '') return null;  // a malformed range is ignored
  }
  return start >= size || end < start ? 'unsatisfiable' : { start, end };
}

function answer(root, request, response) {
  if (request.method !== 'GET' && request.method !== 'HEAD') {
    response.writeHead(405, { Allow: 'GET, HEAD' }).end();
    return;
  }
  let name;
  try {
    name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
  } catch {
    response.writeHead(400).end();
    return;
  }
  if (name.endsWith('/')) name += 'index.html';
  const file = path.join(root, path.normalize(name));
  if (!file.startsWith(root + path.sep)) {
    response.writeHead(403).end();
    return;
  }
  fs.stat(file, (error, stat) => {
    if (error || !stat.isFile()) {
      response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n');
      return;
    }
    const headers = {
      'Content-Type': types[path.extname(file).toLowerCase()] || 'application/octet-stream',
      'Accept-Ranges': 'bytes',
      'Cache-Control': 'no-cache',
    };
    const range = byteRange(request.headers.range, stat.size);
    if (range === 'unsatisfiable') {
      response.writeHead(416, { ...headers, 'Content-Range': `bytes */${stat.size}` }).end();
      return;
    }
    const { start, end } = range || { start: 0, end: stat.size - 1 };
    headers['Content-Length'] = String(Math.max(0, end - start + 1));
    if (range) headers['Content-Range'] = `bytes ${start}-${end}/${stat.size}`;
    response.writeHead(range ? 206 : 200, headers);
    if (request.method === 'HEAD' || stat.size === 0) {
      response.end();
      return;
    }
    fs.createReadStream(file, { start, end }).pipe(response);
  });
}

// Starts serving root on 127.0.0.1:port; resolves to {server, url}.
export function serve(root, port = 0) {
  const folder = path.resolve(root);
  const server = http.createServer((request, response) => answer(folder, request, response));
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => resolve({ server, url: `http://127.0.0.1:${server.address().port}/` }));
  });
}

if (import.meta.url === pathToFileURL(process.argv[1]).href) {
  const [root, port] = process.argv.slice(2);
  if (!root || !fs.existsSync(path.join(root, 'index.html'))) {
    console.error('usage: node scripts/serve-web.mjs DIR [PORT]   (DIR holds the page: make web)');
    process.exit(2);
  }
  serve(root, Number(port || 8040)).then(({ url }) => {
    console.log(`Glimmertide is at ${url} (Ctrl-C stops the server)`);
  }, (error) => {
    console.error(`serve-web: ${error.message}`);
    process.exit(1);
  });
}
