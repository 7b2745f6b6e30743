# The browser build, configured with emcmake (emscripten's em++): the code
# above the seam, the browser backend and its OpenGL substitutes, linked into
# pathwick.js and pathwick.wasm with the shipped maze and texture built in.
# The page (index.html with the two) goes to PATHWICK_WEB_SITE, a static
# folder any web server can host.
set(PATHWICK_WEB_SITE ${CMAKE_SOURCE_DIR}/build-web CACHE PATH
    "Folder the browser build writes its page to")

add_library(pathwick_app STATIC ${PATHWICK_APP_SOURCES})
target_link_libraries(pathwick_app PUBLIC pathwick_explorer pathwick_maze_generator pathwick_bmp)

# The page's New maze makes pathwick-maze's mazes, with its generator.
add_executable(pathwick shell/main/main_web.cpp shell/platform/web/platform_web.cpp
                        shell/platform/web/web_gl.cpp)
target_link_libraries(pathwick PRIVATE pathwick_app)
set_target_properties(pathwick PROPERTIES SUFFIX .js RUNTIME_OUTPUT_DIRECTORY ${PATHWICK_WEB_SITE})
set(PATHWICK_WEB_PAGE_SCRIPT ${CMAKE_SOURCE_DIR}/web/page.js)
set(PATHWICK_WEB_PAGE_LIBRARY ${CMAKE_SOURCE_DIR}/web/library_page.js)
target_link_options(pathwick PRIVATE
  -Os
  # OpenGL 1.1 immediate mode over WebGL 1, with the context the page makes
  # through Browser.createContext, which sets the emulation up.
  -sLEGACY_GL_EMULATION=1
  -sGL_FFP_ONLY=0
  -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1
  -sEXIT_RUNTIME=0
  # SHELL: keeps the repeated option, which CMake would drop as a duplicate.
  "SHELL:--pre-js ${PATHWICK_WEB_PAGE_SCRIPT}"
  "SHELL:--js-library ${PATHWICK_WEB_PAGE_LIBRARY}"
  "SHELL:--embed-file ${CMAKE_SOURCE_DIR}/data/MazeMap.txt@/shipped/MazeMap.txt"
  "SHELL:--embed-file ${CMAKE_SOURCE_DIR}/data/Stone.BMP@/shipped/Stone.BMP"
  # The desktop's message catalogs, for the page's language.
  "SHELL:--embed-file ${CMAKE_SOURCE_DIR}/po/en.po@/po/en.po"
  "SHELL:--embed-file ${CMAKE_SOURCE_DIR}/po/zh.po@/po/zh.po")
set_property(TARGET pathwick APPEND PROPERTY LINK_DEPENDS ${PATHWICK_WEB_PAGE_SCRIPT} ${PATHWICK_WEB_PAGE_LIBRARY}
             ${CMAKE_SOURCE_DIR}/web/index.html ${CMAKE_SOURCE_DIR}/web/manifest.webmanifest
             ${CMAKE_SOURCE_DIR}/web/service_worker.js
             ${CMAKE_SOURCE_DIR}/data/MazeMap.txt ${CMAKE_SOURCE_DIR}/data/Stone.BMP
             ${CMAKE_SOURCE_DIR}/po/en.po ${CMAKE_SOURCE_DIR}/po/zh.po)
# Beside each file a gzip copy, which scripts/web.sh's server (and any
# server that sends precompressed files) sends to browsers that accept it.
find_program(PATHWICK_GZIP gzip REQUIRED)
# The page, its app manifest and service worker, and the icons.
add_custom_command(TARGET pathwick POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/web/index.html
          ${CMAKE_SOURCE_DIR}/web/manifest.webmanifest ${CMAKE_SOURCE_DIR}/web/service_worker.js
          ${CMAKE_SOURCE_DIR}/packaging/icons/pathwick-128.png
          ${CMAKE_SOURCE_DIR}/packaging/icons/pathwick-256.png ${PATHWICK_WEB_SITE}
  COMMAND ${PATHWICK_GZIP} -9 -k -f -n ${PATHWICK_WEB_SITE}/index.html ${PATHWICK_WEB_SITE}/pathwick.js
          ${PATHWICK_WEB_SITE}/pathwick.wasm)

# The page in headless Chromium, driven over the DevTools protocol from Node:
# its frames against the frames that PATHWICK_RECORD, a native build's
# pathwick-record, draws offscreen, and its boxes, keys and edit mode.
if(PATHWICK_TESTS)
  enable_testing()
  find_program(PATHWICK_NODE node REQUIRED)
  set(PATHWICK_RECORD ${CMAKE_SOURCE_DIR}/build/pathwick-record CACHE FILEPATH
      "pathwick-record of a native build, which draws the reference frames")
  add_test(NAME web_page
           COMMAND ${PATHWICK_NODE} ${CMAKE_SOURCE_DIR}/tests/web/page_test.mjs
                   ${PATHWICK_WEB_SITE} ${PATHWICK_RECORD} ${CMAKE_SOURCE_DIR}/data)
  set_tests_properties(web_page PROPERTIES LABELS web TIMEOUT 480)
endif()
