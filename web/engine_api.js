// The engine as the page's modules reach it: window.os64, the API that
// os64.js publishes from a script of its own near the top of the page,
// which has run before any of these modules.  The page uses the engine
// through this documented API alone, as tests and anyone else may.
const os64 = window.os64;

export { os64 };
