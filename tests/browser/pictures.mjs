// Small real PNG pictures, so that the tests can check both the stored bytes and that the
// browser shows what the receiver serves back.
import zlib from "node:zlib";

const table = new Uint32Array(256).map((_, n) => {
    let c = n;
    for (let k = 0; k < 8; k++)
        c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
});

function crc32(bytes) {
    let c = 0xffffffff;
    for (const b of bytes)
        c = table[(c ^ b) & 0xff] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
    const head = Buffer.alloc(8);
    head.writeUInt32BE(data.length, 0);
    head.write(type, 4, "latin1");
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), data])), 0);
    return Buffer.concat([head, data, crc]);
}

// A width × height picture of one colour, [r, g, b].
export function png(width, height, [r, g, b]) {
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header[8] = 8;  // bits per sample
    header[9] = 2;  // RGB
    const row = Buffer.alloc(1 + width * 3);
    for (let x = 0; x < width; x++)
        row.set([r, g, b], 1 + x * 3);
    const pixels = Buffer.concat(Array.from({ length: height }, () => row));
    return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
                          chunk("IHDR", header), chunk("IDAT", zlib.deflateSync(pixels)),
                          chunk("IEND", Buffer.alloc(0))]);
}
