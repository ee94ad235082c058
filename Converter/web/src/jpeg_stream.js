// Decoding a JPEG while it arrives, straight to a smaller size, where the browser has
// ImageDecoder: the decoder reads the bytes as they are unscrambled, so that decoding
// overlaps the download, and is asked for the smallest of its scaled sizes (eighths of
// the picture) that is no smaller than the size wanted, which it decodes far quicker
// than the whole picture. Browsers without ImageDecoder decode the whole file after.

// The size to ask the decoder for: the picture (`width` x `height`) scaled by the
// smallest eighth that keeps it at least `want` (a height of 0 asks for the width only).
export function scaledDecodeSize(width, height, want) {
  const need = Math.max(want.width / width, want.height ? want.height / height : 0);
  const eighths = Math.min(8, Math.max(1, Math.ceil(8 * need - 1e-9)));
  return { width: Math.ceil((width * eighths) / 8), height: Math.ceil((height * eighths) / 8) };
}

// Starts decoding a JPEG of `width` x `height` (the page's size for it) to `want`.
// push() hands it each piece of the file in order; finish() says the file is complete
// and gives a promise of an ImageBitmap of the size wanted, or of null where this way
// cannot give the right picture (a photo with an orientation to apply, a decoder that
// fails): the caller then decodes the file whole. cancel() stops it. Returns null where
// the browser cannot do this: it needs decoded frames that tell their orientation
// (VideoFrame.rotation), or a photo stored on its side would show on its side.
export function startJpegStream(width, height, want) {
  if (typeof ImageDecoder !== 'function' || typeof ReadableStream !== 'function') return null;
  if (typeof VideoFrame !== 'function' || !('rotation' in VideoFrame.prototype)) return null;
  let controller;
  let decoder;
  try {
    const stream = new ReadableStream({
      start(c) {
        controller = c;
      },
    });
    const asked = scaledDecodeSize(width, height, want);
    decoder = new ImageDecoder({
      data: stream, type: 'image/jpeg', desiredWidth: asked.width, desiredHeight: asked.height,
    });
  } catch (e) {
    return null;
  }
  // Its other promises reject when it is cancelled or closed early; nobody waits on them.
  decoder.completed.catch(() => {});
  decoder.tracks.ready.catch(() => {});
  const decoded = decoder.decode({ frameIndex: 0 }).then(({ image }) => image, () => null);
  let ended = false;
  const end = (how) => {
    if (ended) return;
    ended = true;
    try {
      how();
    } catch (e) {
      // the decoder has stopped reading already
    }
  };
  return {
    push(bytes) {
      if (ended) return;
      try {
        // The decoder keeps what it is given; ours are wiped once the file is complete.
        controller.enqueue(bytes.slice());
      } catch (e) {
        ended = true; // it gave up (a damaged file) and reads no more
      }
    },
    finish() {
      end(() => controller.close());
      return decoded.then((image) => {
        if (!image) return null;
        // Frames come in their stored orientation; turning them is left to the whole
        // decode, as is a picture larger than the page said (decoded too small).
        if (image.rotation || image.flip) return null;
        if (image.displayWidth < want.width || (want.height && image.displayHeight < want.height)) return null;
        const options = { resizeWidth: want.width, resizeQuality: 'high' };
        if (want.height) options.resizeHeight = want.height;
        return createImageBitmap(image, options).then((bitmap) => bitmap, () => null);
      }).then((bitmap) => {
        decoded.then((image) => image && image.close());
        decoder.close();
        return bitmap;
      });
    },
    cancel() {
      end(() => controller.error(new Error('cancelled')));
      decoded.then((image) => image && image.close());
      decoder.close();
    },
  };
}
