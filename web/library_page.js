// The program's calls into the page that need a part of emscripten's runtime
// that nothing else brings in: the page makes the WebGL context through
// Browser.createContext, the one way that sets up the legacy GL emulation.
mergeInto(LibraryManager.library, {
  PageCreateContext__deps: ['$Browser'],
  PageCreateContext: function () {
    return Page.createContext();
  },
});
