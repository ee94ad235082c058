// The error the viewer turns into a notice in the image box.

// An error the viewer turns into a notice in the image box. `code` tells the kind.
export class ViewerError extends Error {
  constructor(code, message) {
    super(message);
    this.name = 'ViewerError';
    this.code = code;
  }
}
