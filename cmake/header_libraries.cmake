# The header-only libraries from Debian's packages: stb_image (libstb-dev) decodes PNG, TGA and BMP
# pictures, nlohmann's JSON (nlohmann-json3-dev) reads .wal_json files. A folder of the build holds
# links to those headers alone, so that every build (the Windows one too) reaches them without the
# system's include folder.
find_path(TARNVICK_STB_DIR stb_image.h PATHS /usr/include/stb NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
find_path(TARNVICK_JSON_DIR nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT TARNVICK_STB_DIR OR NOT TARNVICK_JSON_DIR)
  message(FATAL_ERROR "stb_image.h or nlohmann/json.hpp not found: run tools/install-packages "
                      "(Debian's libstb-dev and nlohmann-json3-dev)")
endif()
set(TARNVICK_HEADER_LIBRARIES ${PROJECT_BINARY_DIR}/header_libraries)
file(MAKE_DIRECTORY ${TARNVICK_HEADER_LIBRARIES})
file(CREATE_LINK ${TARNVICK_STB_DIR}/stb_image.h ${TARNVICK_HEADER_LIBRARIES}/stb_image.h SYMBOLIC)
file(CREATE_LINK ${TARNVICK_JSON_DIR}/nlohmann ${TARNVICK_HEADER_LIBRARIES}/nlohmann SYMBOLIC)
add_library(tarnvick_header_libraries INTERFACE)
# SYSTEM: their own warnings are theirs, not the project's.
target_include_directories(tarnvick_header_libraries SYSTEM INTERFACE ${TARNVICK_HEADER_LIBRARIES})
