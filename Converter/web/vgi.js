// Viewer placeholder.
"use strict";
